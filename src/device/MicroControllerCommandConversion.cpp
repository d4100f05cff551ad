#include "device/MicroControllerCommandConversion.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <iterator>
#include <limits>
#include <optional>

#include "foundation/ArgumentReading.h"
#include "foundation/DeviceLimits.h"
#include "foundation/LogFile.h"
#include "foundation/SequenceCommandWords.h"
#include "foundation/StepText.h"
#include "foundation/TextConversion.h"

using VlrDataTypes::VLR_FAILURE;
using VlrDataTypes::VLR_SUCCESS;
using VlrDataTypes::VlrRetVal;

namespace {

using SequenceCommandWords::Word;
using StepRules::Reason;

constexpr std::uint8_t kIntensityOpCodes[] = {
    ScriptOpCode::SetIntensity1, ScriptOpCode::SetIntensity2, ScriptOpCode::SetIntensity3};
static_assert(std::size(kIntensityOpCodes) == Step::kLightCount);

// The script command of a command set lasts one step of 0.1 ms; the wait supplies the rest.
constexpr double kStepMs = 0.1;
constexpr double kDurationAllowanceMs = 0.05;
constexpr double kShortestWaitedDurationMs = 0.2;

// Held within the float range first: narrowing a larger double is undefined.
float WaitedDuration(double value) {
    const double held =
        std::clamp(value, -static_cast<double>(FLT_MAX), static_cast<double>(FLT_MAX));
    const auto milliseconds = static_cast<float>(std::isnan(value) ? value : held);
    return static_cast<float>(static_cast<double>(milliseconds) + kDurationAllowanceMs);
}

// Saturates rather than wrapping, so a huge duration cannot become a short wait.
std::uint64_t ToWaitSteps(float duration) {
    const double steps = duration / kStepMs - 1.0;
    constexpr double kLimit = 18446744073709551616.0;  // 2^64
    if (!(steps < kLimit)) {
        return std::numeric_limits<std::uint64_t>::max();
    }
    return static_cast<std::uint64_t>(steps);
}

// TTL outputs are bits of one byte; any other number touches no output.
std::uint8_t TTLBit(std::int32_t number) {
    if (number < 0 || number >= 8) {
        return 0;
    }
    return static_cast<std::uint8_t>(1u << number);
}

std::wstring InvalidCommandText(const std::wstring& command) {
    return L"Error converting sequence commands to script commands.  The command(" + command +
           L") was invalid.";
}

}  // namespace

MicroControllerCommandConversion::MicroControllerCommandConversion(LogFile* log)
    : log_(log), ttlBits_(DeviceLimits::TTLOutputNames()) {}

void MicroControllerCommandConversion::RegisterLED(const std::wstring& label,
                                                   std::uint32_t deviceLedId) {
    labels_.push_back(label);
    deviceLedIds_.push_back(deviceLedId);
}

VlrRetVal MicroControllerCommandConversion::GetLEDID(const std::wstring& label,
                                                     std::uint32_t& deviceLedId) const {
    if (const std::optional<std::size_t> position = FindNoCase(labels_, label)) {
        deviceLedId = deviceLedIds_[*position];
        return VLR_SUCCESS;
    }
    LogError(L"Error getting LED ID, unrecognized color label: " + label + L".");
    return VLR_FAILURE;
}

VlrRetVal MicroControllerCommandConversion::Convert(
    const std::vector<std::vector<std::wstring>>& commandSets,
    std::vector<std::uint8_t>& scriptBytes) const {
    std::vector<std::wstring> warnings;
    std::vector<ScriptCommand> script;
    const std::optional<std::wstring> refusal = LayOut(commandSets, script, &warnings);
    for (const std::wstring& warning : warnings) {
        LogWarning(warning);
    }
    if (refusal) {
        // A refusal the conversion has never worded fails without a line.
        if (!refusal->empty()) {
            LogError(*refusal);
        }
        return VLR_FAILURE;
    }
    std::vector<std::uint8_t> bytes;
    bytes.reserve(script.size() * ScriptCommand::kSize);
    for (const ScriptCommand& record : script) {
        const ScriptCommand::Bytes serialized = record.Serialize();
        bytes.insert(bytes.end(), serialized.begin(), serialized.end());
    }
    scriptBytes = std::move(bytes);
    return VLR_SUCCESS;
}

std::optional<std::wstring> MicroControllerCommandConversion::Refusal(
    const std::vector<std::vector<std::wstring>>& commandSets) const {
    std::vector<ScriptCommand> script;
    return LayOut(commandSets, script, nullptr);
}

std::optional<std::wstring> MicroControllerCommandConversion::LayOut(
    const std::vector<std::vector<std::wstring>>& commandSets, std::vector<ScriptCommand>& script,
    std::vector<std::wstring>* warnings) const {
    std::vector<Step> steps;
    if (std::optional<std::wstring> refusal = ReadSteps(commandSets, steps)) {
        return refusal;
    }
    // A refused loop is named by the index it would hold in the script.
    const std::optional<StepRules::Refusal> loops = StepRules::CheckLoops(steps);
    script = LayOut(steps, loops ? loops->index : steps.size(), warnings);
    if (loops) {
        const bool start = loops->reason != Reason::LoopEndWithoutStart;
        return std::wstring(L"Error, invalid ") + (start ? L"start" : L"end") +
               L" loop command found at index " + std::to_wstring(script.size()) + L"." +
               (loops->reason == Reason::LoopNotClosed
                    ? L"  There is not a corresponding end loop command."
                    : L"");
    }
    ScriptCommand endOfSequence;
    endOfSequence.opCode = ScriptOpCode::EndOfSequence;
    script.push_back(endOfSequence);
    return std::nullopt;
}

