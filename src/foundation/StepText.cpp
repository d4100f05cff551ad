#include "foundation/StepText.h"

#include <algorithm>
#include <charconv>

#include "foundation/ArgumentReading.h"
#include "foundation/MiscFunctions.h"
#include "foundation/TextConversion.h"

namespace StepText {

namespace {

using SequenceCommandWords::Word;
using StepRules::Field;
using StepRules::Reason;
using StepRules::Refusal;

// Among the first `limit` names only: a step has room for no more.
std::optional<std::size_t> PositionOf(const std::vector<std::wstring>& names,
                                      const std::wstring& name, std::size_t limit) {
    const std::optional<std::size_t> position = FindNoCase(names, name);
    return position && *position < limit ? position : std::nullopt;
}

bool NamesLight(Word word) {
    return word == Word::On || word == Word::Off || word == Word::SetIntensity;
}

bool NamesTTLBit(Word word) {
    return word == Word::TTLHigh || word == Word::TTLLow;
}

Refusal Refuse(Reason reason, Field field, Word word, const std::wstring& argument) {
    Refusal refusal(reason, field, word);
    refusal.argument = argument;
    return refusal;
}

// `position` is the named output's; the command has passed every check.
void Apply(Word word, const std::vector<std::wstring>& tokens, std::size_t position, Step& step) {
    const auto bit = static_cast<std::uint8_t>(1u << (position % Step::kTTLBitCount));
    switch (word) {
        case Word::On:
        case Word::Off:
            step.lights[position].on = word == Word::On;
            break;
        case Word::SetIntensity:
            step.lights[position].intensity =
                static_cast<std::uint8_t>(ArgumentReading::ReadInteger(tokens[2]));
            break;
        case Word::TTLHigh:
            step.ttlHigh = static_cast<std::uint8_t>(step.ttlHigh | bit);
            step.ttlLow = static_cast<std::uint8_t>(step.ttlLow & ~bit);
            break;
        case Word::TTLLow:
            step.ttlLow = static_cast<std::uint8_t>(step.ttlLow | bit);
            step.ttlHigh = static_cast<std::uint8_t>(step.ttlHigh & ~bit);
            break;
        case Word::Call:
            step.call = static_cast<std::uint8_t>(ArgumentReading::ReadInteger(tokens[1]));
            break;
        case Word::Loop:
            step.loopCount = static_cast<std::uint32_t>(ArgumentReading::ReadInteger(tokens[1]));
            break;
        case Word::EndLoop:
            step.loopEnd = true;
            break;
        case Word::Duration:
            step.duration = ArgumentReading::ReadFraction(tokens[1]);
            break;
    }
}

// Checks are made in the order the device conversion has always made them, so that of two
// faults in one command the same is reported: a light's name before sharing, a TTL bit after.
std::optional<Refusal> ReadCommand(const std::wstring& text, const StepRules::Context& context,
                                   Judging judging, Step& step) {
    std::vector<std::wstring> tokens;
    std::wstring error;
    if (MiscFunctions::ParseCommandString(text, tokens, error) != VlrDataTypes::VLR_SUCCESS) {
        Refusal refusal(Reason::Unreadable, Field::Word, std::nullopt);
        refusal.argument = error;
        return refusal;
    }
    if (judging == Judging::Fully) {
        if (std::optional<Refusal> refusal = StepRules::CheckCommand(tokens, context)) {
            return refusal;
        }
    }
    const std::optional<Word> word =
        tokens.empty() ? std::nullopt : SequenceCommandWords::Find(tokens.front());
    if (!word) {
        return Refusal(Reason::UnknownWord, Field::Word, std::nullopt);
    }
    if (*word != Word::EndLoop) {
        if (std::optional<Refusal> count =
                StepRules::CheckArgumentCount(*word, tokens.size() - 1)) {
            return count;
        }
    }
    std::optional<std::size_t> position;
    if (NamesLight(*word)) {
        position = PositionOf(context.colorLabels, tokens[1], Step::kLightCount);
        if (!position) {
            return Refuse(Reason::UnknownColor, Field::Color, *word, tokens[1]);
        }
    }
    if (std::optional<Refusal> sharing = StepRules::CheckJoining(*word, step)) {
        return sharing;
    }
    if (NamesTTLBit(*word)) {
        position = PositionOf(context.ttlBits, tokens[1], Step::kTTLBitCount);
        if (!position) {
            return Refuse(Reason::UnknownTTLBit, Field::TTLBit, *word, tokens[1]);
        }
    }
    Apply(*word, tokens, position.value_or(0), step);
    return std::nullopt;
}

// The shortest text without an exponent that reads back as the same number; room for the
// longest (a denormal's 0.000...).
std::wstring NumberText(double value) {
    char buffer[512];
    const std::to_chars_result written =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed);
    return NarrowToWide(std::string(buffer, written.ptr));
}

}  // namespace

Reading Read(const std::vector<std::wstring>& texts, const StepRules::Context& context,
             Judging judging) {
    Reading reading;
    for (std::size_t index = 0; index < texts.size() && !reading.refusal; ++index) {
        ReadNext(reading, texts[index], index, context, judging);
    }
    return reading;
}

void ReadNext(Reading& reading, const std::wstring& text, std::size_t index,
              const StepRules::Context& context, Judging judging) {
    if (reading.refusal) {
        return;
    }
    reading.refusal = ReadCommand(text, context, judging, reading.step);
    if (reading.refusal) {
        reading.refusal->index = index;
    }
}

std::vector<std::wstring> Write(const Step& step, const StepRules::Context& context) {
    std::vector<std::wstring> texts;
    const auto add = [&texts](Word word, const std::wstring& arguments) {
        texts.push_back(SequenceCommandWords::Text(word) + std::wstring(L" ") + arguments);
    };
    if (step.call) {
        add(Word::Call, std::to_wstring(*step.call));
    }
    if (step.loopCount) {
        add(Word::Loop, std::to_wstring(*step.loopCount));
    }
    if (step.loopEnd) {
        texts.emplace_back(SequenceCommandWords::Text(Word::EndLoop));
    }
    const std::size_t lights = std::min(context.colorLabels.size(), Step::kLightCount);
    for (std::size_t position = 0; position < lights; ++position) {
        const Step::Light& light = step.lights[position];
        const std::wstring& label = context.colorLabels[position];
        if (light.on) {
            add(*light.on ? Word::On : Word::Off, label);
        }
        if (light.intensity) {
            add(Word::SetIntensity, label + L" " + std::to_wstring(*light.intensity));
        }
    }
    const std::size_t bits = std::min(context.ttlBits.size(), Step::kTTLBitCount);
    for (const Word word : {Word::TTLHigh, Word::TTLLow}) {
        const std::uint8_t mask = word == Word::TTLHigh ? step.ttlHigh : step.ttlLow;
        for (std::size_t position = 0; position < bits; ++position) {
            if ((mask >> position) & 1u) {
                add(word, context.ttlBits[position]);
            }
        }
    }
    if (step.duration) {
        add(Word::Duration, NumberText(*step.duration));
    }
    return texts;
}

}  // namespace StepText
