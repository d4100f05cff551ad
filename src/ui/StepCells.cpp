#include "ui/StepCells.h"

#include <algorithm>
#include <cmath>
#include <locale>
#include <sstream>

#include "foundation/ArgumentReading.h"
#include "foundation/StepText.h"
#include "foundation/TextConversion.h"
#include "sequences/SequenceContainer.h"
#include "ui/SequenceEditor.h"

using Word = SequenceCommandWords::Word;
using Editor = SequenceEditor;

namespace {

std::wstring WordText(Word word) {
    return SequenceCommandWords::Text(word);
}

std::wstring Whole(double value) {
    return std::to_wstring(static_cast<std::int64_t>(value));
}

std::wstring Quoted(const std::wstring& text) {
    return L"\"" + text + L"\"";
}

// The whole text as a number, in the "C" locale; nothing when anything else follows it.
std::optional<double> Number(const std::wstring& text) {
    std::wistringstream in(text);
    in.imbue(std::locale::classic());
    double value = 0.0;
    if (!(in >> value) || !(in >> std::ws).eof()) {
        return std::nullopt;
    }
    return value;
}

// A whole number as the rulebook reads one; nothing for any other text, so that "3e2" is judged
// as the 300 it says and not as the 3 a reader of digits would see.
std::optional<std::wstring> WholeNumber(const std::wstring& text) {
    const std::optional<double> value = Number(text);
    if (!value || *value != std::floor(*value)) {
        return std::nullopt;
    }
    return Whole(*value);
}

bool IsOneOf(const std::wstring& token, std::initializer_list<Word> words) {
    const std::optional<Word> found = SequenceCommandWords::Find(token);
    return found && std::find(words.begin(), words.end(), *found) != words.end();
}

void Keep(std::optional<StepCells::Refusal>& first, int column, const std::wstring& text) {
    if (!first) {
        first = StepCells::Refusal{column, text};
    }
}

}  // namespace

std::vector<std::wstring> StepCells::Words(const std::wstring& text) {
    std::vector<std::wstring> words;
    std::size_t start = 0;
    while ((start = text.find_first_not_of(L" \t", start)) != std::wstring::npos) {
        const std::size_t end = text.find_first_of(L" \t", start);
        words.push_back(text.substr(start, end - start));
        start = end;
    }
    return words;
}

std::optional<std::wstring> StepCells::IntensityOf(const std::wstring& token) {
    const std::wstring head = WordText(Word::SetIntensity) + std::wstring(L"(");
    if (token.size() > head.size() && token.compare(0, head.size(), head) == 0 &&
        token.back() == L')') {
        return token.substr(head.size(), token.size() - head.size() - 1);
    }
    return std::nullopt;
}

std::wstring StepCells::DurationText(const std::wstring& typed) {
    return FixedText(std::clamp(ArgumentReading::ReadFraction(typed), StepRules::kMinDuration,
                                StepRules::kMaxDuration),
                     1);
}

std::optional<StepRules::Refusal> StepCells::Judge(const std::vector<std::wstring>& tokens) const {
    return StepRules::CheckCommand(tokens, model_.RuleContext());
}

std::wstring StepCells::LoopCallText(const Step& step) const {
    std::wstring label;
    if (step.call && model_.GetSequenceLabel(*step.call, label) == VlrDataTypes::VLR_SUCCESS) {
        return WordText(Word::Call) + L" " + label;
    }
    if (step.loopCount) {
        return WordText(Word::Loop) + L" " + std::to_wstring(*step.loopCount);
    }
    return step.loopEnd ? WordText(Word::EndLoop) : std::wstring();
}

std::wstring StepCells::TTLText(std::vector<int> high, std::vector<int> low) {
    std::sort(high.begin(), high.end());
    std::sort(low.begin(), low.end());
    std::wstring text;
    if (!high.empty()) {
        text = WordText(Word::TTLHigh);
        for (const int bit : high) {
            text += L" " + std::to_wstring(bit);
        }
    }
    if (!low.empty()) {
        text += L" " + WordText(Word::TTLLow);
        for (const int bit : low) {
            text += L" " + std::to_wstring(bit);
        }
    }
    return text;
}

