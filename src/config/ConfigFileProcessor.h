#pragma once

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "foundation/VlrDataTypes.h"

class FormatCmdLine;
class LogFile;
class MicroController;
class SequenceContainer;

// Executes .cfg command files: pulls their command lines through FormatCmdLine, splits each into
// arguments, looks the command word up in a fixed table and calls its handler, which forwards to
// the device model or the sequence model. A file stops at its first failing line.
//
// A processor that was never initialized has no log and refuses every file; the script
// conversion and the sequence editor keep such a processor just for CheckArgumentCount.
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

    ConfigFileProcessor();

    void Initialize(LogFile* log, MicroController* device, SequenceContainer* sequences);
    bool IsInitialized() const { return initialized_; }

    VlrDataTypes::VlrRetVal ProcessConfigFile(std::wstring fileName);
    VlrDataTypes::VlrRetVal ProcessCommandString(std::wstring command);

    // True when `given` arguments are acceptable for `word` (exactly `expected`, or at least
    // `expected` with atLeast); otherwise logs why (when a log is set) and returns false.
    bool CheckArgumentCount(const std::wstring& word, unsigned given, unsigned expected,
                            bool atLeast);

    // Where the file stopped; with a failure observer, the first line that failed.
    const FailedLine& LastFailure() const { return lastFailure_; }

    // An empty observer (the default) stops every file at its first failing line.
    void SetFailureObserver(FailureObserver observer) { failureObserver_ = std::move(observer); }

  private:
    using Handler = VlrDataTypes::VlrRetVal (ConfigFileProcessor::*)();
    struct CommandEntry {
        std::wstring word;
        Handler handler;
    };

    VlrDataTypes::VlrRetVal AddLED();
    VlrDataTypes::VlrRetVal SetMicroControllerPortNumber();
    VlrDataTypes::VlrRetVal SetIntensity();
    VlrDataTypes::VlrRetVal SetLEDPulse();
    VlrDataTypes::VlrRetVal AddSequenceCommandSet();
    VlrDataTypes::VlrRetVal AddSequence();
    VlrDataTypes::VlrRetVal AddSequenceCommand();

    VlrDataTypes::VlrRetVal ExecuteLines(FormatCmdLine& reader);
    VlrDataTypes::VlrRetVal RecordFailure(const FormatCmdLine& reader, int lineNumber,
                                          const std::wstring& line);
    unsigned ArgumentCount() const { return static_cast<unsigned>(arguments_.size()); }
    VlrDataTypes::VlrRetVal RefuseWithoutModel(const std::wstring& word);
    void LogError(const std::wstring& message);
    void LogNotice(const std::wstring& message);

    bool initialized_ = false;
    std::vector<std::wstring> arguments_;
    std::vector<CommandEntry> commandTable_;
    LogFile* log_ = nullptr;
    MicroController* device_ = nullptr;
    SequenceContainer* sequences_ = nullptr;
    FailedLine lastFailure_;
    FailureObserver failureObserver_;
};
