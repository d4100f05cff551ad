#pragma once

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "support/ChildProcess.h"
#include "support/EmulatedDriver.h"
#include "support/HexBytes.h"
#include "support/TempDir.h"

// The CLI tests match what the program printed with these.
using testing::EndsWith, testing::HasSubstr, testing::StartsWith;

// Runs ostra-cli with private TEMP, APPDATA and OSTRA_PORT_DIR, beside an emulated Zavik Driver.
class CliFixture : public testing::Test {
  protected:
    static constexpr std::chrono::milliseconds kPatience{60000};

    CliFixture();

    std::filesystem::path PortDirectory() const { return dir_.Path() / "ports"; }
    std::filesystem::path SettingsFile() const {
        return dir_.Path() / "appdata" / "Velorin" / "Ostra" / "OstraSettings.cfg";
    }
    std::filesystem::path File(const std::string& name) const { return dir_.Path() / name; }

    std::map<std::string, std::string> Environment() const;
    ProcessResult Run(const std::vector<std::string>& arguments) const;
    // Run, expecting exit code 0 (standard error shown otherwise).
    ProcessResult RunOk(const std::vector<std::string>& arguments) const;
    std::unique_ptr<ChildProcess> Start(const std::vector<std::string>& arguments) const;
    // Runs with --json first and parses standard output; the test fails when it is no JSON.
    nlohmann::ordered_json RunJson(const std::vector<std::string>& arguments,
                                   ProcessResult* result = nullptr) const;

    void WriteSettings(const std::string& text) const;
    // Every dated data directory made so far, sorted.
    std::vector<std::filesystem::path> DataDirectories() const;

    void StartSimulator() { ASSERT_EQ(driver_.Start(), 0); }
    // The payloads of the packets the emulator received, each checked to be framed exactly.
    std::vector<Bytes> ReceivedPayloads() const;

    TempDir dir_;
    // Port 4 unless a test says otherwise.
    EmulatedDriver driver_{PortDirectory(), 4};
};

// In hex: the connect's payloads (firmware query, 255 - 26 to device LEDs 0, 2, 1), then these.
std::vector<std::string> AfterConnect(const std::vector<std::string>& payloads);

std::vector<std::string> Keys(const nlohmann::ordered_json& object);
// The members of a run's JSON report, in order, whether run alone or forwarded to serve.
inline const std::vector<std::string> kRunReportKeys{
    "command",  "number",         "name", "durationMs", "started", "completed",     "interrupted",
    "stopSent", "stimulusRecord", "ok",   "exitCode",   "errors",  "dataDirectory", "logFile"};
std::vector<std::string> Lines(const std::string& text);
// What a run of sequence 1 of kLongSettings prints when SIGINT stops it.
inline const std::string kLongRunInterrupted =
    "Started sequence 1 (Long) for 600000.0 ms.\nInterrupted: stopping sequence 1 (Long).\nStop "
    "sent; every LED is off.\n";
