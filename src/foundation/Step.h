#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

#include "foundation/DeviceLimits.h"

// One step of a sequence as what it does rather than how it is written: StepText turns the
// command texts into a Step and back. LEDs and TTL bits are named by their position among the
// colour labels and the TTL bit names the step was read with, so a Step stays meaningful while
// a label is spelled in another case. Commands of a step that touch the same output leave the
// last one's word, as the device does.
struct Step {
    static constexpr std::size_t kLightCount = DeviceLimits::kMaxLEDCount;
    // Positions among the TTL bit names a step can name (bits of the masks below).
    static constexpr std::size_t kTTLBitCount = 8;

    struct Light {
        // Switched on (true) or off (false) by the step; absent when the step leaves it.
        std::optional<bool> on;
        std::optional<std::uint8_t> intensity;

        bool operator==(const Light&) const = default;
    };

    // Milliseconds as written; absent for a step of the default length.
    std::optional<double> duration;
    std::array<Light, kLightCount> lights{};
    // Bit n: the TTL bit named at position n is set high, or low.
    std::uint8_t ttlHigh = 0;
    std::uint8_t ttlLow = 0;
    std::optional<std::uint32_t> loopCount;
    bool loopEnd = false;
    std::optional<std::uint8_t> call;

    bool SetsIntensity() const {
        for (const Light& light : lights) {
            if (light.intensity) {
                return true;
            }
        }
        return false;
    }
    bool SwitchesLight() const {
        for (const Light& light : lights) {
            if (light.on) {
                return true;
            }
        }
        return false;
    }
    bool SetsTTL() const { return (ttlHigh | ttlLow) != 0; }
    // -Call, -Loop or -EndLoop: what the step does besides waiting is that alone.
    bool IsCallOrLoop() const { return call || loopCount || loopEnd; }

    bool operator==(const Step&) const = default;
};
