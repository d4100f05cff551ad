#include "sequences/ParsedCommand.h"

#include "foundation/ArgumentReading.h"

namespace {

bool Contains(const std::wstring& text, const wchar_t* word) {
    return text.find(word) != std::wstring::npos;
}

ParsedCommand::TimingRole RoleOf(const std::wstring& text) {
    using Role = ParsedCommand::TimingRole;
    if (Contains(text, L"-Duration")) {
        return Role::Duration;
    }
    if (Contains(text, L"-Call")) {
        return Role::Call;
    }
    if (Contains(text, L"-Loop")) {
        return Role::Loop;
    }
    if (Contains(text, L"-EndLoop")) {
        return Role::EndLoop;
    }
    return Role::None;
}

}  // namespace

ParsedCommand ParsedCommand::FromTokens(const std::wstring& text,
                                        const std::vector<std::wstring>& tokens) {
    ParsedCommand parsed;
    parsed.role_ = RoleOf(text);
    parsed.mentionsCall_ = Contains(text, L"-Call");
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
