#pragma once

#include <optional>
#include <string>
#include <vector>

#include "foundation/Step.h"
#include "foundation/StepRules.h"

// The one text form of a step: the only place that turns a step's command texts into a Step
// and a Step back into texts. Each text is split by the command-string tokenizer; the stored
// texts themselves stay as they were written, this only reads them.
namespace StepText {

enum class Judging {
    // Every rule of the rulebook, as the sequence model judges what it stores.
    Fully,
    // What the device conversion takes: words, argument counts (none for -EndLoop), names and
    // sharing; numbers are kept as a script command holds them, whatever their range.
    AsTheDeviceReads,
};

struct Reading {
    // The commands before the refused one, or all of them.
    Step step;
    // The first refusal; its index is the refused command's within the step.
    std::optional<StepRules::Refusal> refusal;
};

// texts: one step's command texts, in order. context names the outputs (and, when judging
// fully, which sequences a -Call may name).
Reading Read(const std::vector<std::wstring>& texts, const StepRules::Context& context,
             Judging judging = Judging::Fully);

// Reads the step's next command, at `index` within the step, into `reading`: how a step kept
// beside its texts grows as a command is appended. Nothing happens once the step is refused.
void ReadNext(Reading& reading, const std::wstring& text, std::size_t index,
              const StepRules::Context& context, Judging judging = Judging::Fully);

// The texts of a step, as the editor lays a row out: a call or loop word first, then each LED's
// switch and intensity in label order, the TTL bits set high and then those set low in name
// order, the duration last.
std::vector<std::wstring> Write(const Step& step, const StepRules::Context& context);

}  // namespace StepText
