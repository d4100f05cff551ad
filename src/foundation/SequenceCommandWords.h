#pragma once

#include <cstddef>
#include <optional>
#include <string>

// The words of sequence command texts such as -SetIntensity Blue 200. The sequence model checks
// them, timing and the device conversion read them: all must take the same word for the same
// command, so each word is written and matched here only.
namespace SequenceCommandWords {

enum class Word { On, Off, Call, Loop, EndLoop, Duration, SetIntensity, TTLHigh, TTLLow };

// The word as it is written in files and messages.
const wchar_t* Text(Word word);

// How many arguments follow the word, exactly.
std::size_t ArgumentCount(Word word);

// The word a command's first token names, compared without regard to case; none when the
// token names no sequence command.
std::optional<Word> Find(const std::wstring& token);

}  // namespace SequenceCommandWords
