#include "ostra-cli/TextFormat.h"

#include <cstdio>
#include <cwchar>
#include <iomanip>
#include <locale>
#include <sstream>

#include "foundation/TextConversion.h"

namespace TextFormat {

std::wstring Milliseconds(double milliseconds) {
    std::wostringstream text;
    text.imbue(std::locale::classic());
    text << std::fixed << std::setprecision(1) << milliseconds << L" ms";
    return text.str();
}

std::wstring HexWord(std::uint16_t value) {
    wchar_t text[16];
    std::swprintf(text, sizeof text / sizeof text[0], L"0x%04X", static_cast<unsigned>(value));
    return text;
}

std::wstring HexBytes(const std::uint8_t* bytes, std::size_t count) {
    std::wstring text;
    for (std::size_t i = 0; i < count; ++i) {
        wchar_t pair[8];
        std::swprintf(pair, sizeof pair / sizeof pair[0], i == 0 ? L"%02X" : L" %02X",
                      static_cast<unsigned>(bytes[i]));
        text += pair;
    }
    return text;
}

std::wstring PadRight(const std::wstring& text, std::size_t width) {
    return text.size() >= width ? text : text + std::wstring(width - text.size(), L' ');
}

std::wstring PadLeft(const std::wstring& text, std::size_t width) {
    return text.size() >= width ? text : std::wstring(width - text.size(), L' ') + text;
}

std::string ForTerminal(const std::wstring& text) {
    std::wstring shown;
    shown.reserve(text.size());
    for (const wchar_t c : text) {
        // A tab moves the cursor only; every other control character could steer the terminal.
        if ((c < 0x20 && c != L'\t') || (c >= 0x7f && c <= 0x9f)) {
            wchar_t escape[8];
            std::swprintf(escape, sizeof escape / sizeof escape[0], L"\\x%02X",
                          static_cast<unsigned>(c));
            shown += escape;
        } else {
            shown += c;
        }
    }
    return WideToNarrow(shown);
}

}  // namespace TextFormat
