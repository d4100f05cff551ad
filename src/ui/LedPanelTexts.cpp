#include "ui/LedPanelTexts.h"

#include <charconv>
#include <cstdio>
#include <cwctype>

#include "foundation/DeviceLimits.h"
#include "foundation/TextConversion.h"

namespace LedPanelTexts {

namespace {

constexpr double kFullScale = DeviceLimits::kMaxIntensity;

std::wstring Trimmed(const std::wstring& text) {
    const auto first = text.find_first_not_of(L" \t");
    if (first == std::wstring::npos) {
        return L"";
    }
    return text.substr(first, text.find_last_not_of(L" \t") - first + 1);
}

// A sign, digits and at most one decimal point (only when decimals are allowed), nothing else:
// text such as "abc" or "5x" is no number rather than 0 or 5.
bool IsNumberText(const std::wstring& text, bool decimals) {
    std::size_t position = 0;
    if (position < text.size() && (text[position] == L'-' || text[position] == L'+')) {
        ++position;
    }
    bool digits = false;
    bool point = false;
    for (; position < text.size(); ++position) {
        if (std::iswdigit(text[position])) {
            digits = true;
        } else if (decimals && text[position] == L'.' && !point) {
            point = true;
        } else {
            return false;
        }
    }
    return digits;
}

std::optional<long long> ReadWhole(const std::wstring& text) {
    const std::wstring trimmed = Trimmed(text);
    if (!IsNumberText(trimmed, false) || trimmed.size() > 18) {
        return std::nullopt;
    }
    return std::stoll(trimmed);
}

std::optional<double> ReadDecimal(const std::wstring& text) {
    const std::wstring trimmed = Trimmed(text);
    if (!IsNumberText(trimmed, true)) {
        return std::nullopt;
    }
    return StandardTextToDouble(trimmed);
}

std::wstring WidthError(const std::wstring& text) {
    return L"The value entered(" + text + L") is an invalid.\r\nPlease enter a new value between " +
           FixedText(DeviceLimits::kMinMilliseconds, 1) + L" and " +
           FixedText(DeviceLimits::kMaxMilliseconds, 1) + L" ms.";
}

}  // namespace

std::wstring Percent(std::uint32_t intensity) {
    return L"(" + std::to_wstring(static_cast<int>(intensity / kFullScale * 100.0)) + L")%";
}

std::wstring MaximumPower(double maximumPower) {
    return maximumPower == 0.0 ? L"" : L"(" + FixedText(maximumPower, 2) + L" mW)";
}

std::wstring Power(std::uint32_t intensity, double maximumPower) {
    return maximumPower == 0.0 ? L"" : FixedText(intensity / kFullScale * maximumPower, 2) + L" mW";
}

std::wstring Frequency(double widthOn, double widthOff) {
    // printf's default number format in the "C" locale: up to six significant digits.
    wchar_t text[64];
    std::swprintf(text, 64, L"%g", 1000.0 / (widthOn + widthOff));
    std::wstring result = text;
    for (wchar_t& c : result) {
        if (c == L',') {
            c = L'.';
        }
    }
    return result + L" Hz";
}

std::wstring DutyCycle(double widthOn, double widthOff) {
    return std::to_wstring(static_cast<int>(widthOn / (widthOn + widthOff) * 100.0)) +
           L" % Duty Cycle";
}

std::wstring Width(double width) {
    char text[64];
    const std::to_chars_result kept =
        std::to_chars(text, text + sizeof text, width, std::chars_format::general, 6);
    double stored = width;
    std::from_chars(text, kept.ptr, stored);
    const std::to_chars_result shown =
        std::to_chars(text, text + sizeof text, stored, std::chars_format::fixed);
    return NarrowToWide(std::string(text, shown.ec == std::errc() ? shown.ptr : text));
}

Entry<std::uint32_t> ReadIntensity(const std::wstring& text) {
    const std::optional<long long> value = ReadWhole(text);
    if (value && *value >= 0 && *value <= DeviceLimits::kMaxIntensity) {
        return {static_cast<std::uint32_t>(*value), L""};
    }
    return {std::nullopt, L"The value entered(" + (value ? std::to_wstring(*value) : text) +
                              L") is an invalid intensity. \r\nPlease enter a new value within "
                              L"the following range: 0.." +
                              std::to_wstring(DeviceLimits::kMaxIntensity)};
}

PulseEntry ReadPulse(const PulseParameters& stored, const std::optional<std::wstring>& widthOn,
                     const std::optional<std::wstring>& widthOff,
                     const std::optional<std::wstring>& loopCount) {
    const auto readWidth = [](const std::optional<std::wstring>& text, double kept) {
        const std::optional<double> width = text ? ReadDecimal(*text) : kept;
        return width && *width >= DeviceLimits::kMinMilliseconds &&
                       *width <= DeviceLimits::kMaxMilliseconds
                   ? width
                   : std::nullopt;
    };
    const std::optional<double> on = readWidth(widthOn, stored.widthOn);
    if (!on) {
        return {std::nullopt, PulseField::WidthOn, WidthError(widthOn.value_or(L""))};
    }
    const std::optional<double> off = readWidth(widthOff, stored.widthOff);
    if (!off) {
        return {std::nullopt, PulseField::WidthOff, WidthError(widthOff.value_or(L""))};
    }
    const std::optional<long long> loops =
        loopCount ? ReadWhole(*loopCount) : std::optional<long long>(stored.loopCount);
    if (!loops || *loops < 0 || *loops > DeviceLimits::kMaxLoopCount) {
        // A negative count shows as the unsigned number it would become.
        const std::wstring shown =
            loops ? std::to_wstring(static_cast<std::uint32_t>(*loops)) : loopCount.value_or(L"");
        return {std::nullopt, PulseField::LoopCount,
                L"The value entered(" + shown +
                    L") is an invalid.\r\nPlease enter a new value between 0 and " +
                    std::to_wstring(DeviceLimits::kMaxLoopCount) + L"."};
    }
    PulseParameters pulse;
    pulse.widthOn = *on;
    pulse.widthOff = *off;
    pulse.loopCount = static_cast<std::uint32_t>(*loops);
    return {pulse, PulseField::WidthOn, L""};
}

}  // namespace LedPanelTexts
