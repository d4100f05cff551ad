#include "zavik-sim/HexText.h"

namespace {

constexpr wchar_t kDigits[] = L"0123456789ABCDEF";

std::wstring Digits(unsigned value, int width) {
    std::wstring text(static_cast<std::size_t>(width), L'0');
    for (int i = width - 1; i >= 0; --i) {
        text[static_cast<std::size_t>(i)] = kDigits[value & 0xFu];
        value >>= 4;
    }
    return text;
}

}  // namespace

std::wstring HexText::Byte(std::uint8_t value) {
    return L"0x" + Digits(value, 2);
}

std::wstring HexText::Word(std::uint16_t value) {
    return L"0x" + Digits(value, 4);
}

std::wstring HexText::Dump(const std::uint8_t* bytes, std::size_t count) {
    std::wstring text;
    for (std::size_t i = 0; i < count; ++i) {
        if (i > 0) {
            text += L' ';
        }
        text += Digits(bytes[i], 2);
    }
    return text;
}

std::wstring HexText::Dump(const std::vector<std::uint8_t>& bytes) {
    return Dump(bytes.data(), bytes.size());
}
