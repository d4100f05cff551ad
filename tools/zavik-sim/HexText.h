#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Hexadecimal renderings used in the emulator's printouts: upper-case digits, fixed width.
class HexText {
  public:
    // "0x0B"
    static std::wstring Byte(std::uint8_t value);
    // "0x0085"
    static std::wstring Word(std::uint16_t value);
    // "02 01 01 00", bytes separated by one blank; empty for no bytes.
    static std::wstring Dump(const std::uint8_t* bytes, std::size_t count);
    static std::wstring Dump(const std::vector<std::uint8_t>& bytes);
};
