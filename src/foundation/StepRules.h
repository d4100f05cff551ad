#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "foundation/DeviceLimits.h"
#include "foundation/SequenceCommandWords.h"
#include "foundation/Step.h"

// The rulebook of sequence steps: which command words exist, what their arguments must hold,
// which commands may share a step. Every judge of a command (the sequence model, timing, the
// editor) asks here, and gets back what is wrong and where instead of a message: each caller
// words the refusal as its own readers expect.
namespace StepRules {

using SequenceCommandWords::Word;

// The limits a step is judged by; all of them come from what the device can hold.
inline constexpr std::int32_t kMinLoopCount = 2;
inline constexpr auto kMaxLoopCount = static_cast<std::int32_t>(DeviceLimits::kMaxLoopCount);
inline constexpr double kMinDuration = DeviceLimits::kMinMilliseconds;
inline constexpr double kMaxDuration = DeviceLimits::kMaxMilliseconds;
inline constexpr std::uint32_t kMaxIntensity = DeviceLimits::kMaxIntensity;
inline constexpr std::uint32_t kSequenceCount = DeviceLimits::kSequenceCount;

enum class Reason {
    UnknownWord,
    ArgumentCount,
    UnknownColor,
    IntensityOutOfRange,
    SequenceNumberOutOfRange,
    NoSuchSequence,
    LoopCountOutOfRange,
    DurationOutOfRange,
    UnknownTTLBit,
    MustOpenItsStep,
    // The tokenizer could not split the text; argument holds its message.
    Unreadable,
    // The device gives a step one script command: the word cannot share it with what the
    // commands before it hold.
    CannotShareStep,
    // Loop pairing over a sequence's steps: loops do not nest, and each closes.
    LoopAlreadyOpen,
    LoopEndWithoutStart,
    LoopNotClosed,
};

// The part of the command the refusal is about.
enum class Field { Word, Arguments, Color, Intensity, Sequence, LoopCount, Duration, TTLBit };

struct Refusal {
    Refusal(Reason why, Field where, std::optional<Word> judged)
        : reason(why), field(where), word(judged) {}

    Reason reason;
    Field field;
    // The word judged; absent for an unknown word.
    std::optional<Word> word;
    // For ArgumentCount: what the word takes and what was given.
    std::size_t expected = 0;
    std::size_t given = 0;
    // The argument refused as written, and read as a number where the rule reads one.
    std::wstring argument;
    double value = 0.0;
    // Where it stands: for a step's commands the refused command's index within the step, for
    // loop pairing the step's index within the sequence.
    std::size_t index = 0;
};

// What a command is judged against besides its own text.
struct Context {
    const std::vector<std::wstring>& colorLabels;
    const std::vector<std::wstring>& ttlBits;
    // Whether a sequence is defined at a number below kSequenceCount.
    std::function<bool(std::uint32_t)> isDefined;
};

// tokens: the command's text as the tokenizer split it, the word first.
std::optional<Refusal> CheckCommand(const std::vector<std::wstring>& tokens,
                                    const Context& context);

// A -Call, -Loop or -EndLoop makes up a step of its own, so it may only open an empty one.
std::optional<Refusal> CheckSharing(Word word, bool stepIsEmpty);
bool MustOpenItsStep(Word word);

// The count check alone, for callers that hold a parsed command.
std::optional<Refusal> CheckArgumentCount(Word word, std::size_t given);

// Whether a command with this word may join a step already holding `step` (the commands before
// it). The device runs a step as one script command: LED switches and TTL bits share one, a
// call, a loop start, a loop end or an intensity change takes it whole; -Duration joins any.
std::optional<Refusal> CheckJoining(Word word, const Step& step);

// A whole step, its commands in order: each by CheckCommand, then by CheckJoining against the
// ones before it. The first refusal counts; its index is the command's within the step.
std::optional<Refusal> CheckStep(const std::vector<std::wstring>& texts, const Context& context);

// Loop pairing over a sequence's steps in order; the index is the refused step's.
std::optional<Refusal> CheckLoops(const std::vector<Step>& steps);

}  // namespace StepRules
