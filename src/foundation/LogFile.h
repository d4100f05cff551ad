#pragma once

#include <cstdint>
#include <fstream>
#include <functional>
#include <mutex>
#include <string>

#include "foundation/LogLevel.h"
#include "foundation/LogMessageReceiver.h"
#include "foundation/Notifier.h"
#include "foundation/TimeOfDay.h"
#include "foundation/VlrDataTypes.h"

// The run's log: a header block describing the run and the machine, then one line per message
// with a 14-character level tag and the time of day. Lines end in CR LF on every platform and
// each line is flushed, so the file is complete up to the last message if the process dies.
class LogFile {
  public:
    using Clock = std::function<LocalTime()>;

    // The notifier reports failures to open or close the file; without one they are only
    // returned.
    explicit LogFile(Notifier* notifier = nullptr);
    ~LogFile();

    LogFile(const LogFile&) = delete;
    LogFile& operator=(const LogFile&) = delete;

    // Splits the path into directory and base name, and opens the log there (or moves the open
    // log there). The extension is always ".txt".
    VlrDataTypes::VlrRetVal SetLogFilename(const std::wstring& path);

    // Writes one tagged, time-stamped line and hands the message to the receiver. Returns -1
    // when no file is open or the line could not be written (the receiver is still called). The
    // first line that could not be written (a full disk) is reported once through the notifier.
    VlrDataTypes::VlrRetVal WriteMessage(LogLevel level, const std::wstring& message);

    // Writes the closing line and closes the file.
    void CloseLogFile();

    void SetMessageReceiver(LogMessageReceiver* receiver);
    void SetNotifier(Notifier* notifier);
    void SetDebug(bool on);
    bool IsDebug() const { return debug_; }

    // Tests supply a fixed clock; the program uses the machine's local time.
    void SetClock(Clock clock);

    bool IsOpen() const;
    // The path of the open (or last opened) file; empty before the first open.
    const std::wstring& GetFullPath() const { return fullPath_; }

    // How many Error and Fatal messages were written so far, and the text of the latest: an
    // operation notes the count before it starts and, when it fails, reports the message its
    // parts logged. Safe from any thread.
    std::uint64_t GetErrorCount() const;
    std::wstring GetLastError() const;

    // A line of the open file could not be written: the log lacks messages of this run.
    bool HasWriteFailed() const;

  private:
    VlrDataTypes::VlrRetVal OpenLogFile();
    VlrDataTypes::VlrRetVal MoveOpenFileTo(const std::wstring& target);
    VlrDataTypes::VlrRetVal WriteLine(const std::wstring& text);
    void WriteHeader(const std::wstring& target);
    void Notify(const std::wstring& caption, const std::wstring& text);
    void ReportWriteFailureOnce();

    std::wstring directory_;
    std::wstring fileName_;
    std::wstring fullPath_;
    std::ofstream stream_;
    bool debug_ = false;
    LogMessageReceiver* receiver_ = nullptr;
    Notifier* notifier_ = nullptr;
    Clock clock_;
    std::uint64_t errorCount_ = 0;
    std::wstring lastError_;
    bool writeFailed_ = false;
    bool writeFailureReported_ = false;
    mutable std::recursive_mutex lock_;
};
