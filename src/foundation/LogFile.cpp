#include "foundation/LogFile.h"

#include <cwchar>
#include <filesystem>
#include <system_error>
#include <utility>

#include "foundation/TextConversion.h"
#include "foundation/platform/SystemInfo.h"

using VlrDataTypes::VLR_FAILURE;
using VlrDataTypes::VLR_SUCCESS;
using VlrDataTypes::VlrRetVal;

namespace {

constexpr wchar_t kErrorCaption[] = L"Log File Error";
constexpr wchar_t kDefaultFileName[] = L"FalvoLogFile.txt";
// The file system's limits, in bytes (one per character of a file name's wide text): a longer
// name or path is refused here, with the message of a file that cannot be opened, rather than
// cut, so the log never lands in a surprise place.
constexpr std::size_t kMaxNameBytes = 255;
// The path and its terminating zero byte.
constexpr std::size_t kMaxPathBytes = 4096 - 1;

struct PathParts {
    std::wstring directory;  // up to and including the last '/'
    std::wstring baseName;
    std::wstring extension;  // from the last '.' of the name on, dot included
};

PathParts SplitPath(const std::wstring& path) {
    const std::size_t slash = path.find_last_of(L'/');
    const std::size_t nameStart = slash == std::wstring::npos ? 0 : slash + 1;
    const std::wstring name = path.substr(nameStart);
    const std::size_t dot = name.find_last_of(L'.');

    PathParts parts;
    parts.directory = path.substr(0, nameStart);
    parts.baseName = name.substr(0, dot);
    parts.extension = dot == std::wstring::npos ? std::wstring() : name.substr(dot);
    return parts;
}

bool FitsFileSystemLimits(const std::wstring& path) {
    if (path.size() > kMaxPathBytes) {
        return false;
    }
    std::size_t start = 0;
    for (std::size_t slash; (slash = path.find(L'/', start)) != std::wstring::npos;
         start = slash + 1) {
        if (slash - start > kMaxNameBytes) {
            return false;
        }
    }
    return path.size() - start <= kMaxNameBytes;
}

// A path without a root is taken relative to the working directory, written out as "./".
std::wstring LogDirectoryOf(const std::wstring& directory) {
    if (!directory.empty() && directory.front() == L'/') {
        return directory;
    }
    return L"./" + directory;
}

std::wstring OpenErrorText(const std::wstring& target) {
    return L"Error opening filename: " + target +
           L", file may be invalid, please check the filename ";
}

// A name with a character above U+00FF has no bytes; such a path cannot be opened.
bool ToFileSystemPath(const std::wstring& text, std::filesystem::path& path) {
    for (const wchar_t c : text) {
        if (static_cast<unsigned long>(c) > 0xFF) {
            return false;
        }
    }
    path = WideToPath(text);
    return true;
}

std::wstring TimeOpenedLine(const LocalTime& time) {
    wchar_t text[128];
    std::swprintf(text, sizeof text / sizeof text[0],
                  L"Time Opened: (m/d/y)  %d/%d/%d at time %d:%d:%d.%d", time.month, time.day,
                  time.year, time.hour, time.minute, time.second, time.millisecond);
    return text;
}

}  // namespace

LogFile::LogFile(Notifier* notifier) : notifier_(notifier), clock_(CurrentLocalTime) {}

LogFile::~LogFile() = default;

VlrRetVal LogFile::SetLogFilename(const std::wstring& path) {
    if (path.empty()) {
        WriteMessage(LogLevel::Error,
                     L"LogFile::SetLogFilename() - Error, invalid parameter, filename string is "
                     L"empty.");
        return VLR_FAILURE;
    }
    const PathParts parts = SplitPath(path);
    if (!FitsFileSystemLimits(path)) {
        Notify(kErrorCaption, OpenErrorText(path));
        return VLR_FAILURE;
    }
    directory_ = LogDirectoryOf(parts.directory);
    // The extension given is ignored on purpose: the log is always a .txt file.
    if (!parts.baseName.empty()) {
        fileName_ = parts.baseName + L".txt";
    }
    return OpenLogFile() == VLR_SUCCESS ? VLR_SUCCESS : VLR_FAILURE;
}

VlrRetVal LogFile::WriteMessage(LogLevel level, const std::wstring& message) {
    if (level == LogLevel::Debug && !debug_) {
        return VLR_SUCCESS;
    }
    VlrRetVal result = VLR_SUCCESS;
    {
        // One atomic step, so lines never interleave and the receiver sees the file's order.
        std::lock_guard<std::recursive_mutex> guard(lock_);
        // A log without a file (a check's scratch models) only feeds its receiver.
        result = stream_.is_open()
                     ? WriteLine(LogLevelTag(level) + FormatTimeOfDay(clock_()) + L" - " + message)
                     : VLR_FAILURE;
        if (level == LogLevel::Error || level == LogLevel::Fatal) {
            ++errorCount_;
            lastError_ = message;
        }
        if (receiver_ != nullptr) {
            receiver_->AddLogMessage(level, message);
        }
    }
    // Outside the lock: a window's box waits for the operator, and other threads go on logging.
    ReportWriteFailureOnce();
    return result;
}

