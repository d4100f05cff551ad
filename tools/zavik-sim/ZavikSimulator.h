#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <mutex>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "foundation/VlrDataTypes.h"
#include "zavik-sim/CommandInterpreter.h"
#include "zavik-sim/CommandPacketParser.h"
#include "zavik-sim/DeviceState.h"
#include "zavik-sim/EventRecord.h"
#include "zavik-sim/FaultPlan.h"
#include "zavik-sim/PacketLog.h"
#include "zavik-sim/PacketRecord.h"
#include "zavik-sim/PortRegistration.h"
#include "zavik-sim/PseudoTerminal.h"
#include "zavik-sim/SimulatorConfig.h"

class LogFile;

// An emulated Zavik Driver on a pseudo-terminal: registered in the port directory under the
// device's port name, it answers every command packet from a background thread, keeps the
// device state, and misbehaves on request (FaultRule). Everything it received is kept for
// inspection; the accessors may be called from any thread.
class ZavikSimulator {
  public:
    // The time one byte takes on the real line: 10 bits at 9600 baud.
    static constexpr std::chrono::nanoseconds kByteTime{1041667};

    explicit ZavikSimulator(SimulatorConfig config, LogFile* log = nullptr);
    ~ZavikSimulator();
    ZavikSimulator(const ZavikSimulator&) = delete;
    ZavikSimulator& operator=(const ZavikSimulator&) = delete;

    // Opens the pseudo-terminal, registers it and starts answering.
    VlrDataTypes::VlrRetVal Start();
    // Stops answering, closes the pseudo-terminal, removes the registration and writes the
    // state file. Also done on destruction.
    void Stop();

    // True once a hangup fault has unplugged the device.
    bool IsHungUp() const;
    // "Zavik Driver Virtual Com Port (COM4)"
    std::wstring PortName() const;
    // The tty clients open, and the registered link to it (both empty before Start()).
    const std::filesystem::path& SlavePath() const { return slavePath_; }
    const std::filesystem::path& RegisteredPath() const { return registeredPath_; }

    void AddFault(const FaultRule& rule);
    void ClearFaults();

    DeviceState State() const;
    // The most recent packets (SimulatorConfig::packetHistory of them) and how many there were.
    std::vector<PacketRecord> Packets() const;
    std::size_t PacketCount() const;
    // Moves device time on (the manual clock), running what falls due on the way.
    void AdvanceClock(std::chrono::microseconds duration);
    // Waits until at least count packets were handled; false if the limit passed first.
    bool WaitForPackets(std::size_t count, std::chrono::milliseconds limit) const;
    bool WaitForHangup(std::chrono::milliseconds limit) const;

  private:
    VlrDataTypes::VlrRetVal CheckConfig() const;
    VlrDataTypes::VlrRetVal Fail(const std::wstring& message) const;
    void Run();
    bool ReceiveInput();
    void HandlePackets();
    void HandlePacket(const std::vector<std::uint8_t>& packet, bool valid);
    static PacketRecord& Describe(PacketRecord& record);
    PacketRecord Process(const std::vector<std::uint8_t>& packet, bool valid,
                         FaultDecision& decision);
    Answer AnswerFor(const std::vector<std::uint8_t>& packet, bool valid,
                     const FaultDecision& decision);
    void Send(const std::vector<std::uint8_t>& bytes, const FaultDecision& decision);
    void Unplug();
    std::uint64_t ClockSteps() const;
    std::optional<std::chrono::nanoseconds> WaitLimit() const;
    void AdvanceToNow();
    void HandleClientChanges();
    void Note(const std::wstring& text);
    void Publish();
    VlrDataTypes::VlrRetVal WriteStateFile(const std::wstring& text) const;
    bool CheckScript(std::uint8_t number);

    SimulatorConfig config_;
    LogFile* log_ = nullptr;
    CommandInterpreter interpreter_;
    PseudoTerminal pty_;
    PortRegistration registration_;
    PacketLog packetLog_;
    CommandPacketParser parser_;
    EventRecord events_;
    std::chrono::steady_clock::time_point clockStart_;
    std::chrono::steady_clock::time_point lastInput_;
    int clients_ = 0;
    std::filesystem::path slavePath_;
    std::filesystem::path registeredPath_;
    std::thread thread_;

    mutable std::mutex lock_;
    mutable std::condition_variable changed_;
    DeviceState state_;
    FaultPlan faults_;
    std::deque<PacketRecord> packets_;
    std::size_t packetCount_ = 0;
    bool stateChanged_ = false;
    // The state file's text as last written: it is written again whenever the state reads
    // differently, whatever changed it (an event or not, a train stopped while its LED was off).
    std::wstring published_;
    std::mt19937 random_;
    bool hungUp_ = false;
};
