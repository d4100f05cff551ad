#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "foundation/SequenceCommandWords.h"

// What timing, the -Call bookkeeping and the stimulus timeline need to know of a stored command
// text. It is taken from the text once, when the text is stored, so that timing every sequence
// (which adding a -Call does) or building a timeline never tokenises or searches a text again.
// The role follows the command's word, matched as everywhere else without regard to case.
class ParsedCommand {
  public:
    enum class TimingRole : std::uint8_t { None, Duration, Call, Loop, EndLoop };

    // The names -On, -Off and -SetIntensity (colour labels) and -TTLHigh and -TTLLow (TTL bits)
    // may give, in the model's order.
    struct OutputNames {
        const std::vector<std::wstring>& colorLabels;
        const std::vector<std::wstring>& ttlBits;
    };

    // tokens: `text` split by MiscFunctions::ParseCommandString. The model stores no text with
    // a double quote, so every token stands in the text as it is.
    static ParsedCommand FromText(const std::wstring& text, const std::vector<std::wstring>& tokens,
                                  const OutputNames& names);

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

    // The sequence command the word names, if any.
    std::optional<SequenceCommandWords::Word> CommandWord() const {
        if (word_ == kNoWord) {
            return std::nullopt;
        }
        return static_cast<SequenceCommandWords::Word>(word_);
    }
    // -On, -Off, -SetIntensity, -TTLHigh and -TTLLow: the output they set, as the position of
    // its name among the colour labels or the TTL bits (compared without regard to case); none
    // for other commands and for a name that is not among them.
    std::optional<std::size_t> Output() const {
        return output_ == kNoOutput ? std::nullopt : std::optional<std::size_t>(output_);
    }
    // What such a command sets: 1 for on and high, 0 for off and low, the intensity kept to the
    // 8 bits the script command carries.
    std::int32_t OutputValue() const { return outputValue_; }
    // Finds the output again after the names changed; `text` is the text this form was taken
    // from.
    void ResolveOutput(const std::wstring& text, const OutputNames& names);

  private:
    static constexpr std::uint8_t kNoWord = 0xFF;
    static constexpr std::uint8_t kNoOutput = 0xFF;

    // Kept at 32 bytes: one sits beside each of the (possibly hundreds of thousands) texts.
    TimingRole role_ = TimingRole::None;
    std::uint8_t word_ = kNoWord;
    std::uint8_t output_ = kNoOutput;
    // Where the output's name stands in the text (stored texts are far shorter than 65,535
    // characters).
    std::uint16_t nameStart_ = 0;
    std::uint16_t nameLength_ = 0;
    std::uint32_t tokenCount_ = 0;
    std::int32_t integerArgument_ = 0;
    std::int32_t outputValue_ = 0;
    double fractionArgument_ = 0.0;
};