std::wstring StepCells::LightText(const Step::Light& light) {
    std::wstring text;
    if (light.on) {
        text = WordText(*light.on ? Word::On : Word::Off);
    }
    if (light.intensity) {
        text += (text.empty() ? L"" : L" ") + WordText(Word::SetIntensity) + L"(" +
                std::to_wstring(*light.intensity) + L")";
    }
    return text;
}

StepCells::Reading StepCells::Read(const Cells& cells) const {
    Reading reading;
    const std::wstring& loopCall = cells[Editor::kLoopCallColumn];
    if (Editor::KindOf(loopCall) != Editor::RowKind::Ordinary) {
        reading.refusal = ReadLoopCall(cells, reading.commands);
        return reading;
    }
    std::optional<Refusal> refusal;
    if (!Words(loopCall).empty()) {
        Keep(refusal, Editor::kLoopCallColumn,
             Quoted(loopCall) + L" is neither a loop nor a call.");
    }
    // Refused in grid order, written in the editor's order.
    std::optional<Refusal> leds = ReadLeds(cells, reading.commands);
    std::optional<Refusal> ttl = ReadTTL(cells[Editor::kTTLColumn], reading.commands);
    std::optional<Refusal> duration =
        ReadDuration(cells[Editor::kDurationColumn], reading.commands);
    for (std::optional<Refusal>* part : {&duration, &ttl, &leds}) {
        if (!refusal) {
            refusal = *part;
        }
    }
    reading.refusal = refusal ? refusal : JudgeSharing(reading.commands);
    return reading;
}

// Whether the commands of the cells, each allowed, may share one step.
std::optional<StepCells::Refusal> StepCells::JudgeSharing(const CommandSet& commands) const {
    const StepRules::Context context = model_.RuleContext();
    const StepText::Reading whole = StepText::Read(commands, context);
    if (!whole.refusal) {
        return std::nullopt;
    }
    const Step refused = StepText::Read({commands[whole.refusal->index]}, context).step;
    int column = Editor::kTTLColumn;
    for (std::size_t position = 0; position < Step::kLightCount; ++position) {
        if (refused.lights[position] != Step::Light{}) {
            column = Editor::kFirstLedColumn + static_cast<int>(position);
        }
    }
    return Refusal{column, L"an intensity change shares its step with nothing but a duration."};
}

std::optional<StepCells::Refusal> StepCells::ReadLoopCall(const Cells& cells,
                                                          CommandSet& commands) const {
    const std::wstring& text = cells[Editor::kLoopCallColumn];
    const std::vector<std::wstring> words = Words(text);
    const Word word = *SequenceCommandWords::Find(words.front());
    std::optional<Refusal> refusal;
    if (word == Word::Call) {
        refusal = ReadCall(text, commands);
    } else {
        commands.push_back(text);
        const std::optional<std::wstring> count =
            words.size() == 2 ? WholeNumber(words[1]) : std::nullopt;
        if (word == Word::Loop && (!count || Judge({words[0], *count}))) {
            Keep(refusal, Editor::kLoopCallColumn,
                 L"a loop count is a whole number from " + Whole(StepRules::kMinLoopCount) +
                     L" to " + Whole(StepRules::kMaxLoopCount) + L".");
        } else if (word == Word::EndLoop && Judge(words)) {
            Keep(refusal, Editor::kLoopCallColumn,
                 Quoted(text) + L" is neither a loop nor a call.");
        }
    }
    for (int column = Editor::kTTLColumn; column < static_cast<int>(cells.size()); ++column) {
        if (!Words(cells[column]).empty() && StepRules::CheckSharing(word, false)) {
            Keep(refusal, column, L"a loop or call step holds nothing else.");
        }
    }
    return refusal;
}

