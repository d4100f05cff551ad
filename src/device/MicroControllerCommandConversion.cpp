#include "device/MicroControllerCommandConversion.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <iterator>
#include <limits>
#include <optional>

#include "foundation/ArgumentReading.h"
#include "foundation/LogFile.h"
#include "foundation/MiscFunctions.h"
#include "foundation/SequenceCommandWords.h"
#include "foundation/TextConversion.h"

using VlrDataTypes::VLR_FAILURE;
using VlrDataTypes::VLR_SUCCESS;
using VlrDataTypes::VlrRetVal;

namespace {

using SequenceCommandWords::Word;

// The op codes a word may meet in a record and what the record holds afterwards. A word that
// appears here meets any other op code as a conflict.
struct OpCodeTransition {
    Word word;
    std::uint8_t current;
    std::uint8_t result;
};

constexpr OpCodeTransition kOpCodeTransitions[] = {
    {Word::On, ScriptOpCode::WaitSteps, ScriptOpCode::SetOutputs},
    {Word::On, ScriptOpCode::SetTTLOutputs, ScriptOpCode::SetOutputs},
    {Word::On, ScriptOpCode::SetOutputs, ScriptOpCode::SetOutputs},
    {Word::Off, ScriptOpCode::WaitSteps, ScriptOpCode::SetOutputs},
    {Word::Off, ScriptOpCode::SetTTLOutputs, ScriptOpCode::SetOutputs},
    {Word::Off, ScriptOpCode::SetOutputs, ScriptOpCode::SetOutputs},
    {Word::Call, ScriptOpCode::WaitSteps, ScriptOpCode::CallSequence},
    {Word::Loop, ScriptOpCode::WaitSteps, ScriptOpCode::LoopStart},
    {Word::EndLoop, ScriptOpCode::WaitSteps, ScriptOpCode::EndLoop},
    {Word::TTLHigh, ScriptOpCode::WaitSteps, ScriptOpCode::SetTTLOutputs},
    {Word::TTLHigh, ScriptOpCode::SetOutputs, ScriptOpCode::SetOutputs},
    {Word::TTLHigh, ScriptOpCode::SetTTLOutputs, ScriptOpCode::SetTTLOutputs},
};

constexpr std::uint8_t kIntensityOpCodes[] = {
    ScriptOpCode::SetIntensity1, ScriptOpCode::SetIntensity2, ScriptOpCode::SetIntensity3};

// The script command of a command set lasts one step of 0.1 ms; the wait supplies the rest.
constexpr double kStepMs = 0.1;
constexpr double kDurationAllowanceMs = 0.05;
constexpr double kShortestWaitedDurationMs = 0.2;

// Held within the float range first: narrowing a larger double is undefined.
float ReadDuration(const std::wstring& text) {
    const double value = ArgumentReading::ReadFraction(text);
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

}  // namespace

void MicroControllerCommandConversion::RegisterLED(const std::wstring& label,
                                                   std::uint32_t deviceLedId) {
    labels_.push_back(label);
    deviceLedIds_.push_back(deviceLedId);
}

VlrRetVal MicroControllerCommandConversion::GetLEDID(const std::wstring& label,
                                                     std::uint32_t& deviceLedId) const {
    for (std::size_t i = 0; i < labels_.size(); ++i) {
        if (CompareNoCase(labels_[i], label) == 0) {
            deviceLedId = deviceLedIds_[i];
            return VLR_SUCCESS;
        }
    }
    LogError(L"Error getting LED ID, unrecognized color label: " + label + L".");
    return VLR_FAILURE;
}

VlrRetVal MicroControllerCommandConversion::Convert(
    const std::vector<std::vector<std::wstring>>& commandSets,
    std::vector<std::uint8_t>& scriptBytes) {
    scriptList_.clear();
    for (const std::vector<std::wstring>& commandSet : commandSets) {
        if (ConvertCommandSet(commandSet) != VLR_SUCCESS) {
            return VLR_FAILURE;
        }
    }
    ScriptCommand endOfSequence;
    endOfSequence.opCode = ScriptOpCode::EndOfSequence;
    scriptList_.push_back(endOfSequence);
    if (PairLoops() != VLR_SUCCESS) {
        return VLR_FAILURE;
    }
    std::vector<std::uint8_t> bytes;
    bytes.reserve(scriptList_.size() * ScriptCommand::kSize);
    for (const ScriptCommand& record : scriptList_) {
        const ScriptCommand::Bytes serialized = record.Serialize();
        bytes.insert(bytes.end(), serialized.begin(), serialized.end());
    }
    scriptBytes = std::move(bytes);
    return VLR_SUCCESS;
}

VlrRetVal MicroControllerCommandConversion::UpdateOpCode(const std::wstring& word,
                                                         ScriptCommand& record) {
    const std::optional<Word> found = SequenceCommandWords::Find(word);
    const auto isWord = [&found](const OpCodeTransition& t) { return found == t.word; };
    if (std::none_of(std::begin(kOpCodeTransitions), std::end(kOpCodeTransitions), isWord)) {
        LogError(L"Error updating Op Code, unrecognized command: " + word + L".");
        return VLR_FAILURE;
    }
    for (const OpCodeTransition& transition : kOpCodeTransitions) {
        if (isWord(transition) && transition.current == record.opCode) {
            record.opCode = transition.result;
            return VLR_SUCCESS;
        }
    }
    LogError(L"Error updating Op Code for " + word +
             L" command, it conflicts with the current op code(" + std::to_wstring(record.opCode) +
             L").");
    return VLR_FAILURE;
}

VlrRetVal MicroControllerCommandConversion::ConvertCommandSet(
    const std::vector<std::wstring>& commandSet) {
    ScriptCommand record;
    float duration = 0.0f;
    for (const std::wstring& command : commandSet) {
        if (ApplyCommand(command, record, duration) != VLR_SUCCESS) {
            return VLR_FAILURE;
        }
    }
    scriptList_.push_back(record);
    if (duration > kShortestWaitedDurationMs) {
        ScriptCommand wait;
        wait.opCode = ScriptOpCode::WaitSteps;
        wait.waitSteps = ToWaitSteps(duration);
        scriptList_.push_back(wait);
    }
    return VLR_SUCCESS;
}

VlrRetVal MicroControllerCommandConversion::ApplyCommand(const std::wstring& command,
                                                         ScriptCommand& record, float& duration) {
    std::vector<std::wstring> arguments;
    std::wstring parseError;
    if (MiscFunctions::ParseCommandString(command, arguments, parseError) != VLR_SUCCESS) {
        LogError(parseError);
        return VLR_FAILURE;
    }
    // Classified by the first token, as the sequence model and timing take it.
    const std::optional<Word> kind =
        arguments.empty() ? std::nullopt : SequenceCommandWords::Find(arguments.front());
    if (!arguments.empty()) {
        arguments.erase(arguments.begin());
    }
    if (!kind) {
        LogError(L"Error converting sequence commands to script commands.  The command(" + command +
                 L") was invalid.");
        return VLR_FAILURE;
    }
    // -EndLoop takes no count check; without a log a wrong count fails here silently.
    const std::wstring word = SequenceCommandWords::Text(*kind);
    if (*kind != Word::EndLoop &&
        !ArgumentReading::CheckArgumentCount(
            word, static_cast<unsigned>(arguments.size()),
            static_cast<unsigned>(SequenceCommandWords::ArgumentCount(*kind)), false, nullptr)) {
        return VLR_FAILURE;
    }
    switch (*kind) {
        case Word::On:
            return SetLEDOutput(word, arguments[0], true, record);
        case Word::Off:
            return SetLEDOutput(word, arguments[0], false, record);
        case Word::Call:
            if (UpdateOpCode(word, record) != VLR_SUCCESS) {
                return VLR_FAILURE;
            }
            record.calledSequence =
                static_cast<std::uint8_t>(ArgumentReading::ReadInteger(arguments[0]));
            return VLR_SUCCESS;
        case Word::Loop:
            if (UpdateOpCode(word, record) != VLR_SUCCESS) {
                return VLR_FAILURE;
            }
            record.loopCount =
                static_cast<std::uint32_t>(ArgumentReading::ReadInteger(arguments[0]));
            return VLR_SUCCESS;
        case Word::EndLoop:
            return UpdateOpCode(word, record);
        case Word::Duration:
            duration = ReadDuration(arguments[0]);
            return VLR_SUCCESS;
        case Word::SetIntensity:
            return SetIntensity(arguments[0], arguments[1], record);
        case Word::TTLHigh:
            return SetTTLOutput(arguments[0], true, record);
        case Word::TTLLow:
            return SetTTLOutput(arguments[0], false, record);
    }
    return VLR_FAILURE;
}

VlrRetVal MicroControllerCommandConversion::SetLEDOutput(const std::wstring& word,
                                                         const std::wstring& label, bool on,
                                                         ScriptCommand& record) {
    std::uint32_t deviceLedId = 0;
    if (GetLEDID(label, deviceLedId) != VLR_SUCCESS || UpdateOpCode(word, record) != VLR_SUCCESS) {
        return VLR_FAILURE;
    }
    const auto bit = static_cast<std::uint16_t>(1u << deviceLedId);
    record.ledValueMask =
        static_cast<std::uint16_t>(on ? (record.ledValueMask | bit) : (record.ledValueMask & ~bit));
    record.ledChangeMask = static_cast<std::uint16_t>(record.ledChangeMask | bit);
    return VLR_SUCCESS;
}

VlrRetVal MicroControllerCommandConversion::SetTTLOutput(const std::wstring& bitText, bool high,
                                                         ScriptCommand& record) {
    // Lowering an output needs the same op code as raising it.
    if (UpdateOpCode(SequenceCommandWords::Text(Word::TTLHigh), record) != VLR_SUCCESS) {
        return VLR_FAILURE;
    }
    const std::uint8_t bit = TTLBit(ArgumentReading::ReadInteger(bitText));
    record.ttlValueMask = static_cast<std::uint8_t>(high ? (record.ttlValueMask | bit)
                                                         : (record.ttlValueMask & ~bit));
    record.ttlChangeMask = static_cast<std::uint8_t>(record.ttlChangeMask | bit);
    return VLR_SUCCESS;
}

// The op code follows the LED's table position, not its device ID, and replaces whatever the
// set held before.
VlrRetVal MicroControllerCommandConversion::SetIntensity(const std::wstring& label,
                                                         const std::wstring& value,
                                                         ScriptCommand& record) {
    const std::size_t count = std::min(labels_.size(), std::size(kIntensityOpCodes));
    for (std::size_t position = 0; position < count; ++position) {
        if (CompareNoCase(labels_[position], label) == 0) {
            record.opCode = kIntensityOpCodes[position];
            record.intensity = static_cast<std::uint8_t>(ArgumentReading::ReadInteger(value));
            return VLR_SUCCESS;
        }
    }
    // The sequence model lets only known labels in; should one slip through, uploading a script
    // that silently ignores it would be worse than refusing.
    LogError(L"Error getting LED ID, unrecognized color label: " + label + L".");
    return VLR_FAILURE;
}

// Rebuilds the list without loop starts; an index is a position in that final list.
VlrRetVal MicroControllerCommandConversion::PairLoops() {
    std::vector<ScriptCommand> paired;
    paired.reserve(scriptList_.size());
    std::optional<std::size_t> openIndex;
    std::uint32_t pendingLoopCount = 0;
    for (ScriptCommand& record : scriptList_) {
        const std::size_t index = paired.size();
        if (record.opCode == ScriptOpCode::LoopStart) {
            if (openIndex) {
                LogError(L"Error, invalid start loop command found at index " +
                         std::to_wstring(index) + L".");
                return VLR_FAILURE;
            }
            pendingLoopCount = record.loopCount;
            openIndex = index;
            continue;
        }
        if (record.opCode == ScriptOpCode::EndLoop) {
            if (!openIndex) {
                LogError(L"Error, invalid end loop command found at index " +
                         std::to_wstring(index) + L".");
                return VLR_FAILURE;
            }
            const bool empty = *openIndex == index;
            record.jumpTargetIndex = static_cast<std::uint32_t>(*openIndex);
            record.loopCount = pendingLoopCount;
            openIndex.reset();
            if (empty) {
                LogWarning(L"Warning, empty loop found at index " + std::to_wstring(index) + L".");
                continue;
            }
        }
        paired.push_back(record);
    }
    if (openIndex) {
        LogError(L"Error, invalid start loop command found at index " +
                 std::to_wstring(*openIndex) +
                 L".  There is not a corresponding end loop command.");
        return VLR_FAILURE;
    }
    scriptList_ = std::move(paired);
    return VLR_SUCCESS;
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
