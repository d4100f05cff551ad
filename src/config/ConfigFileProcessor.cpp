#include "config/ConfigFileProcessor.h"

#include <algorithm>
#include <cstdint>
#include <cwchar>
#include <limits>

#include "config/FormatCmdLine.h"
#include "device/DeviceSettingsWords.h"
#include "device/MicroController.h"
#include "foundation/LogFile.h"
#include "foundation/MiscFunctions.h"
#include "foundation/TextConversion.h"
#include "sequences/SequenceContainer.h"
#include "sequences/SequenceFileWords.h"

using VlrDataTypes::VLR_FAILURE;
using VlrDataTypes::VLR_SUCCESS;
using VlrDataTypes::VlrRetVal;

namespace {

using DeviceSettingsWords::kAddLED;
using DeviceSettingsWords::kSetIntensity;
using DeviceSettingsWords::kSetLEDPulse;
using DeviceSettingsWords::kSetPortNumber;
using SequenceFileWords::kAddSequence;
using SequenceFileWords::kAddSequenceCommand;
using SequenceFileWords::kAddSequenceCommandSet;

const std::wstring kBreak = L"-Break";

const std::wstring kProcessFile = L"ConfigFileProcessor::ProcessConfigFile() - ";
const std::wstring kProcessCommand = L"ConfigFileProcessor::ProcessCommandString() - ";

// The leading decimal integer, as wcstol reads it (blanks, sign, digits; anything else gives 0)
// where long has 32 bits, as on the platform the files come from: a value beyond that range
// saturates instead of wrapping round to a small, valid-looking number. A negative value then
// becomes a very large unsigned one, which the models' range checks reject.
std::uint32_t IntegerArgument(const std::wstring& text) {
    const long long value = std::wcstoll(text.c_str(), nullptr, 10);
    const long long clamped = std::clamp<long long>(value, std::numeric_limits<std::int32_t>::min(),
                                                    std::numeric_limits<std::int32_t>::max());
    return static_cast<std::uint32_t>(static_cast<std::int32_t>(clamped));
}

}  // namespace

ConfigFileProcessor::ConfigFileProcessor()
    : commandTable_{
          {kAddLED, &ConfigFileProcessor::AddLED},
          {kSetPortNumber, &ConfigFileProcessor::SetMicroControllerPortNumber},
          {kSetIntensity, &ConfigFileProcessor::SetIntensity},
          {kSetLEDPulse, &ConfigFileProcessor::SetLEDPulse},
          {kAddSequenceCommandSet, &ConfigFileProcessor::AddSequenceCommandSet},
          {kAddSequence, &ConfigFileProcessor::AddSequence},
          {kAddSequenceCommand, &ConfigFileProcessor::AddSequenceCommand},
      } {}

void ConfigFileProcessor::Initialize(LogFile* log, MicroController* device,
                                     SequenceContainer* sequences) {
    log_ = log;
    device_ = device;
    sequences_ = sequences;
    initialized_ = true;
}

VlrRetVal ConfigFileProcessor::ProcessConfigFile(std::wstring fileName) {
    lastFailure_ = FailedLine{};
    if (!initialized_) {
        LogError(kProcessFile + L"Unable to process filename (" + fileName +
                 L"), the ProcessConfigFile class has not yet been initialized.");
        return VLR_FAILURE;
    }
    LogNotice(kProcessFile + L"Started Processing Filename: " + fileName);

    FormatCmdLine reader;
    reader.SetLogFile(log_);
    reader.SetReturnCommandLines(true);
    if (reader.OpenFileCfg(fileName) != VLR_SUCCESS) {
        return VLR_FAILURE;
    }
    if (ExecuteLines(reader) != VLR_SUCCESS) {
        return VLR_FAILURE;
    }
    LogNotice(kProcessFile + L"Finished Processing Filename: " + fileName);
    reader.CloseFile();
    return VLR_SUCCESS;
}

// Runs the command lines up to the end of the file or a break line; the first failing line
// stops the file, and what ran before it keeps its effect. With a failure observer every line
// runs, and the file fails when any line did.
VlrRetVal ConfigFileProcessor::ExecuteLines(FormatCmdLine& reader) {
    VlrRetVal result = VLR_SUCCESS;
    for (;;) {
        std::wstring line;
        int lineNumber = 0;
        bool endOfFile = false;
        bool failed = false;
        if (reader.GetNextLine(line, lineNumber, endOfFile) != VLR_SUCCESS) {
            failed = true;
        } else if (endOfFile || CompareNoCase(line, kBreak) == 0) {
            // A break is the whole line: trailing blanks or leading indentation make it a
            // command.
            return result;
        } else {
            failed = ProcessCommandString(line) != VLR_SUCCESS;
        }
        if (failed) {
            result = RecordFailure(reader, lineNumber, line);
            if (!failureObserver_) {
                return result;
            }
        }
    }
}

VlrRetVal ConfigFileProcessor::RecordFailure(const FormatCmdLine& reader, int lineNumber,
                                             const std::wstring& line) {
    const FailedLine failure{reader.GetFileName(), lineNumber, line};
    if (lastFailure_.fileName.empty()) {
        lastFailure_ = failure;
    }
    if (failureObserver_) {
        failureObserver_(failure);
    }
    return VLR_FAILURE;
}

