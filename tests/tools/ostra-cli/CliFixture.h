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

// End-to-end tests of the built ostra-cli: every run gets TEMP, APPDATA and OSTRA_PORT_DIR in a
// private directory, so the data directories, the per-user settings file and the registered
// ports are the test's own. An emulated Zavik Driver runs in-process on request.
class CliFixture : public testing::Test {
  protected:
    // Only a safety net against a hanging program.
    static constexpr std::chrono::milliseconds kPatience{60000};

    CliFixture();

    std::filesystem::path PortDirectory() const { return dir_.Path() / "ports"; }
    std::filesystem::path ProductDirectory() const {
        return dir_.Path() / "tmp" / "VelorinData" / "Ostra";
    }
    std::filesystem::path SettingsFile() const {
        return dir_.Path() / "appdata" / "Velorin" / "Ostra" / "OstraSettings.cfg";
    }
    std::filesystem::path File(const std::string& name) const { return dir_.Path() / name; }

    std::map<std::string, std::string> Environment() const;
    CliResult Run(const std::vector<std::string>& arguments) const;
    std::unique_ptr<CliProcess> Start(const std::vector<std::string>& arguments) const;
    // Runs with --json first and parses standard output (members in their order); the test fails
    // when it is no JSON.
    nlohmann::ordered_json RunJson(const std::vector<std::string>& arguments,
                                   CliResult* result = nullptr) const;

    // The operator's settings file, written before a run.
    void WriteSettings(const std::string& text) const;
    // Every dated data directory made so far.
    std::vector<std::filesystem::path> DataDirectories() const;

    // Starts the emulator as driver_.Config() says.
    void StartSimulator() { ASSERT_EQ(driver_.Start(), 0); }
    // The payloads (command ID first) of every packet the emulator received, in order. The
    // framing is checked here: each packet must be exactly the command packet of its payload.
    std::vector<Bytes> ReceivedPayloads() const;

    TempDir dir_;
    // Port 4, as the emulator presents itself unless a test says otherwise.
    EmulatedDriver driver_{PortDirectory(), 4};
};

// The payloads a connect sends with the default intensity 26 on the three LEDs of
// data/OstraSetup.cfg (Blue, Green, Red: device IDs 0, 2, 1; 255 - 26 carried): the firmware
// query, then the intensities in table order; then the given ones, all in hex.
std::vector<std::string> AfterConnect(const std::vector<std::string>& payloads);

// The keys of a JSON object in order.
std::vector<std::string> Keys(const nlohmann::ordered_json& object);

// The lines of a text, without their line ends.
std::vector<std::string> Lines(const std::string& text);
