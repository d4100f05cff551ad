#include "app/Json.h"

#include <cmath>
#include <cstdint>
#include <type_traits>

namespace {

constexpr char32_t kReplacementCharacter = 0xFFFD;
constexpr char32_t kLastCodePoint = 0x10FFFF;

char32_t ValidCodePoint(wchar_t character) {
    const auto code = static_cast<char32_t>(static_cast<std::make_unsigned_t<wchar_t>>(character));
    const bool surrogate = code >= 0xD800 && code <= 0xDFFF;
    return (surrogate || code > kLastCodePoint) ? kReplacementCharacter : code;
}

void AppendUtf8(std::string& text, char32_t code) {
    const auto byte = [](char32_t value) { return static_cast<char>(value); };
    if (code < 0x80) {
        text += byte(code);
    } else if (code < 0x800) {
        text += byte(0xC0 | (code >> 6));
        text += byte(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        text += byte(0xE0 | (code >> 12));
        text += byte(0x80 | ((code >> 6) & 0x3F));
        text += byte(0x80 | (code & 0x3F));
    } else {
        text += byte(0xF0 | (code >> 18));
        text += byte(0x80 | ((code >> 12) & 0x3F));
        text += byte(0x80 | ((code >> 6) & 0x3F));
        text += byte(0x80 | (code & 0x3F));
    }
}

}  // namespace

nlohmann::ordered_json JsonText(const std::wstring& text) {
    std::string utf8;
    utf8.reserve(text.size());
    for (const wchar_t character : text) {
        AppendUtf8(utf8, ValidCodePoint(character));
    }
    return utf8;
}

nlohmann::ordered_json JsonNumber(double value) {
    if (!std::isfinite(value)) {
        return nullptr;
    }
    // Larger whole numbers keep the exponent form of a double.
    constexpr double kExactIntegers = 9007199254740992.0;
    if (value == std::trunc(value) && std::fabs(value) < kExactIntegers) {
        return static_cast<std::int64_t>(value);
    }
    return value;
}

nlohmann::ordered_json JsonMilliseconds(double milliseconds) {
    return JsonNumber(std::round(milliseconds * 10.0) / 10.0);
}

std::string JsonLine(const nlohmann::ordered_json& json) {
    return json.dump(-1, ' ', true);
}

std::wstring TextFromJson(const std::string& text) {
    std::wstring wide;
    for (std::size_t i = 0; i < text.size();) {
        const auto byte = static_cast<unsigned char>(text[i]);
        const int extra = byte < 0x80 ? 0 : byte < 0xE0 ? 1 : byte < 0xF0 ? 2 : 3;
        char32_t code = extra == 0 ? byte : byte & (0x3F >> extra);
        for (int k = 1; k <= extra && i + k < text.size(); ++k) {
            code = (code << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
        }
        wide += static_cast<wchar_t>(code);
        i += static_cast<std::size_t>(extra) + 1;
    }
    return wide;
}
