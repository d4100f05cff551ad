#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// What the Zavik Driver can hold and time. The sequence model, the LED table and the emulator
// all check against these, so one number changes everywhere at once.
namespace DeviceLimits {

// Sequence numbers 0..kSequenceCount - 1.
inline constexpr std::uint32_t kSequenceCount = 255;
inline constexpr std::uint32_t kMaxIntensity = 255;
// LEDs the device drives; intensity script commands exist for this many table positions.
inline constexpr std::size_t kMaxLEDCount = 3;
// The TTL outputs, by their bit numbers in the script commands' TTL masks.
inline constexpr std::uint8_t kTTLOutputBits[] = {3, 4, 5, 6};
// Their names in sequence commands: "3" to "6".
inline std::vector<std::wstring> TTLOutputNames() {
    std::vector<std::wstring> names;
    for (const std::uint8_t bit : kTTLOutputBits) {
        names.push_back(std::to_wstring(bit));
    }
    return names;
}
// Loop counts of sequence loops and of pulse trains.
inline constexpr std::uint32_t kMaxLoopCount = 1000000;
// Step durations and pulse widths, in milliseconds; both ends allowed.
inline constexpr double kMinMilliseconds = 0.1;
inline constexpr double kMaxMilliseconds = 1800000.0;

}  // namespace DeviceLimits
