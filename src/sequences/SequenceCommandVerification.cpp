// The vocabulary of sequence command texts: which words exist, how many arguments each takes
// and what its arguments must hold.

#include <cstdio>
#include <string>

#include "foundation/TextConversion.h"
#include "foundation/ArgumentReading.h"
#include "sequences/SequenceContainer.h"

using VlrDataTypes::VLR_FAILURE;
using VlrDataTypes::VLR_SUCCESS;
using VlrDataTypes::VlrRetVal;

namespace {

constexpr std::uint32_t kMaxIntensity = 255;
constexpr std::int32_t kMinLoopCount = 2;
constexpr std::int32_t kMaxLoopCount = 1000000;
constexpr double kMinDuration = 0.1;
constexpr double kMaxDuration = 1800000.0;

// Every argument named in a verification message is the first one, whatever the word.
const std::wstring kArgumentIndex = L"0";

std::wstring OneDecimal(double value) {
    // Large enough for the widest double in fixed notation.
    wchar_t text[400];
    std::swprintf(text, sizeof text / sizeof text[0], L"%.1f", value);
    return text;
}

}  // namespace

struct SequenceContainer::CommandRule {
    const wchar_t* word;
    std::size_t argumentCount;
    // Null when the argument count is all there is to check.
    VlrRetVal (SequenceContainer::*verify)(const std::wstring& word, const Arguments& tokens) const;
};

const SequenceContainer::CommandRule* SequenceContainer::FindCommandRule(const std::wstring& word) {
    static const CommandRule kRules[] = {
        {L"-On", 1, &SequenceContainer::VerifyColor},
        {L"-Off", 1, &SequenceContainer::VerifyColor},
        {L"-Call", 1, &SequenceContainer::VerifyCall},
        {L"-Loop", 1, &SequenceContainer::VerifyLoop},
        {L"-EndLoop", 0, nullptr},
        {L"-Duration", 1, &SequenceContainer::VerifyDuration},
        {L"-TTLHigh", 1, &SequenceContainer::VerifyTTLBit},
        {L"-TTLLow", 1, &SequenceContainer::VerifyTTLBit},
        {L"-SetIntensity", 2, &SequenceContainer::VerifyIntensity},
    };
    for (const CommandRule& rule : kRules) {
        if (CompareNoCase(rule.word, word) == 0) {
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
    if (VerifyArgumentCount(rule->word, tokens.size() - 1, rule->argumentCount) != VLR_SUCCESS) {
        return VLR_FAILURE;
    }
    return rule->verify == nullptr ? VLR_SUCCESS : (this->*rule->verify)(rule->word, tokens);
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
    if (duration >= kMinDuration && duration <= kMaxDuration) {
        return VLR_SUCCESS;
    }
    LogError(L"Error verifying " + word + L" command, the duration(" + OneDecimal(duration) +
             L") is out of range(" + OneDecimal(kMinDuration) + L"..." + OneDecimal(kMaxDuration) +
             L").");
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