VlrRetVal ConfigFileProcessor::ProcessCommandString(std::wstring command) {
    if (command.empty()) {
        return VLR_FAILURE;
    }
    std::wstring error;
    arguments_.clear();
    if (MiscFunctions::ParseCommandString(command, arguments_, error) != VLR_SUCCESS) {
        LogError(error);
        return VLR_FAILURE;
    }
    if (arguments_.empty()) {
        LogError(kProcessCommand + L"Error processing command(" + command +
                 L"), parsed argument list came back empty");
        return VLR_FAILURE;
    }
    const auto entry = std::find_if(
        commandTable_.begin(), commandTable_.end(),
        [this](const CommandEntry& e) { return CompareNoCase(e.word, arguments_.front()) == 0; });
    if (entry == commandTable_.end()) {
        LogError(kProcessCommand + L"Invalid Command Line Syntax, Unrecognized Command: " +
                 arguments_.front());
        return VLR_FAILURE;
    }
    arguments_.erase(arguments_.begin());
    return (this->*(entry->handler))();
}

bool ConfigFileProcessor::CheckArgumentCount(const std::wstring& word, unsigned given,
                                             unsigned expected, bool atLeast) {
    if (atLeast ? given >= expected : given == expected) {
        return true;
    }
    LogError(L"Error, the " + word + L" command expects " + (atLeast ? L"at least " : L"") +
             std::to_wstring(expected) + L" arguments.  There were " + std::to_wstring(given) +
             L" specified.");
    return false;
}

VlrRetVal ConfigFileProcessor::AddLED() {
    if (!CheckArgumentCount(kAddLED, ArgumentCount(), 1, true)) {
        return VLR_FAILURE;
    }
    if (device_ == nullptr) {
        return RefuseWithoutModel(kAddLED);
    }
    // Optional; TextToDouble leaves 0 when it is absent or not a number.
    double maximumPower = 0.0;
    if (arguments_.size() > 1) {
        TextToDouble(arguments_[1], maximumPower);
    }
    return device_->AddLED(arguments_[0], maximumPower);
}

VlrRetVal ConfigFileProcessor::SetMicroControllerPortNumber() {
    if (!CheckArgumentCount(kSetPortNumber, ArgumentCount(), 1, false)) {
        return VLR_FAILURE;
    }
    if (device_ == nullptr) {
        return RefuseWithoutModel(kSetPortNumber);
    }
    // Not checked: discovery finds the real port when the operator connects.
    device_->SetPortNumber(IntegerArgument(arguments_[0]));
    return VLR_SUCCESS;
}

VlrRetVal ConfigFileProcessor::SetIntensity() {
    if (!CheckArgumentCount(kSetIntensity, ArgumentCount(), 2, false)) {
        return VLR_FAILURE;
    }
    if (device_ == nullptr) {
        return RefuseWithoutModel(kSetIntensity);
    }
    return device_->SetIntensity(IntegerArgument(arguments_[1]), arguments_[0]);
}

VlrRetVal ConfigFileProcessor::SetLEDPulse() {
    if (!CheckArgumentCount(kSetLEDPulse, ArgumentCount(), 4, false)) {
        return VLR_FAILURE;
    }
    if (device_ == nullptr) {
        return RefuseWithoutModel(kSetLEDPulse);
    }
    PulseParameters pulse;
    pulse.widthOn = StandardTextToDouble(arguments_[1]);
    pulse.widthOff = StandardTextToDouble(arguments_[2]);
    pulse.loopCount = IntegerArgument(arguments_[3]);
    return device_->SetLEDPulse(arguments_[0], pulse);
}

VlrRetVal ConfigFileProcessor::AddSequenceCommandSet() {
    if (!CheckArgumentCount(kAddSequenceCommandSet, ArgumentCount(), 2, false)) {
        return VLR_FAILURE;
    }
    if (sequences_ == nullptr) {
        return RefuseWithoutModel(kAddSequenceCommandSet);
    }
    return sequences_->AddCommandSet(IntegerArgument(arguments_[0]),
                                     IntegerArgument(arguments_[1]));
}

VlrRetVal ConfigFileProcessor::AddSequence() {
    if (!CheckArgumentCount(kAddSequence, ArgumentCount(), 2, false)) {
        return VLR_FAILURE;
    }
    if (sequences_ == nullptr) {
        return RefuseWithoutModel(kAddSequence);
    }
    return sequences_->AddSequence(IntegerArgument(arguments_[0]), arguments_[1]);
}

VlrRetVal ConfigFileProcessor::AddSequenceCommand() {
    if (!CheckArgumentCount(kAddSequenceCommand, ArgumentCount(), 3, false)) {
        return VLR_FAILURE;
    }
    if (sequences_ == nullptr) {
        return RefuseWithoutModel(kAddSequenceCommand);
    }
    return sequences_->AddCommand(IntegerArgument(arguments_[0]), IntegerArgument(arguments_[1]),
                                  arguments_[2]);
}

// Only a processor kept for its argument-count check lacks the models; it must not be handed
// commands, but if it is, it refuses them rather than crash.
VlrRetVal ConfigFileProcessor::RefuseWithoutModel(const std::wstring& word) {
    LogError(kProcessCommand + L"Unable to process command(" + word +
             L"), the ConfigFileProcessor class has not yet been initialized.");
    return VLR_FAILURE;
}

void ConfigFileProcessor::LogError(const std::wstring& message) {
    if (log_ != nullptr) {
        log_->WriteMessage(LogLevel::Error, message);
    }
}

void ConfigFileProcessor::LogNotice(const std::wstring& message) {
    if (log_ != nullptr) {
        log_->WriteMessage(LogLevel::Notice, message);
    }
}
