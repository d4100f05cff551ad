#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "device/LEDRecord.h"

// What an LED panel of the manual control page shows, and how it reads what the operator typed.
namespace LedPanelTexts {

// "(50)%": the whole percentage of 255.
std::wstring Percent(std::uint32_t intensity);
// "(1000.00 mW)", empty when the LED has no maximum power.
std::wstring MaximumPower(double maximumPower);
// "501.96 mW" at the intensity, empty when the LED has no maximum power.
std::wstring Power(std::uint32_t intensity, double maximumPower);
// "10 Hz", "333.333 Hz".
std::wstring Frequency(double widthOn, double widthOff);
// "33 % Duty Cycle".
std::wstring DutyCycle(double widthOn, double widthOff);
// A width in the edit as the settings file keeps it (six significant digits), written out
// without an exponent: "10", "7.25", and the longest width in full.
std::wstring Width(double width);

// What an entry answers: the value, or the "LED Property Error" text to show.
template <typename Value>
struct Entry {
    std::optional<Value> value;
    std::wstring error;
};

inline const std::wstring kErrorCaption = L"LED Property Error";

// A whole number 0..255; anything else, text that is no number included, is refused.
Entry<std::uint32_t> ReadIntensity(const std::wstring& text);

enum class PulseField { WidthOn, WidthOff, LoopCount };
// The pulse fields the operator changed, read from their texts (widths and a loop count within
// the device's limits, DeviceLimits.h); a field without a text keeps the stored value exactly,
// so nothing the operator did not type changes. A refusal names the first field that is invalid.
struct PulseEntry {
    std::optional<PulseParameters> value;
    PulseField invalidField = PulseField::WidthOn;
    std::wstring error;
};
PulseEntry ReadPulse(const PulseParameters& stored, const std::optional<std::wstring>& widthOn,
                     const std::optional<std::wstring>& widthOff,
                     const std::optional<std::wstring>& loopCount);

}  // namespace LedPanelTexts
