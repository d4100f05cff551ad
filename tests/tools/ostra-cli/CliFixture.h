#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "support/EmulatedDriver.h"
#include "support/HexBytes.h"
#include "support/TempDir.h"
#include "tools/ostra-cli/CliProcess.h"

// Runs the built ostra-cli with TEMP, APPDATA and OSTRA_PORT_DIR in a private directory, beside
// an in-process emulated Zavik Driver started on request.
class CliFixture : public testing::Test {
  protected:
    // Only a safety net against a hanging program.
    static constexpr std::chrono::milliseconds kPatience{60000};

    CliFixture();

    std::filesystem::path PortDirectory() const { return dir_.Path() / "ports"; }
    std::filesystem::path SettingsFile() const {
        return dir_.Path() / "appdata" / "Velorin" / "Ostra" / "OstraSettings.cfg";
    }
    std::filesystem::path File(const std::string& name) const { return dir_.Path() / name; }

    std::map<std::string, std::string> Environment() const;
    CliResult Run(const std::vector<std::string>& arguments) const;
    std::unique_ptr<CliProcess> Start(const std::vector<std::string>& arguments) const;
    // Runs with --json first and parses standard output; the test fails when it is no JSON.
    nlohmann::ordered_json RunJson(const std::vector<std::string>& arguments,
                                   CliResult* result = nullptr) const;

    void WriteSettings(const std::string& text) const;
    // Every dated data directory made so far, sorted.
    std::vector<std::filesystem::path> DataDirectories() const;

    void StartSimulator() { ASSERT_EQ(driver_.Start(), 0); }
    // The payloads of the packets the emulator received, each checked to be framed exactly.
    std::vector<Bytes> ReceivedPayloads() const;

    TempDir dir_;
    // Port 4, as the emulator presents itself unless a test says otherwise.
    EmulatedDriver driver_{PortDirectory(), 4};
};

// The connect's payloads (firmware query, intensity 26 sent as 255 - 26 to Blue, Green, Red:
// device IDs 0, 2, 1), then the given ones, all in hex.
std::vector<std::string> AfterConnect(const std::vector<std::string>& payloads);

std::vector<std::string> Keys(const nlohmann::ordered_json& object);
// The lines of a text, without their line ends.
std::vector<std::string> Lines(const std::string& text);
