#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "foundation/VlrDataTypes.h"

class FormatCmdLine;
class LogFile;
class PrivateFolder;

// Executes .cfg command files: pulls their command lines through FormatCmdLine, splits each into
// arguments, looks the command word up in its table and calls the handler registered for it.
// The handlers belong to the models (registered at start-up, see app/SettingsCommands), so this
// reader knows no model. A file stops at its first failing line.
//
// A processor that was never initialized has no log and refuses every file.
//
// A checker that wants every bad line of a file in one pass sets a failure observer: the file
// then runs to its end, each failing line is handed to the observer right after it failed, and
// the file's result is still -1.
class ConfigFileProcessor {
  public:
    // Where the last file stopped: set when ProcessConfigFile fails on one of its lines, cleared
    // when a file starts. A front end reports it beside the logged reason.
    struct FailedLine {
        // Without enclosing quotes; empty when no line failed.
        std::wstring fileName;
        // Counted from 1.
        int lineNumber = 0;
        // The line as the reader handed it out: comments cut, variables substituted.
        std::wstring lineText;
    };

    using FailureObserver = std::function<void(const FailedLine&)>;
    // Called with the arguments after the command word, once their count has been checked.
    using Handler = std::function<VlrDataTypes::VlrRetVal(const std::vector<std::wstring>&)>;

    void Initialize(LogFile* log);
    bool IsInitialized() const { return initialized_; }

    // Appends a command to the table; the first entry whose word matches (ignoring case) runs.
    // Its arguments must number exactly `expected`, or at least that with atLeast.
    void AddCommand(std::wstring word, unsigned expected, bool atLeast, Handler handler);

    // With a folder, the file is read through its handle (FormatCmdLine::OpenFileCfg).
    VlrDataTypes::VlrRetVal ProcessConfigFile(std::wstring fileName,
                                              const PrivateFolder* folder = nullptr);
    VlrDataTypes::VlrRetVal ProcessCommandString(std::wstring command);

    // Where the file stopped; with a failure observer, the first line that failed.
    const FailedLine& LastFailure() const { return lastFailure_; }

    // An empty observer (the default) stops every file at its first failing line.
    void SetFailureObserver(FailureObserver observer) { failureObserver_ = std::move(observer); }

  private:
    struct CommandEntry {
        std::wstring word;
        unsigned expected = 0;
        bool atLeast = false;
        Handler handler;
    };

    VlrDataTypes::VlrRetVal ExecuteLines(FormatCmdLine& reader);
    VlrDataTypes::VlrRetVal RecordFailure(const FormatCmdLine& reader, int lineNumber,
                                          const std::wstring& line);
    void LogError(const std::wstring& message);
    void LogNotice(const std::wstring& message);

    bool initialized_ = false;
    std::vector<std::wstring> arguments_;
    std::vector<CommandEntry> commandTable_;
    LogFile* log_ = nullptr;
    FailedLine lastFailure_;
    FailureObserver failureObserver_;
};

// How settings-file commands read their numbers, for the handlers.
namespace SettingsArguments {

// The leading decimal integer, as wcstol reads it where long has 32 bits.
std::uint32_t Integer(const std::wstring& text);

// The leading floating-point number, always with '.' as the decimal point.
double Number(const std::wstring& text);

}  // namespace SettingsArguments
