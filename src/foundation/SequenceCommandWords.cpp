#include "foundation/SequenceCommandWords.h"

#include "foundation/TextConversion.h"

namespace SequenceCommandWords {

namespace {

struct Entry {
    Word word;
    const wchar_t* text;
    std::size_t argumentCount;
};

constexpr Entry kEntries[] = {
    {Word::On, L"-On", 1},
    {Word::Off, L"-Off", 1},
    {Word::Call, L"-Call", 1},
    {Word::Loop, L"-Loop", 1},
    {Word::EndLoop, L"-EndLoop", 0},
    {Word::Duration, L"-Duration", 1},
    {Word::SetIntensity, L"-SetIntensity", 2},
    {Word::TTLHigh, L"-TTLHigh", 1},
    {Word::TTLLow, L"-TTLLow", 1},
};

const Entry& EntryOf(Word word) {
    for (const Entry& entry : kEntries) {
        if (entry.word == word) {
            return entry;
        }
    }
    return kEntries[0];  // unreachable: every word has its entry
}

}  // namespace

const wchar_t* Text(Word word) {
    return EntryOf(word).text;
}

std::size_t ArgumentCount(Word word) {
    return EntryOf(word).argumentCount;
}

std::optional<Word> Find(const std::wstring& token) {
    for (const Entry& entry : kEntries) {
        if (CompareNoCase(entry.text, token) == 0) {
            return entry.word;
        }
    }
    return std::nullopt;
}

}  // namespace SequenceCommandWords
