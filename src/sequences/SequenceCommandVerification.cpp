// How the sequence model words the rulebook's refusals in its log: the texts operators and
// their scripts already know.

#include <string>

#include "foundation/SequenceCommandWords.h"
#include "foundation/StepRules.h"
#include "foundation/TextConversion.h"
#include "sequences/SequenceContainer.h"

using StepRules::Reason;
using StepRules::Refusal;
using VlrDataTypes::VLR_FAILURE;
using VlrDataTypes::VLR_SUCCESS;
using VlrDataTypes::VlrRetVal;

namespace {

// Every argument named in a verification message is the first one, whatever the word.
const std::wstring kArgumentIndex = L"0";

std::wstring OneDecimal(double value) {
    return FixedText(value, 1);
}

std::wstring Whole(double value) {
    return std::to_wstring(static_cast<std::uint32_t>(value));
}

std::wstring ArgumentText(const Refusal& refusal) {
    const std::wstring word = SequenceCommandWords::Text(*refusal.word);
    const std::wstring head = L"Error verifying " + word + L" command, the ";
    switch (refusal.reason) {
        case Reason::UnknownColor:
            return head + L"color value(" + refusal.argument + L") at index " + kArgumentIndex +
                   L" is invalid.";
        case Reason::IntensityOutOfRange:
            return head + L"intensity(" + Whole(refusal.value) + L") is out of range(0..." +
                   std::to_wstring(StepRules::kMaxIntensity) + L").";
        case Reason::NoSuchSequence:
            return head + L"sequence number(" + refusal.argument + L") at index " + kArgumentIndex +
                   L" is invalid.  There is not a valid sequence at the sequence number "
                   L"specified.";
        case Reason::LoopCountOutOfRange:
            return head + L"loop count(" + Whole(refusal.value) + L") is out of range(" +
                   std::to_wstring(StepRules::kMinLoopCount) + L"..." +
                   std::to_wstring(StepRules::kMaxLoopCount) + L").";
        case Reason::DurationOutOfRange:
            return head + L"duration(" + OneDecimal(refusal.value) + L") is out of range(" +
                   OneDecimal(StepRules::kMinDuration) + L"..." +
                   OneDecimal(StepRules::kMaxDuration) + L").";
        case Reason::UnknownTTLBit:
            return head + L"TTL bit (" + refusal.argument + L") is invalid.";
        default:
            return std::wstring();
    }
}

}  // namespace

std::wstring SequenceContainer::RefusalText(const Refusal& refusal, const std::wstring& text,
                                            std::uint32_t number, std::uint32_t set) const {
    const std::wstring where = L" to sequence " + std::to_wstring(number);
    switch (refusal.reason) {
        case Reason::UnknownWord:
            return L"Error adding command(" + text + L")" + where + L" and command set " +
                   std::to_wstring(set) + L".  The command is invalid.";
        case Reason::ArgumentCount:
            return L"Error, the " + std::wstring(SequenceCommandWords::Text(*refusal.word)) +
                   L" command expects " + std::to_wstring(refusal.expected) +
                   L" arguments.  There were " + std::to_wstring(refusal.given) + L" specified.";
        case Reason::SequenceNumberOutOfRange:
            return SequenceNumberRangeText(static_cast<std::uint32_t>(refusal.value));
        case Reason::MustOpenItsStep:
            return L"Error adding command(" + text + L")" + where + L", the command set(" +
                   std::to_wstring(set) +
                   L") already has commands in it.  This conflicts with the command specified.";
        default:
            return ArgumentText(refusal);
    }
}

VlrRetVal SequenceContainer::Judge(const std::optional<Refusal>& refusal, const std::wstring& text,
                                   std::uint32_t number, std::uint32_t set) const {
    if (!refusal) {
        return VLR_SUCCESS;
    }
    LogError(RefusalText(*refusal, text, number, set));
    return VLR_FAILURE;
}

StepRules::Context SequenceContainer::RuleContext() const {
    // The rulebook asks only of numbers below kSequenceCount.
    return {colorLabels_, ttlBitNames_, [this](std::uint32_t n) { return IsUsed(n); }};
}

VlrRetVal SequenceContainer::VerifyCommand(const std::wstring& text, const Arguments& tokens,
                                           std::uint32_t number, std::uint32_t set) const {
    return Judge(StepRules::CheckCommand(tokens, RuleContext()), text, number, set);
}

VlrRetVal SequenceContainer::VerifyArgumentCount(SequenceCommandWords::Word word,
                                                 std::size_t given) const {
    return Judge(StepRules::CheckArgumentCount(word, given), std::wstring(), 0, 0);
}
