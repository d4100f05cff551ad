#pragma once

#include <optional>
#include <string>
#include <vector>

#include "foundation/Step.h"
#include "foundation/StepRules.h"
#include "sequences/SequenceSlot.h"

class SequenceContainer;

// One step as the editor's grid shows it: a text per column. Reads the cells into the step's
// commands and says which cell breaks a rule. What a command may hold, its limits and what may
// share a step are the rulebook's; this class knows only where each command is shown.
class StepCells {
  public:
    using Cells = std::vector<std::wstring>;

    // Why the cells make no step the rules allow, in the grid's words, and in which column.
    struct Refusal {
        int column;
        std::wstring text;
    };
    struct Reading {
        CommandSet commands;
        // The first cell in grid order that breaks a rule or holds what the grid never writes.
        std::optional<Refusal> refusal;
    };

    explicit StepCells(const SequenceContainer& model) : model_(model) {}

    // The commands in the order the editor stores them: the loop or call, then per LED column
    // its switch before its intensity, then the TTL bits as written, then the duration.
    Reading Read(const Cells& cells) const;

    // The texts the grid shows for a step: its call or loop (empty for neither) and each LED.
    std::wstring LoopCallText(const Step& step) const;
    static std::wstring LightText(const Step::Light& light);
    // "-TTLHigh 3 5 -TTLLow 4", bits ascending; only low bits begin with a blank.
    static std::wstring TTLText(std::vector<int> high, std::vector<int> low);

    // A typed duration as the grid writes it, whether edited or pasted: read as a number (none
    // reads as 0), held within the rulebook's limits, one decimal.
    static std::wstring DurationText(const std::wstring& typed);
    // "-SetIntensity(200)" gives "200".
    static std::optional<std::wstring> IntensityOf(const std::wstring& token);
    // The words of a cell, split at blanks; cells never hold quotes.
    static std::vector<std::wstring> Words(const std::wstring& text);

  private:
    std::optional<StepRules::Refusal> Judge(const std::vector<std::wstring>& tokens) const;
    std::optional<Refusal> ReadLoopCall(const Cells& cells, CommandSet& commands) const;
    std::optional<Refusal> ReadCall(const std::wstring& text, CommandSet& commands) const;
    std::optional<Refusal> ReadDuration(const std::wstring& text, CommandSet& commands) const;
    std::optional<Refusal> ReadTTL(const std::wstring& text, CommandSet& commands) const;
    std::optional<Refusal> ReadLeds(const Cells& cells, CommandSet& commands) const;
    std::optional<Refusal> JudgeSharing(const CommandSet& commands) const;

    const SequenceContainer& model_;
};
