#include "foundation/StepRules.h"

#include "foundation/ArgumentReading.h"
#include "foundation/StepText.h"
#include "foundation/TextConversion.h"

namespace StepRules {

namespace {

Refusal Refuse(Reason reason, Field field, Word word, const std::wstring& argument,
               double value = 0.0) {
    Refusal refusal(reason, field, word);
    refusal.argument = argument;
    refusal.value = value;
    return refusal;
}

std::optional<Refusal> CheckColor(Word word, const std::vector<std::wstring>& tokens,
                                  const Context& context) {
    if (FindNoCase(context.colorLabels, tokens[1])) {
        return std::nullopt;
    }
    return Refuse(Reason::UnknownColor, Field::Color, word, tokens[1]);
}

std::optional<Refusal> CheckIntensity(Word word, const std::vector<std::wstring>& tokens,
                                      const Context& context) {
    if (std::optional<Refusal> color = CheckColor(word, tokens, context)) {
        return color;
    }
    // Read as unsigned on purpose: a negative intensity becomes a large value and fails.
    const auto intensity = static_cast<std::uint32_t>(ArgumentReading::ReadInteger(tokens[2]));
    if (intensity <= kMaxIntensity) {
        return std::nullopt;
    }
    return Refuse(Reason::IntensityOutOfRange, Field::Intensity, word, tokens[2], intensity);
}

std::optional<Refusal> CheckCall(Word word, const std::vector<std::wstring>& tokens,
                                 const Context& context) {
    const auto callee = static_cast<std::uint32_t>(ArgumentReading::ReadInteger(tokens[1]));
    if (callee >= kSequenceCount) {
        return Refuse(Reason::SequenceNumberOutOfRange, Field::Sequence, word, tokens[1], callee);
    }
    if (context.isDefined && context.isDefined(callee)) {
        return std::nullopt;
    }
    return Refuse(Reason::NoSuchSequence, Field::Sequence, word, tokens[1], callee);
}

std::optional<Refusal> CheckLoop(Word word, const std::vector<std::wstring>& tokens,
                                 const Context&) {
    const std::int32_t count = ArgumentReading::ReadInteger(tokens[1]);
    if (count >= kMinLoopCount && count <= kMaxLoopCount) {
        return std::nullopt;
    }
    // Reported as the unsigned value the device would take.
    return Refuse(Reason::LoopCountOutOfRange, Field::LoopCount, word, tokens[1],
                  static_cast<std::uint32_t>(count));
}

std::optional<Refusal> CheckDuration(Word word, const std::vector<std::wstring>& tokens,
                                     const Context&) {
    const double duration = ArgumentReading::ReadFraction(tokens[1]);
    if (duration >= kMinDuration && duration <= kMaxDuration) {
        return std::nullopt;
    }
    return Refuse(Reason::DurationOutOfRange, Field::Duration, word, tokens[1], duration);
}

std::optional<Refusal> CheckTTLBit(Word word, const std::vector<std::wstring>& tokens,
                                   const Context& context) {
    if (FindNoCase(context.ttlBits, tokens[1])) {
        return std::nullopt;
    }
    return Refuse(Reason::UnknownTTLBit, Field::TTLBit, word, tokens[1]);
}

using ArgumentCheck = std::optional<Refusal> (*)(Word, const std::vector<std::wstring>&,
                                                 const Context&);

// Null when the argument count is all there is to check.
ArgumentCheck ArgumentCheckOf(Word word) {
    switch (word) {
        case Word::On:
        case Word::Off:
            return &CheckColor;
        case Word::Call:
            return &CheckCall;
        case Word::Loop:
            return &CheckLoop;
        case Word::EndLoop:
            return nullptr;
        case Word::Duration:
            return &CheckDuration;
        case Word::SetIntensity:
            return &CheckIntensity;
        case Word::TTLHigh:
        case Word::TTLLow:
            return &CheckTTLBit;
    }
    return nullptr;
}

}  // namespace

std::optional<Refusal> CheckArgumentCount(Word word, std::size_t given) {
    const std::size_t expected = SequenceCommandWords::ArgumentCount(word);
    if (given == expected) {
        return std::nullopt;
    }
    Refusal refusal(Reason::ArgumentCount, Field::Arguments, word);
    refusal.expected = expected;
    refusal.given = given;
    return refusal;
}

std::optional<Refusal> CheckCommand(const std::vector<std::wstring>& tokens,
                                    const Context& context) {
    const std::optional<Word> word =
        tokens.empty() ? std::nullopt : SequenceCommandWords::Find(tokens.front());
    if (!word) {
        return Refusal(Reason::UnknownWord, Field::Word, std::nullopt);
    }
    if (std::optional<Refusal> count = CheckArgumentCount(*word, tokens.size() - 1)) {
        return count;
    }
    const ArgumentCheck check = ArgumentCheckOf(*word);
    return check == nullptr ? std::nullopt : check(*word, tokens, context);
}

bool MustOpenItsStep(Word word) {
    return word == Word::Call || word == Word::Loop || word == Word::EndLoop;
}

std::optional<Refusal> CheckSharing(Word word, bool stepIsEmpty) {
    if (stepIsEmpty || !MustOpenItsStep(word)) {
        return std::nullopt;
    }
    return Refusal(Reason::MustOpenItsStep, Field::Word, word);
}

std::optional<Refusal> CheckJoining(Word word, const Step& step) {
    const bool takesItWhole = step.IsCallOrLoop() || step.SetsIntensity();
    bool joins = true;
    switch (word) {
        case Word::Duration:
            break;
        case Word::On:
        case Word::Off:
        case Word::TTLHigh:
        case Word::TTLLow:
            joins = !takesItWhole;
            break;
        case Word::Call:
        case Word::Loop:
        case Word::EndLoop:
        case Word::SetIntensity:
            joins = !takesItWhole && !step.SwitchesLight() && !step.SetsTTL();
            break;
    }
    if (joins) {
        return std::nullopt;
    }
    return Refusal(Reason::CannotShareStep, Field::Word, word);
}

std::optional<Refusal> CheckStep(const std::vector<std::wstring>& texts, const Context& context) {
    return StepText::Read(texts, context).refusal;
}

std::optional<Refusal> CheckLoops(const std::vector<Step>& steps) {
    std::optional<std::size_t> open;
    for (std::size_t index = 0; index < steps.size(); ++index) {
        std::optional<Reason> reason;
        if (steps[index].loopCount) {
            reason = open ? std::optional(Reason::LoopAlreadyOpen) : std::nullopt;
            open = index;
        } else if (steps[index].loopEnd) {
            reason = open ? std::nullopt : std::optional(Reason::LoopEndWithoutStart);
            open.reset();
        }
        if (reason) {
            Refusal refusal(*reason, Field::Word,
                            *reason == Reason::LoopAlreadyOpen ? Word::Loop : Word::EndLoop);
            refusal.index = index;
            return refusal;
        }
    }
    if (!open) {
        return std::nullopt;
    }
    Refusal refusal(Reason::LoopNotClosed, Field::Word, Word::Loop);
    refusal.index = *open;
    return refusal;
}

}  // namespace StepRules
