#pragma once

#include <cstdint>
#include <string>

// One pulse train of an LED: loop count 0 runs until stopped. Widths are in milliseconds.
struct PulseParameters {
    std::uint32_t loopCount = 0;
    double widthOn = 10.0;
    double widthOff = 90.0;
};

// One LED of the driver as the setup file declares it, with the state the operator gives it.
struct LEDRecord {
    // The number the device knows the LED by; not its position in the table.
    std::uint32_t deviceLedId = 0;
    std::uint8_t intensity = 26;
    // Optional, in mW; only used to show the optical power at the current intensity.
    double maximumPower = 0.0;
    std::wstring colorLabel;
    PulseParameters pulse;
};
