#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// How ostra-cli writes numbers in its text reports, the same whatever the process locale, and
// how any text reaches a terminal.
namespace TextFormat {

// "12.6 ms": one decimal, the device's script time step being 0.1 ms.
std::wstring Milliseconds(double milliseconds);

// "0x0081"
std::wstring HexWord(std::uint16_t value);

// "01 0A FF": two upper-case hex digits per byte, one blank between.
std::wstring HexBytes(const std::uint8_t* bytes, std::size_t count);

// The text padded with blanks on the right (left) to at least width characters.
std::wstring PadRight(const std::wstring& text, std::size_t width);
std::wstring PadLeft(const std::wstring& text, std::size_t width);

// The single-byte text of a report line or message with every control character but the tab (C0,
// DEL and C1) written as \xNN: names from files, firmware text from the device and port names are
// shown as they are, and can never move the cursor, retitle the window or rewrite the screen.
std::string ForTerminal(const std::wstring& text);

}  // namespace TextFormat