bool LogFile::HasWriteFailed() const {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    return writeFailed_;
}

void LogFile::ReportWriteFailureOnce() {
    {
        std::lock_guard<std::recursive_mutex> guard(lock_);
        if (!writeFailed_ || writeFailureReported_) {
            return;
        }
        writeFailureReported_ = true;
    }
    Notify(kErrorCaption, L"Error writing log file: " + fullPath_ +
                              L".  The disk may be full; messages of this run are missing from "
                              L"the log.");
}

std::uint64_t LogFile::GetErrorCount() const {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    return errorCount_;
}

std::wstring LogFile::GetLastError() const {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    return lastError_;
}

void LogFile::CloseLogFile() {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    if (!stream_.is_open()) {
        Notify(kErrorCaption,
               L"Unable to close Log File.  There is currently not a log file open.");
        return;
    }
    WriteLine(L"Log File Closed - End of File\r\n");
    stream_.close();
    ReportWriteFailureOnce();
}

void LogFile::SetMessageReceiver(LogMessageReceiver* receiver) {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    receiver_ = receiver;
}

void LogFile::SetNotifier(Notifier* notifier) {
    notifier_ = notifier;
}

void LogFile::SetDebug(bool on) {
    debug_ = on;
}

void LogFile::SetClock(Clock clock) {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    clock_ = clock ? std::move(clock) : Clock(CurrentLocalTime);
}

bool LogFile::IsOpen() const {
    return stream_.is_open();
}

VlrRetVal LogFile::OpenLogFile() {
    // Taken although only the main thread opens the log, so that a message written meanwhile
    // from another thread never meets a half-switched stream.
    std::lock_guard<std::recursive_mutex> guard(lock_);
    const std::wstring target = directory_ + (fileName_.empty() ? kDefaultFileName : fileName_);
    if (stream_.is_open()) {
        if (target == fullPath_) {
            return VLR_SUCCESS;
        }
        if (MoveOpenFileTo(target) != VLR_SUCCESS) {
            return VLR_FAILURE;
        }
    }
    std::filesystem::path targetPath;
    if (ToFileSystemPath(target, targetPath)) {
        // Binary mode: the line ends are written explicitly, identical on every platform.
        stream_.open(targetPath, std::ios::out | std::ios::app | std::ios::binary);
    }
    if (!stream_.is_open()) {
        Notify(kErrorCaption, OpenErrorText(target));
        return VLR_FAILURE;
    }
    if (fullPath_.empty()) {
        WriteHeader(target);
    } else {
        WriteLine(L"Log file successfully moved to " + target);
    }
    fullPath_ = target;
    ReportWriteFailureOnce();
    return VLR_SUCCESS;
}

VlrRetVal LogFile::MoveOpenFileTo(const std::wstring& target) {
    std::filesystem::path from;
    std::filesystem::path to;
    std::error_code error;
    const bool copied = ToFileSystemPath(fullPath_, from) && ToFileSystemPath(target, to) &&
                        std::filesystem::copy_file(
                            from, to, std::filesystem::copy_options::overwrite_existing, error);
    if (!copied) {
        WriteLine(L"Failed to move log file to new location (" + target + L").");
        return VLR_FAILURE;
    }
    // The old file stays where it is; its last line tells where the log went on.
    WriteLine(L"Copying logfile to " + target);
    stream_.close();
    return VLR_SUCCESS;
}

VlrRetVal LogFile::WriteLine(const std::wstring& text) {
    if (!stream_.is_open()) {
        return VLR_FAILURE;
    }
    const std::string bytes = WideToNarrow(text) + "\r\n";
    // A failed earlier write must not silence every later line.
    stream_.clear();
    stream_.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    stream_.flush();
    if (!stream_.good()) {
        writeFailed_ = true;
        return VLR_FAILURE;
    }
    return VLR_SUCCESS;
}

void LogFile::WriteHeader(const std::wstring& target) {
    WriteLine(L"Velorin Base Log File Opened - File Name: " + target);
    WriteLine(TimeOpenedLine(clock_()));
    WriteLine(L"Processor Type: " + SystemInfo::ProcessorBrand());
    WriteLine(L"Number of cores: " + std::to_wstring(SystemInfo::LogicalProcessorCount()));
    WriteLine(L"Total System Memory: " + std::to_wstring(SystemInfo::PhysicalMemoryMegabytes()) +
              L" MB");
    WriteLine(L"Operating System: " + SystemInfo::OperatingSystemText());
}

// The core prints nothing itself: without a notifier the failure is only the operation's result.
void LogFile::Notify(const std::wstring& caption, const std::wstring& text) {
    if (notifier_ != nullptr) {
        notifier_->ShowMessageBox(caption, text);
    }
}
