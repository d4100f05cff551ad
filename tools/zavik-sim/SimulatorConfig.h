#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include "zavik-sim/FaultRule.h"

// How an emulated Zavik Driver presents itself and behaves.
struct SimulatorConfig {
    // The N of "Zavik Driver Virtual Com Port (COMN)".
    int portNumber = 4;
    // Where the port is registered; empty means PortDirectory::Location().
    std::filesystem::path portDirectory;
    // Sent as single-byte text after the reserved byte of the GetFirmwareVersion answer.
    std::wstring firmwareVersion = L"ZVK-SIM 1.0";
    // Pause before every answer.
    std::chrono::milliseconds answerDelay{0};
    // Send answers at the line rate of the real device (9600 baud, 10 bits a byte).
    bool pace = false;
    // A packet left incomplete this long is given up (zero: wait for its bytes forever).
    std::chrono::milliseconds frameTimeout{1000};
    // Seeds the bytes of the garbage fault, so runs repeat.
    std::uint32_t randomSeed = 1;
    // One line per received packet goes here when set (the console with --verbose)...
    std::ostream* verboseStream = nullptr;
    // ...and is appended to this file when set.
    std::filesystem::path packetLogPath;
    // The final device state is written here by Stop() when set.
    std::filesystem::path stateFilePath;
    std::vector<FaultRule> faults;
};
