#include "config/ConfigFileProcessor.h"

#include <algorithm>
#include <cstdint>
#include <cwchar>
#include <limits>

#include "config/FormatCmdLine.h"
#include "foundation/ArgumentReading.h"
#include "foundation/LogFile.h"
#include "foundation/MiscFunctions.h"
#include "foundation/TextConversion.h"

using VlrDataTypes::VLR_FAILURE;
using VlrDataTypes::VLR_SUCCESS;
using VlrDataTypes::VlrRetVal;

namespace {

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

void ConfigFileProcessor::Initialize(LogFile* log) {
    log_ = log;
    initialized_ = true;
}

void ConfigFileProcessor::AddCommand(std::wstring word, unsigned expected, bool atLeast,
                                     Handler handler) {
    commandTable_.push_back({std::move(word), expected, atLeast, std::move(handler)});
}

VlrRetVal ConfigFileProcessor::ProcessConfigFile(std::wstring fileName,
                                                 const PrivateFolder* folder) {
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
    if (reader.OpenFileCfg(fileName, folder) != VLR_SUCCESS) {
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
    if (!ArgumentReading::CheckArgumentCount(entry->word, static_cast<unsigned>(arguments_.size()),
                                             entry->expected, entry->atLeast, log_)) {
        return VLR_FAILURE;
    }
    return entry->handler(arguments_);
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

namespace SettingsArguments {

std::uint32_t Integer(const std::wstring& text) {
    return IntegerArgument(text);
}

double Number(const std::wstring& text) {
    // The standard conversion in the C locale: "0x10" is 16, "2.5" is 2.5 whatever the locale.
    return StandardTextToDouble(text);
}

}  // namespace SettingsArguments
