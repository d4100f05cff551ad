#pragma once

#include <cstdint>
#include <string>

// How sequence commands read their numeric arguments. Neither reading ever fails: text that
// holds no number reads as 0, as the command vocabulary requires.
namespace ArgumentReading {

// Optional white space and sign, then decimal digits up to the first other character. A value
// beyond the 32-bit range is held at the nearest limit, as the C library's conversion to a
// 32-bit long does.
std::int32_t ReadInteger(const std::wstring& text);

// A leading decimal fraction as stream extraction reads it; 0 when none can be read.
double ReadFraction(const std::wstring& text);

}  // namespace ArgumentReading
