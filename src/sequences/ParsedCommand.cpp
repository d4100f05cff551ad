#include "sequences/ParsedCommand.h"

#include "foundation/ArgumentReading.h"
#include "foundation/SequenceCommandWords.h"

namespace {

using SequenceCommandWords::Word;

ParsedCommand::TimingRole RoleOf(const std::vector<std::wstring>& tokens) {
    using Role = ParsedCommand::TimingRole;
    const std::optional<Word> word =
        tokens.empty() ? std::nullopt : SequenceCommandWords::Find(tokens.front());
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

}  // namespace

ParsedCommand ParsedCommand::FromTokens(const std::vector<std::wstring>& tokens) {
    ParsedCommand parsed;
    parsed.role_ = RoleOf(tokens);
    parsed.tokenCount_ = tokens.size();
    if (tokens.size() >= 2) {
        parsed.integerArgument_ = ArgumentReading::ReadInteger(tokens[1]);
        // Reading a fraction costs a stream; only a duration needs one.
        if (parsed.role_ == TimingRole::Duration) {
            parsed.fractionArgument_ = ArgumentReading::ReadFraction(tokens[1]);
        }
    }
    return parsed;
}
