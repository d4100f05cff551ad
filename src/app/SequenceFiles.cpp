#include "app/SequenceFiles.h"

#include <string>
#include <vector>

#include "app/platform/FileReplacement.h"
#include "app/platform/Paths.h"
#include "config/FormatCmdLine.h"
#include "foundation/ArgumentReading.h"
#include "foundation/LogFile.h"
#include "foundation/MiscFunctions.h"
#include "foundation/TextConversion.h"
#include "sequences/SequenceContainer.h"
#include "sequences/SequenceFileWords.h"

using VlrDataTypes::VLR_SUCCESS;

namespace {

const std::wstring kLineEnd = L"\r\n";
using SequenceFileWords::kAddSequence;
using SequenceFileWords::kAddSequenceCommand;
using SequenceFileWords::kAddSequenceCommandSet;

std::wstring Decimal(std::uint32_t value) {
    return std::to_wstring(value);
}

// The numbers of a line in a file are read as the settings vocabulary reads them: a negative
// value becomes a very large one, which the range checks then reject.
std::uint32_t IntegerArgument(const std::wstring& text) {
    return static_cast<std::uint32_t>(ArgumentReading::ReadInteger(text));
}

void LogError(LogFile* log, const std::wstring& message) {
    if (log != nullptr) {
        log->WriteMessage(LogLevel::Error, message);
    }
}

std::wstring CommandSetLines(const SequenceContainer& sequences, std::uint32_t number) {
    std::wstring text;
    const std::vector<CommandSet>& sets = sequences.GetCommandSets(number);
    for (std::uint32_t set = 0; set < sets.size(); ++set) {
        const std::wstring numbers = Decimal(number) + L" " + Decimal(set);
        text += kAddSequenceCommandSet + L" " + numbers + kLineEnd;
        for (const std::wstring& command : sets[set]) {
            text += kAddSequenceCommand + L" " + numbers + L" " +
                    MiscFunctions::AddQuotesToString(command) + kLineEnd;
        }
    }
    return text;
}

// Reads one line of a sequence file into `number`. Only the steps of a sequence may appear; the
// first argument of each line, the number the sequence had when it was saved, is not used.
// Returns the reason when the line fails (the model has logged its own reasons already).
std::wstring LoadSequenceLine(SequenceContainer& sequences, std::uint32_t number,
                              const std::wstring& line, const std::wstring& fileName,
                              LogFile* log) {
    std::vector<std::wstring> tokens;
    std::wstring error;
    if (MiscFunctions::ParseCommandString(line, tokens, error) != VLR_SUCCESS) {
        LogError(log, error);
        return error;
    }
    if (tokens.empty()) {
        error = L"Error parsing command(" + line + L") arguments when loading a sequence file(" +
                fileName + L").  The argument count was equal to 0.";
        LogError(log, error);
        return error;
    }
    const std::wstring& word = tokens.front();
    const bool isSet = CompareNoCase(word, kAddSequenceCommandSet) == 0;
    if (!isSet && CompareNoCase(word, kAddSequenceCommand) != 0) {
        error = L"Error loading sequence file, unrecognized command(" + word + L") found.";
        LogError(log, error);
        return error;
    }
    const std::size_t expected = isSet ? 2 : 3;
    if (tokens.size() - 1 != expected) {
        error = L"Error, the " + word + L" command expects " + std::to_wstring(expected) +
                L" arguments.  There were " + std::to_wstring(tokens.size() - 1) + L" specified.";
        LogError(log, error);
        return error;
    }
    const std::uint64_t errorsBefore = log != nullptr ? log->GetErrorCount() : 0;
    const VlrDataTypes::VlrRetVal added =
        isSet ? sequences.AddCommandSet(number, IntegerArgument(tokens[2]))
              : sequences.AddCommand(number, IntegerArgument(tokens[2]), tokens[3]);
    if (added == VLR_SUCCESS) {
        return L"";
    }
    if (log != nullptr && log->GetErrorCount() > errorsBefore) {
        return log->GetLastError();
    }
    return L"The line was refused.";
}

}  // namespace

