#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <thread>
#include <vector>

#include "zavik-sim/PseudoTerminal.h"

// The device end of a pseudo-terminal for one transaction at a time: it waits for the command
// packet the connection writes, then answers with given bytes, whatever they are. It answers
// from a thread of its own because the connection may discard stale input just before it sends,
// so the answer may only be written once the command has arrived.
class DeviceResponder {
  public:
    DeviceResponder() = default;
    ~DeviceResponder();
    DeviceResponder(const DeviceResponder&) = delete;
    DeviceResponder& operator=(const DeviceResponder&) = delete;

    // Opens the pseudo-terminal; false on failure.
    bool Open();
    const std::filesystem::path& DevicePath() const { return terminal_.SlavePath(); }

    // Starts waiting for a command packet of commandSize bytes, then writes the answer.
    void Answer(std::size_t commandSize, std::vector<std::uint8_t> answer);
    // Waits until the answer is written (or the command never came); true when the command
    // arrived in full.
    bool Finish();

  private:
    void Respond(std::size_t commandSize);
    bool ReadCommand(std::size_t commandSize);

    PseudoTerminal terminal_;
    std::thread thread_;
    std::vector<std::uint8_t> answer_;
    bool commandArrived_ = false;
};