std::optional<std::wstring> MicroControllerCommandConversion::ReadSteps(
    const std::vector<std::vector<std::wstring>>& commandSets, std::vector<Step>& steps) const {
    const StepRules::Context context{labels_, ttlBits_, nullptr};
    steps.reserve(commandSets.size());
    for (const std::vector<std::wstring>& commandSet : commandSets) {
        StepText::Reading reading =
            StepText::Read(commandSet, context, StepText::Judging::AsTheDeviceReads);
        if (reading.refusal) {
            return RefusalText(*reading.refusal, commandSet[reading.refusal->index], reading.step);
        }
        steps.push_back(reading.step);
    }
    return std::nullopt;
}

// before: what the step held when the command came, which names the op code it conflicts with.
std::wstring MicroControllerCommandConversion::RefusalText(const StepRules::Refusal& refusal,
                                                           const std::wstring& command,
                                                           const Step& before) const {
    switch (refusal.reason) {
        case Reason::Unreadable:
            return refusal.argument;
        case Reason::ArgumentCount:
            return {};  // the conversion has never worded a wrong count
        case Reason::UnknownColor:
            return L"Error getting LED ID, unrecognized color label: " + refusal.argument + L".";
        case Reason::CannotShareStep: {
            // Lowering a TTL output takes the op code of raising one, and is named so.
            const Word word = *refusal.word == Word::TTLLow ? Word::TTLHigh : *refusal.word;
            return L"Error updating Op Code for " + std::wstring(SequenceCommandWords::Text(word)) +
                   L" command, it conflicts with the current op code(" +
                   std::to_wstring(OpCodeOf(before)) + L").";
        }
        default:
            return InvalidCommandText(command);
    }
}

std::vector<ScriptCommand> MicroControllerCommandConversion::LayOut(
    const std::vector<Step>& steps, std::size_t end, std::vector<std::wstring>* warnings) const {
    std::vector<ScriptCommand> script;
    std::size_t openIndex = 0;
    std::uint32_t pendingLoopCount = 0;
    for (std::size_t index = 0; index < end; ++index) {
        const Step& step = steps[index];
        ScriptCommand record = CommandOf(step);
        if (step.loopCount) {
            openIndex = script.size();
            pendingLoopCount = *step.loopCount;
        } else if (step.loopEnd && openIndex == script.size()) {
            if (warnings != nullptr) {
                warnings->push_back(L"Warning, empty loop found at index " +
                                    std::to_wstring(openIndex) + L".");
            }
        } else if (step.loopEnd) {
            record.jumpTargetIndex = static_cast<std::uint32_t>(openIndex);
            record.loopCount = pendingLoopCount;
            script.push_back(record);
        } else {
            script.push_back(record);
        }
        const float duration = step.duration ? WaitedDuration(*step.duration) : 0.0f;
        if (duration > kShortestWaitedDurationMs) {
            ScriptCommand wait;
            wait.opCode = ScriptOpCode::WaitSteps;
            wait.waitSteps = ToWaitSteps(duration);
            script.push_back(wait);
        }
    }
    return script;
}

// The intensity op codes follow the LED's table position, the masks its device ID.
ScriptCommand MicroControllerCommandConversion::CommandOf(const Step& step) const {
    ScriptCommand record;
    record.opCode = OpCodeOf(step);
    record.calledSequence = step.call.value_or(0);
    record.loopCount = step.loopCount.value_or(0);
    for (std::size_t position = 0; position < Step::kLightCount; ++position) {
        const Step::Light& light = step.lights[position];
        if (light.intensity) {
            record.intensity = *light.intensity;
        }
        if (light.on) {
            const auto bit = static_cast<std::uint16_t>(1u << deviceLedIds_[position]);
            record.ledChangeMask = static_cast<std::uint16_t>(record.ledChangeMask | bit);
            record.ledValueMask = static_cast<std::uint16_t>(*light.on ? (record.ledValueMask | bit)
                                                                       : record.ledValueMask);
        }
    }
    for (std::size_t position = 0; position < ttlBits_.size(); ++position) {
        const std::uint8_t bit = TTLBit(ArgumentReading::ReadInteger(ttlBits_[position]));
        if ((step.ttlHigh >> position) & 1u) {
            record.ttlValueMask = static_cast<std::uint8_t>(record.ttlValueMask | bit);
        }
        if (((step.ttlHigh | step.ttlLow) >> position) & 1u) {
            record.ttlChangeMask = static_cast<std::uint8_t>(record.ttlChangeMask | bit);
        }
    }
    return record;
}

std::uint8_t MicroControllerCommandConversion::OpCodeOf(const Step& step) const {
    if (step.call) {
        return ScriptOpCode::CallSequence;
    }
    if (step.loopCount) {
        return ScriptOpCode::LoopStart;
    }
    if (step.loopEnd) {
        return ScriptOpCode::EndLoop;
    }
    for (std::size_t position = 0; position < Step::kLightCount; ++position) {
        if (step.lights[position].intensity) {
            return kIntensityOpCodes[position];
        }
    }
    if (step.SwitchesLight()) {
        return ScriptOpCode::SetOutputs;
    }
    return step.SetsTTL() ? ScriptOpCode::SetTTLOutputs : ScriptOpCode::WaitSteps;
}

void MicroControllerCommandConversion::LogError(const std::wstring& message) const {
    if (log_ != nullptr) {
        log_->WriteMessage(LogLevel::Error, message);
    }
}

void MicroControllerCommandConversion::LogWarning(const std::wstring& message) const {
    if (log_ != nullptr) {
        log_->WriteMessage(LogLevel::Warning, message);
    }
}
