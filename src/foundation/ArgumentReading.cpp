#include "foundation/ArgumentReading.h"

#include <cwctype>
#include <limits>

#include "foundation/TextConversion.h"

namespace ArgumentReading {

std::int32_t ReadInteger(const std::wstring& text) {
    constexpr std::int64_t kMax = std::numeric_limits<std::int32_t>::max();
    constexpr std::int64_t kMinMagnitude = kMax + 1;

    std::size_t pos = 0;
    while (pos < text.size() && std::iswspace(static_cast<wint_t>(text[pos]))) {
        ++pos;
    }
    bool negative = false;
    if (pos < text.size() && (text[pos] == L'+' || text[pos] == L'-')) {
        negative = text[pos] == L'-';
        ++pos;
    }
    const std::int64_t limit = negative ? kMinMagnitude : kMax;
    std::int64_t magnitude = 0;
    for (; pos < text.size() && text[pos] >= L'0' && text[pos] <= L'9'; ++pos) {
        // Once at the limit further digits cannot bring the value back into range.
        magnitude = magnitude * 10 + (text[pos] - L'0');
        if (magnitude > limit) {
            magnitude = limit;
        }
    }
    return static_cast<std::int32_t>(negative ? -magnitude : magnitude);
}

double ReadFraction(const std::wstring& text) {
    double value = 0.0;
    TextToDouble(text, value);
    return value;
}

}  // namespace ArgumentReading
