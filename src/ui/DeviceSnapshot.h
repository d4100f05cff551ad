#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "device/LEDRecord.h"

// What the window shows of the device model, taken on the worker thread after each operation,
// so the window never reads the model while an operation may change it.
struct DeviceSnapshot {
    bool connected = false;
    std::vector<LEDRecord> leds;
    std::uint16_t outputMask = 0;
    // For the status line: "COM6 (/dev/ttyACM6)", the firmware, an emulator's port.
    std::wstring port;
    std::wstring firmware;
    bool simulated = false;

    bool IsOn(std::size_t index) const {
        return ((outputMask >> leds[index].deviceLedId) & 1u) != 0;
    }
};