std::optional<StepCells::Refusal> StepCells::ReadCall(const std::wstring& text,
                                                      CommandSet& commands) const {
    const Refusal undefined{Editor::kLoopCallColumn, Quoted(text) + L" calls no defined sequence."};
    std::uint32_t called = 0;
    if (model_.ExtractSequenceNumberFromLabel(text, called) != VlrDataTypes::VLR_SUCCESS) {
        return undefined;
    }
    const std::wstring command = WordText(Word::Call) + L" " + std::to_wstring(called);
    commands.push_back(command);
    if (Judge(Words(command))) {
        return undefined;
    }
    return std::nullopt;
}

std::optional<StepCells::Refusal> StepCells::ReadDuration(const std::wstring& text,
                                                          CommandSet& commands) const {
    if (text.empty()) {
        return Refusal{Editor::kDurationColumn,
                       L"the cell is empty; a step lasts " + FixedText(StepRules::kMinDuration, 1) +
                           L" to " + Whole(StepRules::kMaxDuration) + L" milliseconds."};
    }
    const std::wstring command = WordText(Word::Duration) + std::wstring(L" ") + text;
    commands.push_back(command);
    const bool number = Number(text).has_value();
    if (number && !Judge(Words(command))) {
        return std::nullopt;
    }
    return Refusal{Editor::kDurationColumn,
                   Quoted(text) + (number ? L" is out of range" : L" is not a number") +
                       L"; a step lasts " + FixedText(StepRules::kMinDuration, 1) + L" to " +
                       Whole(StepRules::kMaxDuration) + L" milliseconds."};
}

std::optional<StepCells::Refusal> StepCells::ReadTTL(const std::wstring& text,
                                                     CommandSet& commands) const {
    std::optional<Refusal> refusal;
    std::optional<Word> word;  // none until the cell names one
    std::vector<std::wstring> used;
    for (const std::wstring& token : Words(text)) {
        if (IsOneOf(token, {Word::TTLHigh, Word::TTLLow})) {
            word = SequenceCommandWords::Find(token);
            continue;
        }
        const std::wstring command = WordText(word.value_or(Word::TTLHigh)) + L" " + token;
        commands.push_back(command);
        const bool twice = std::find(used.begin(), used.end(), token) != used.end();
        used.push_back(token);
        if (!word || twice || Judge(Words(command))) {
            Keep(refusal, Editor::kTTLColumn,
                 Quoted(text) +
                     L" does not name each TTL bit at most once after -TTLHigh or -TTLLow.");
        }
    }
    return refusal;
}

std::optional<StepCells::Refusal> StepCells::ReadLeds(const Cells& cells,
                                                      CommandSet& commands) const {
    const std::vector<std::wstring>& labels = model_.GetColorLabels();
    std::optional<Refusal> refusal;
    for (int column = Editor::kFirstLedColumn; column < static_cast<int>(cells.size()); ++column) {
        const std::wstring& label =
            labels[static_cast<std::size_t>(column - Editor::kFirstLedColumn)];
        int switches = 0;
        CommandSet levels;
        for (const std::wstring& token : Words(cells[column])) {
            const std::optional<std::wstring> value = IntensityOf(token);
            const std::optional<std::wstring> whole = value ? WholeNumber(*value) : std::nullopt;
            if (IsOneOf(token, {Word::On, Word::Off})) {
                ++switches;
                commands.push_back(WordText(*SequenceCommandWords::Find(token)) + L" " + label);
            } else if (value) {
                levels.push_back(WordText(Word::SetIntensity) + L" " + label + L" " + *value);
            }
            if (!IsOneOf(token, {Word::On, Word::Off}) &&
                (!whole || Judge({WordText(Word::SetIntensity), label, *whole}))) {
                Keep(refusal, column,
                     Quoted(token) + L" is not -On, -Off or -SetIntensity(0.." +
                         Whole(StepRules::kMaxIntensity) + L").");
            }
        }
        commands.insert(commands.end(), levels.begin(), levels.end());
        if (switches > 1 || levels.size() > 1) {
            Keep(refusal, column, L"the cell holds more than one switch or intensity.");
        }
    }
    return refusal;
}
