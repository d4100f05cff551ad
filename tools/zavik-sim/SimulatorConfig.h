#pragma once

#include <chrono>
#include <cstddef>
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
    // The device state is written here at the start and rewritten (atomically) after every
    // change when set.
    std::filesystem::path stateFilePath;
    // Every output change, in the timeline's TSV columns, when set (see EventRecord).
    std::filesystem::path eventsPath;
    // The LED labels of the PC's table, for the state file and the event record.
    std::vector<std::wstring> ledLabels{L"Blue", L"Green", L"Red"};
    // Device time runs this many times faster than real time...
    double timeScale = 1.0;
    // ...or only when AdvanceClock() moves it (tests).
    bool manualClock = false;
    // Received packets kept for Packets(): the most recent this many.
    std::size_t packetHistory = 1000;
    // A script with problems is refused at EndSequenceUpload (Invalid Parameter) instead of
    // only warned about.
    bool strictScripts = false;
    std::vector<FaultRule> faults;
};
