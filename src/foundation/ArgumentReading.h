#pragma once

#include <cstdint>
#include <string>

class LogFile;

// How command words take their arguments: the count check of settings-file and sequence
// commands, and the numbers of sequence commands. Neither reading ever fails: text that holds
// no number reads as 0, as the command vocabulary requires.
namespace ArgumentReading {

// True when `given` arguments are acceptable for `word` (exactly `expected`, or at least
// `expected` with atLeast); otherwise logs why at Error (when a log is given) and returns false.
bool CheckArgumentCount(const std::wstring& word, unsigned given, unsigned expected, bool atLeast,
                        LogFile* log);

// Optional white space and sign, then decimal digits up to the first other character. A value
// beyond the 32-bit range is held at the nearest limit, as the C library's conversion to a
// 32-bit long does.
std::int32_t ReadInteger(const std::wstring& text);

// A leading decimal fraction as stream extraction reads it; 0 when none can be read.
double ReadFraction(const std::wstring& text);

}  // namespace ArgumentReading
