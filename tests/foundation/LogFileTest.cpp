#include <gtest/gtest.h>
#include <sys/utsname.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "foundation/LogFile.h"
#include "foundation/TextConversion.h"
#include "foundation/platform/SystemInfo.h"
#include "foundation/platform/SystemInfoLinux.h"
#include "support/FileBytes.h"
#include "support/RecordingNotifier.h"
#include "support/TempDir.h"

namespace {

namespace fs = std::filesystem;

const std::wstring kErrorCaption = L"Log File Error";

std::string Line(const std::string& text) {
    return text + "\r\n";
}

std::string Notice(const std::string& message) {
    return Line("-* NOTICE  *-  09:05:03.007 - " + message);
}

// The machine lines come from SystemInfo; HeaderDescribesTheRunAndTheMachine checks them.
std::string ExpectedHeader(const std::wstring& target) {
    return Line("Velorin Base Log File Opened - File Name: " + WideToNarrow(target)) +
           Line("Time Opened: (m/d/y)  3/7/2024 at time 9:5:3.7") +
           Line("Processor Type: " + WideToNarrow(SystemInfo::ProcessorBrand())) +
           Line("Number of cores: " + std::to_string(SystemInfo::LogicalProcessorCount())) +
           Line("Total System Memory: " + std::to_string(SystemInfo::PhysicalMemoryMegabytes()) +
                " MB") +
           Line("Operating System: " + WideToNarrow(SystemInfo::OperatingSystemText()));
}

class LogFileTest : public testing::Test {
  protected:
    LogFileTest() {
        log.SetClock([] { return LocalTime{2024, 3, 7, 9, 5, 3, 7}; });
        log.SetMessageReceiver(&receiver);
    }

    std::string Bytes(const std::wstring& path) const { return ReadFileBytes(fs::path(path)); }

    // Opens run.txt in the test's directory; the test fails when it cannot.
    std::wstring Opened() {
        const std::wstring path = dir.File("run.txt");
        EXPECT_EQ(log.SetLogFilename(path), 0);
        return path;
    }