namespace SequenceFiles {

std::wstring SettingsSection(const SequenceContainer& sequences) {
    std::wstring text = L"#Sequence Container Settings" + kLineEnd;
    const std::vector<std::uint32_t> used = sequences.UsedSequenceNumbers();
    for (const std::uint32_t number : used) {
        text += kAddSequence + L" " + Decimal(number) + L" " +
                MiscFunctions::AddQuotesToString(sequences.GetSequenceName(number)) + kLineEnd;
    }
    text += kLineEnd;
    for (const std::uint32_t number : used) {
        text += L"#Sequence " + Decimal(number) + L" commands." + kLineEnd;
        text += CommandSetLines(sequences, number) + kLineEnd;
    }
    text += kLineEnd;
    return text;
}

OperationResult SaveSequenceFile(const SequenceContainer& sequences, std::uint32_t number,
                                 const std::wstring& fileName, LogFile* log) {
    if (sequences.ValidateSequenceNumber(number) != VLR_SUCCESS) {
        return OperationResult::Failure(log != nullptr ? log->GetLastError() : L"");
    }
    const std::string bytes = WideToNarrow(CommandSetLines(sequences, number) + kLineEnd);
    if (fileName.empty() || !ReplaceFileContent(Paths::ToNativePath(fileName), bytes)) {
        const std::wstring message = L"Error creating stimulus sequence command file(" + fileName +
                                     L").  File could not be created.";
        LogError(log, message);
        return OperationResult::Failure(message);
    }
    return OperationResult::Success();
}

OperationResult ImportSequenceFile(SequenceContainer& sequences, std::uint32_t number,
                                   const std::wstring& name, const std::wstring& fileName,
                                   LogFile* log, ImportFailure* failure) {
    const std::uint64_t errorsBefore = log != nullptr ? log->GetErrorCount() : 0;
    const auto loggedReason = [&]() {
        return log != nullptr && log->GetErrorCount() > errorsBefore ? log->GetLastError()
                                                                     : std::wstring();
    };
    if (sequences.ValidateSequenceNumber(number) != VLR_SUCCESS) {
        return OperationResult::Failure(loggedReason());
    }
    // Defining a used number would silently replace that sequence.
    if (!sequences.GetSequenceName(number).empty()) {
        return OperationResult::Failure(L"Sequence " + std::to_wstring(number) + L" (" +
                                        sequences.GetSequenceName(number) +
                                        L") is already defined; choose a free number.");
    }
    FormatCmdLine reader;
    reader.SetLogFile(log);
    reader.SetReturnCommandLines(true);
    if (reader.OpenFileCfg(fileName) != VLR_SUCCESS) {
        return OperationResult::Failure(loggedReason());
    }
    if (sequences.AddSequence(number, name) != VLR_SUCCESS) {
        return OperationResult::Failure(loggedReason());
    }
    std::wstring reason;
    std::wstring line;
    int lineNumber = 0;
    for (;;) {
        bool endOfFile = false;
        if (reader.GetNextLine(line, lineNumber, endOfFile) != VLR_SUCCESS) {
            reason = loggedReason();
            break;
        }
        if (endOfFile) {
            return OperationResult::Success();
        }
        reason = LoadSequenceLine(sequences, number, line, fileName, log);
        if (!reason.empty()) {
            break;
        }
    }
    // Nothing of a failed file stays: the sequence was defined by this import alone.
    sequences.RemoveSequence(number);
    if (reason.empty()) {
        reason = L"The file could not be read.";
    }
    if (failure != nullptr) {
        *failure = ImportFailure{lineNumber, line, reason};
    }
    const std::wstring where =
        lineNumber > 0 ? fileName + L":" + std::to_wstring(lineNumber) : fileName;
    return OperationResult::Failure(where + L": " + reason);
}

}  // namespace SequenceFiles
