#include "sequences/ParsedCommand.h"

#include <limits>

#include "foundation/ArgumentReading.h"
#include "foundation/TextConversion.h"

namespace {

using SequenceCommandWords::Word;

ParsedCommand::TimingRole RoleOf(std::optional<Word> word) {
    using Role = ParsedCommand::TimingRole;
    if (!word) {
        return Role::None;
    }
    switch (*word) {
        case Word::Duration:
            return Role::Duration;
        case Word::Call:
            return Role::Call;
        case Word::Loop:
            return Role::Loop;
        case Word::EndLoop:
            return Role::EndLoop;
        default:
            return Role::None;
    }
}

// 1 or 0 for the words that switch an output; none for the rest.
std::optional<std::int32_t> SwitchValue(Word word) {
    switch (word) {
        case Word::On:
        case Word::TTLHigh:
            return 1;
        case Word::Off:
        case Word::TTLLow:
            return 0;
        default:
            return std::nullopt;
    }
}

// Where the second token starts in a text that holds no quote: after the white space that
// ParseCommandString trims, the first token, and the white space after it.
std::size_t SecondTokenStart(const std::wstring& text, const std::wstring& first) {
    constexpr const wchar_t* kSpace = L" \t\n\v\f\r";
    const std::size_t word = text.find_first_not_of(kSpace);
    return word == std::wstring::npos ? text.size()
                                      : text.find_first_not_of(kSpace, word + first.size());
}

}  // namespace

ParsedCommand ParsedCommand::FromText(const std::wstring& text,
                                      const std::vector<std::wstring>& tokens,
                                      const OutputNames& names) {
    ParsedCommand parsed;
    const std::optional<Word> word =
        tokens.empty() ? std::nullopt : SequenceCommandWords::Find(tokens.front());
    parsed.role_ = RoleOf(word);
    parsed.word_ = word ? static_cast<std::uint8_t>(*word) : kNoWord;
    parsed.tokenCount_ = static_cast<std::uint32_t>(tokens.size());
    if (tokens.size() < 2) {
        return parsed;
    }
    parsed.integerArgument_ = ArgumentReading::ReadInteger(tokens[1]);
    // Reading a fraction costs a stream; only a duration needs one.
    if (parsed.role_ == TimingRole::Duration) {
        parsed.fractionArgument_ = ArgumentReading::ReadFraction(tokens[1]);
    }
    const std::optional<std::int32_t> switched = word ? SwitchValue(*word) : std::nullopt;
    const bool setsIntensity = word == Word::SetIntensity && tokens.size() >= 3;
    const std::size_t start = SecondTokenStart(text, tokens.front());
    constexpr std::size_t kLimit = std::numeric_limits<std::uint16_t>::max();
    if ((switched || setsIntensity) && start < kLimit && tokens[1].size() < kLimit) {
        parsed.nameStart_ = static_cast<std::uint16_t>(start);
        parsed.nameLength_ = static_cast<std::uint16_t>(tokens[1].size());
        parsed.outputValue_ =
            switched ? *switched
                     : static_cast<std::uint8_t>(ArgumentReading::ReadInteger(tokens[2]));
        parsed.ResolveOutput(text, names);
    }
    return parsed;
}

void ParsedCommand::ResolveOutput(const std::wstring& text, const OutputNames& names) {
    const std::optional<Word> word = CommandWord();
    if (nameLength_ == 0 || !word) {
        return;
    }
    const bool ttl = *word == Word::TTLHigh || *word == Word::TTLLow;
    const std::vector<std::wstring>& candidates = ttl ? names.ttlBits : names.colorLabels;
    const std::wstring name = text.substr(nameStart_, nameLength_);
    const std::optional<std::size_t> position = FindNoCase(candidates, name);
    output_ = position && *position < kNoOutput ? static_cast<std::uint8_t>(*position) : kNoOutput;
}
