// The vocabulary of sequence command texts: which words exist, how many arguments each takes
// and what its arguments must hold.

#include <string>

#include "foundation/ArgumentReading.h"
#include "foundation/DeviceLimits.h"
#include "foundation/SequenceCommandWords.h"
#include "foundation/TextConversion.h"
#include "sequences/SequenceContainer.h"

using SequenceCommandWords::Word;
using VlrDataTypes::VLR_FAILURE;
using VlrDataTypes::VLR_SUCCESS;
using VlrDataTypes::VlrRetVal;

namespace {

using DeviceLimits::kMaxIntensity;
using DeviceLimits::kMaxMilliseconds;
using DeviceLimits::kMinMilliseconds;
constexpr std::int32_t kMinLoopCount = 2;
constexpr auto kMaxLoopCount = static_cast<std::int32_t>(DeviceLimits::kMaxLoopCount);

// Every argument named in a verification message is the first one, whatever the word.
const std::wstring kArgumentIndex = L"0";

std::wstring OneDecimal(double value) {
    return FixedText(value, 1);
}

}  // namespace

struct SequenceContainer::CommandRule {
    Word word;
    // Null when the argument count is all there is to check.
    VlrRetVal (SequenceContainer::*verify)(const std::wstring& word, const Arguments& tokens) const;
};

const SequenceContainer::CommandRule* SequenceContainer::FindCommandRule(const std::wstring& word) {
    static const CommandRule kRules[] = {
        {Word::On, &SequenceContainer::VerifyColor},
        {Word::Off, &SequenceContainer::VerifyColor},
        {Word::Call, &SequenceContainer::VerifyCall},
        {Word::Loop, &SequenceContainer::VerifyLoop},
        {Word::EndLoop, nullptr},
        {Word::Duration, &SequenceContainer::VerifyDuration},
        {Word::TTLHigh, &SequenceContainer::VerifyTTLBit},
        {Word::TTLLow, &SequenceContainer::VerifyTTLBit},
        {Word::SetIntensity, &SequenceContainer::VerifyIntensity},
    };
    const std::optional<Word> found = SequenceCommandWords::Find(word);
    for (const CommandRule& rule : kRules) {
        if (found == rule.word) {
            return &rule;
        }
    }
    return nullptr;
}

VlrRetVal SequenceContainer::VerifyCommand(const std::wstring& text, const Arguments& tokens,
                                           std::uint32_t number, std::uint32_t set) const {
    const CommandRule* rule = FindCommandRule(tokens.empty() ? std::wstring() : tokens.front());
    if (rule == nullptr) {
        LogError(L"Error adding command(" + text + L") to sequence " + std::to_wstring(number) +
                 L" and command set " + std::to_wstring(set) + L".  The command is invalid.");
        return VLR_FAILURE;
    }
    const std::wstring word = SequenceCommandWords::Text(rule->word);
    if (VerifyArgumentCount(word, tokens.size() - 1,
                            SequenceCommandWords::ArgumentCount(rule->word)) != VLR_SUCCESS) {
        return VLR_FAILURE;
    }
    return rule->verify == nullptr ? VLR_SUCCESS : (this->*rule->verify)(word, tokens);
}

VlrRetVal SequenceContainer::VerifyArgumentCount(const std::wstring& word, std::size_t given,
                                                 std::size_t expected) const {
    if (given == expected) {
        return VLR_SUCCESS;
    }
    LogError(L"Error, the " + word + L" command expects " + std::to_wstring(expected) +
             L" arguments.  There were " + std::to_wstring(given) + L" specified.");
    return VLR_FAILURE;
}

VlrRetVal SequenceContainer::VerifyColor(const std::wstring& word, const Arguments& tokens) const {
    if (IsValidColor(tokens[1])) {
        return VLR_SUCCESS;
    }
    LogError(L"Error verifying " + word + L" command, the color value(" + tokens[1] +
             L") at index " + kArgumentIndex + L" is invalid.");
    return VLR_FAILURE;
}

VlrRetVal SequenceContainer::VerifyIntensity(const std::wstring& word,
                                             const Arguments& tokens) const {
    if (VerifyColor(word, tokens) != VLR_SUCCESS) {
        return VLR_FAILURE;
    }
    // Read as unsigned on purpose: a negative intensity becomes a large value and fails.
    const auto intensity = static_cast<std::uint32_t>(ArgumentReading::ReadInteger(tokens[2]));
    if (intensity <= kMaxIntensity) {
        return VLR_SUCCESS;
    }
    LogError(L"Error verifying " + word + L" command, the intensity(" + std::to_wstring(intensity) +
             L") is out of range(0..." + std::to_wstring(kMaxIntensity) + L").");
    return VLR_FAILURE;
}

VlrRetVal SequenceContainer::VerifyCall(const std::wstring& word, const Arguments& tokens) const {
    const auto callee = static_cast<std::uint32_t>(ArgumentReading::ReadInteger(tokens[1]));
    if (ValidateSequenceNumber(callee) != VLR_SUCCESS) {
        return VLR_FAILURE;
    }
    if (IsUsed(callee)) {
        return VLR_SUCCESS;
    }
    LogError(L"Error verifying " + word + L" command, the sequence number(" + tokens[1] +
             L") at index " + kArgumentIndex +
             L" is invalid.  There is not a valid sequence at the sequence number specified.");
    return VLR_FAILURE;
}

VlrRetVal SequenceContainer::VerifyLoop(const std::wstring& word, const Arguments& tokens) const {
    const std::int32_t count = ArgumentReading::ReadInteger(tokens[1]);
    if (count >= kMinLoopCount && count <= kMaxLoopCount) {
        return VLR_SUCCESS;
    }
    LogError(L"Error verifying " + word + L" command, the loop count(" +
             std::to_wstring(static_cast<std::uint32_t>(count)) + L") is out of range(" +
             std::to_wstring(kMinLoopCount) + L"..." + std::to_wstring(kMaxLoopCount) + L").");
    return VLR_FAILURE;
}

VlrRetVal SequenceContainer::VerifyDuration(const std::wstring& word,
                                            const Arguments& tokens) const {
    const double duration = ArgumentReading::ReadFraction(tokens[1]);
    if (duration >= kMinMilliseconds && duration <= kMaxMilliseconds) {
        return VLR_SUCCESS;
    }
    LogError(L"Error verifying " + word + L" command, the duration(" + OneDecimal(duration) +
             L") is out of range(" + OneDecimal(kMinMilliseconds) + L"..." +
             OneDecimal(kMaxMilliseconds) + L").");
    return VLR_FAILURE;
}

VlrRetVal SequenceContainer::VerifyTTLBit(const std::wstring& word, const Arguments& tokens) const {
    for (const std::wstring& name : ttlBitNames_) {
        if (CompareNoCase(name, tokens[1]) == 0) {
            return VLR_SUCCESS;
        }
    }
    LogError(L"Error verifying " + word + L" command, the TTL bit (" + tokens[1] +
             L") is invalid.");
    return VLR_FAILURE;
}
