#pragma once

#include <string>

// The command words of sequence definitions in settings and sequence files: one set, so that
// what the program writes is always what it reads back.
namespace SequenceFileWords {

inline const std::wstring kAddSequence = L"-AddSequence";
inline const std::wstring kAddSequenceCommandSet = L"-AddSequenceCommandSet";
inline const std::wstring kAddSequenceCommand = L"-AddSequenceCommand";

}  // namespace SequenceFileWords