    TempDir dir;
    RecordingNotifier notifier;
    RecordingReceiver receiver;
    LogFile log{&notifier};
};

TEST_F(LogFileTest, HeaderDescribesTheRunAndTheMachine) {
    const std::wstring path = dir.File("run.txt");
    WriteFileBytes(fs::path(path), "previous run\r\n");
    ASSERT_EQ(log.SetLogFilename(path), 0);
    EXPECT_EQ(Bytes(path), "previous run\r\n" + ExpectedHeader(path));

    utsname names{};
    ASSERT_EQ(uname(&names), 0);
    EXPECT_EQ(WideToNarrow(SystemInfo::OperatingSystemText()),
              std::string(names.sysname) + " " + names.release +
                  SystemInfoLinux::ArchitectureSuffix(names.machine));
    EXPECT_TRUE(notifier.boxes.empty());
    EXPECT_TRUE(receiver.messages.empty());
}

// Every tag has one width, so the messages line up; the texts are pinned in the file lines.
TEST(LogLevelTag, EveryTagIsFourteenCharactersWide) {
    for (int value = -1; value <= 6; ++value)
        EXPECT_EQ(LogLevelTag(static_cast<LogLevel>(value)).size(), 14u) << value;
}

// Before a file is open the receiver still gets the message; debug lines only when switched on;
// an empty path is refused and logged.
TEST_F(LogFileTest, MessageLineHasTagTimeAndLatin1Text) {
    EXPECT_EQ(log.WriteMessage(LogLevel::Warning, L"no file yet"), -1);
    EXPECT_EQ(log.SetLogFilename(L""), -1);
    EXPECT_TRUE(fs::is_empty(dir.Path()));
    const std::wstring path = Opened();
    EXPECT_EQ(log.WriteMessage(LogLevel::Notice, L"20\u00B0C caf\u00E9 \u20AC"), 0);
    EXPECT_EQ(log.WriteMessage(LogLevel::Debug, L"hidden"), 0);
    log.SetDebug(true);
    EXPECT_EQ(log.WriteMessage(LogLevel::Debug, L"shown"), 0);
    EXPECT_EQ(log.SetLogFilename(L""), -1);
    EXPECT_EQ(Bytes(path), ExpectedHeader(path) +
                               Notice("20\xB0"
                                      "C caf\xE9 ?") +
                               Line("-*  DEBUG  *-  09:05:03.007 - shown") +
                               Line("-*  ERROR  *-  09:05:03.007 - LogFile::SetLogFilename() - "
                                    "Error, invalid parameter, filename string is empty."));
    EXPECT_EQ(log.GetFullPath(), path);
    ASSERT_EQ(receiver.messages.size(), 5u);
    EXPECT_EQ(receiver.messages[0], std::pair(LogLevel::Warning, std::wstring(L"no file yet")));
    EXPECT_EQ(receiver.messages[2].second, L"20\u00B0C caf\u00E9 \u20AC");
    EXPECT_TRUE(notifier.boxes.empty());
}

// Relative names are opened from the working directory; the log is always a .txt file. Linux
// limits names to 255 bytes and paths to 4095: longer parts are refused, not cut.
TEST_F(LogFileTest, NamesOpenAsTxtFilesOrAreRefused) {
    const std::wstring deep =
        NarrowToWide(std::string(255, 'd') + "/" + std::string(255, 'd') + "/");
    fs::create_directories(dir.Path() / "logs");
    fs::create_directories(dir.Path() / WideToPath(deep));
    std::wstring longPath;
    for (int i = 0; i < 17; ++i)
        longPath += std::wstring(250, L'd') + L"/";
    const fs::path saved = fs::current_path();
    fs::current_path(dir.Path());
    const struct {
        std::wstring given;
        bool opens;
        std::wstring path;  // the path opened, or the one the box names
    } rows[] = {
        {L"run.log", true, L"./run.txt"},
        {L"logs/.log", true, L"./logs/FalvoLogFile.txt"},
        {deep + std::wstring(251, L'r') + L".log", true,
         L"./" + deep + std::wstring(251, L'r') + L".txt"},
        // UTF-8 bytes carried one per character, as names from the environment are.
        {NarrowToWide("r\xC3\xA9sum\xC3\xA9"), true, NarrowToWide("./r\xC3\xA9sum\xC3\xA9.txt")},
        {L"missing/run", false, L"./missing/run.txt"},
        // Characters above Latin-1 have no bytes to name a file with.
        {L"\u20AC", false, L"./\u20AC.txt"},
        {std::wstring(256, L'b'), false, std::wstring(256, L'b')},
        {std::wstring(256, L'd') + L"/run.log", false, std::wstring(256, L'd') + L"/run.log"},
        {longPath + L"run.log", false, longPath + L"run.log"}};
    for (const auto& row : rows) {
        LogFile fresh(&notifier);
        fresh.SetClock([] { return LocalTime{2024, 3, 7, 9, 5, 3, 7}; });
        notifier.boxes.clear();
        EXPECT_EQ(fresh.SetLogFilename(row.given), row.opens ? 0 : -1);
        EXPECT_EQ(fresh.GetFullPath(), row.opens ? row.path : L"");
        if (row.opens) {
            EXPECT_EQ(ReadFileBytes(WideToPath(row.path)), ExpectedHeader(row.path));
        } else {
            EXPECT_EQ(
                notifier.boxes,
                (decltype(notifier.boxes){
                    {kErrorCaption, L"Error opening filename: " + row.path +
                                        L", file may be invalid, please check the filename "}}));
        }
    }
    fs::current_path(saved);
}

// The old file keeps the log so far and says where it went; an existing target is replaced.
// The same file again changes nothing, and a path without a name keeps the name.
TEST_F(LogFileTest, NewPathCopiesTheLogAndContinuesThere) {
    const std::wstring oldPath = Opened();
    const std::wstring newPath = dir.File("new.txt");
    WriteFileBytes(fs::path(newPath), "stale content of another run\r\n");
    ASSERT_EQ(log.WriteMessage(LogLevel::Notice, L"before"), 0);
    EXPECT_EQ(log.SetLogFilename(dir.File("run.cfg")), 0);
    const std::wstring unreachable = dir.File("missing/new.txt");
    EXPECT_EQ(log.SetLogFilename(unreachable), -1);
    EXPECT_EQ(log.GetFullPath(), oldPath);

    ASSERT_EQ(log.SetLogFilename(newPath), 0);
    ASSERT_EQ(log.WriteMessage(LogLevel::Notice, L"after"), 0);
    const std::string common =
        ExpectedHeader(oldPath) + Notice("before") +
        Line("Failed to move log file to new location (" + WideToNarrow(unreachable) + ").");
    EXPECT_EQ(Bytes(oldPath), common + Line("Copying logfile to " + WideToNarrow(newPath)));
    EXPECT_EQ(
        Bytes(newPath),
        common + Line("Log file successfully moved to " + WideToNarrow(newPath)) + Notice("after"));
    EXPECT_TRUE(notifier.boxes.empty());

    fs::create_directory(dir.Path() / "sub");
    ASSERT_EQ(log.SetLogFilename(dir.File("sub/")), 0);
    EXPECT_EQ(log.GetFullPath(), dir.File("sub/new.txt"));
}

TEST_F(LogFileTest, CloseWritesTheClosingLineOnceAndStopsWriting) {
    log.CloseLogFile();
    const std::wstring path = Opened();
    log.CloseLogFile();
    log.CloseLogFile();
    EXPECT_FALSE(log.IsOpen());
    EXPECT_EQ(log.WriteMessage(LogLevel::Notice, L"too late"), -1);
    EXPECT_EQ(Bytes(path), ExpectedHeader(path) + "Log File Closed - End of File\r\n\r\n");
    ASSERT_EQ(notifier.boxes.size(), 2u);
    EXPECT_EQ(notifier.boxes[1],
              std::pair(kErrorCaption, std::wstring(L"Unable to close Log File.  There is "
                                                    L"currently not a log file open.")));

    // Opened again, the log tells where it went on instead of writing a new header.
    ASSERT_EQ(log.SetLogFilename(dir.File("second.txt")), 0);
    EXPECT_EQ(Bytes(dir.File("second.txt")),
              Line("Log file successfully moved to " + WideToNarrow(dir.File("second.txt"))));
}

// Each thread's lines are whole and in the order it wrote them.
TEST_F(LogFileTest, ConcurrentMessagesNeverInterleave) {
    const std::wstring path = Opened();
    std::vector<std::thread> threads;
    for (char t = 'a'; t < 'e'; ++t) {
        threads.emplace_back([this, t] {
            for (int m = 0; m < 250; ++m)
                log.WriteMessage(LogLevel::Notice,
                                 NarrowToWide(std::string(40, t)) + std::to_wstring(m));
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    std::istringstream lines(Bytes(path).substr(ExpectedHeader(path).size()));
    const std::size_t prefix = Notice("").size() - 2;
    std::vector<int> next(4, 0);
    for (std::string line; std::getline(lines, line);) {
        ASSERT_GT(line.size(), prefix);
        const char t = line[prefix];
        ASSERT_TRUE(t >= 'a' && t < 'e') << line;
        const std::string message = std::string(40, t) + std::to_string(next[t - 'a']++);
        ASSERT_EQ(line + "\n", Notice(message));
    }
    EXPECT_EQ(next, std::vector<int>(4, 250));
}

}  // namespace
