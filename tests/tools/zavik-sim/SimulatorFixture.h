#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <regex>
#include <string>

#include "support/HexBytes.h"
#include "support/LogCapture.h"
#include "support/TempDir.h"
#include "tools/zavik-sim/PtyClient.h"
#include "zavik-sim/ZavikSimulator.h"

// A running emulator registered in a private port directory, and a client on its line. Error
// messages are recorded.
class SimulatorFixture : public testing::Test {
  protected:
    static constexpr std::chrono::milliseconds kPatience = PtyClient::kPatience;

    std::filesystem::path PortDirectory() const { return dir_.Path() / "ports"; }

    // Device time moves only when a test moves it.
    SimulatorConfig Config() const {
        SimulatorConfig config;
        config.portDirectory = PortDirectory();
        config.manualClock = true;
        return config;
    }

    // Starts the emulator, after ending any earlier one, and opens the client through the
    // registered name.
    void StartWith(const SimulatorConfig& config) {
        client_.reset();
        simulator_.reset();
        simulator_ = std::make_unique<ZavikSimulator>(config, &log_);
        ASSERT_EQ(simulator_->Start(), 0);
        client_ = std::make_unique<PtyClient>(simulator_->RegisteredPath());
        ASSERT_GE(client_->Handle(), 0);
    }

    void Start() { StartWith(Config()); }
    // The answer to the command packet of this payload.
    Bytes Command(const std::string& payload) {
        return client_->Exchange(CommandPacket(HexBytes(payload)));
    }

    TempDir dir_;
    LogCapture log_;
    std::unique_ptr<ZavikSimulator> simulator_;
    std::unique_ptr<PtyClient> client_;
};

// A packet log without the times its lines begin with and without the notes between packets.
inline std::string PacketLines(const std::string& log) {
    return std::regex_replace(log, std::regex(R"(\[[0-9.]+ s\] (-- [^\n]*\n)?)"), "");
}

// Well-known packets.
inline const Bytes kFirmwareQuery = HexBytes("02 01 01 00 01 03 00");
inline const Bytes kFirmwareAnswer =
    HexBytes("02 02 0E 00 01 00 00 5A 56 4B 2D 53 49 4D 20 31 2E 30 03 3E");
inline const Bytes kIntensityCommand = HexBytes("02 01 03 00 0B 02 37 03 3D");
inline const Bytes kIntensityAnswer = HexBytes("02 02 02 00 0B 00 03 0A");
