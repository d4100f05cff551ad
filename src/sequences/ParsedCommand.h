#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// What timing and the -Call bookkeeping need to know of a stored command text. It is taken from
// the text once, when the text is stored, so that timing every sequence (which adding a -Call
// does) never tokenises or searches a text again.
// The role follows the command's word, matched as everywhere else without regard to case.
class ParsedCommand {
  public:
    enum class TimingRole { None, Duration, Call, Loop, EndLoop };

    // tokens: the text split by MiscFunctions::ParseCommandString.
    static ParsedCommand FromTokens(const std::vector<std::wstring>& tokens);

    TimingRole Role() const { return role_; }
    bool IsCall() const { return role_ == TimingRole::Call; }
    // -Call, -Loop and -EndLoop make up a step of their own.
    bool MustOpenItsSet() const {
        return role_ == TimingRole::Call || role_ == TimingRole::Loop ||
               role_ == TimingRole::EndLoop;
    }
    std::size_t TokenCount() const { return tokenCount_; }
    // The tokens after the word.
    std::size_t ArgumentCount() const { return tokenCount_ == 0 ? 0 : tokenCount_ - 1; }
    // The first argument read as an integer, and for the Duration role as a fraction; 0 when
    // there is none (and the fraction of every other role).
    std::int32_t IntegerArgument() const { return integerArgument_; }
    double FractionArgument() const { return fractionArgument_; }

  private:
    TimingRole role_ = TimingRole::None;
    std::size_t tokenCount_ = 0;
    std::int32_t integerArgument_ = 0;
    double fractionArgument_ = 0.0;
};
