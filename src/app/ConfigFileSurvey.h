#pragma once

#include <cstdint>
#include <set>
#include <string>

// What kind of .cfg command file a file is, judged by its command words, so that a check reads
// it the way it would really be used:
//   - a setup file declares LEDs (-AddLED);
//   - a stimulus sequence command file holds only -AddSequenceCommandSet and
//     -AddSequenceCommand lines (it is imported as one new sequence);
//   - anything else is a settings file.
// Lines the reader or the tokenizer reject are skipped here; the check itself reports them.
struct ConfigFileSurvey {
    enum class Kind { Setup, Settings, Sequence };

    Kind kind = Kind::Settings;
    // The sequence numbers a sequence command file's lines name (valid numbers only).
    std::set<std::uint32_t> sequenceNumbers;

    static ConfigFileSurvey Of(const std::wstring& path);
};

// "setup", "settings" or "sequence"
std::wstring KindName(ConfigFileSurvey::Kind kind);
