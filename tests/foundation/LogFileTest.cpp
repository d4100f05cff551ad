#include <gtest/gtest.h>
#include <sys/utsname.h>

#include <filesystem>
#include <regex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "foundation/LogFile.h"
#include "foundation/TextConversion.h"
#include "foundation/platform/SystemInfo.h"
#include "support/FileBytes.h"
#include "support/RecordingNotifier.h"
#include "support/TempDir.h"

namespace {

namespace fs = std::filesystem;

const LocalTime kFixedTime{2024, 3, 7, 9, 5, 3, 7};
const std::string kLineTime = " 09:05:03.007";
const std::wstring kErrorCaption = L"Log File Error";
const std::string kClosingBytes = "Log File Closed - End of File\r\n\r\n";

std::string Line(const std::string& text) {
    return text + "\r\n";
}

std::string MessageLine(const std::string& tag, const std::string& message) {
    return Line(tag + kLineTime + " - " + message);
}

// The machine lines come from SystemInfo here; their wording and shape are checked on their own
// in HeaderBlockDescribesRunAndMachine.
std::string ExpectedHeader(const std::wstring& target) {
    return Line("Velorin Base Log File Opened - File Name: " + WideToNarrow(target)) +
           Line("Time Opened: (m/d/y)  3/7/2024 at time 9:5:3.7") +
           Line("Processor Type: " + WideToNarrow(SystemInfo::ProcessorBrand())) +
           Line("Number of cores: " + std::to_string(SystemInfo::LogicalProcessorCount())) +
           Line("Total System Memory: " + std::to_string(SystemInfo::PhysicalMemoryMegabytes()) +
                " MB") +
           Line("Operating System: " + WideToNarrow(SystemInfo::OperatingSystemText()));
}

std::vector<std::string> SplitLines(const std::string& bytes) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = bytes.find("\r\n", start)) != std::string::npos; start = end + 2) {
        lines.push_back(bytes.substr(start, end - start));
    }
    EXPECT_EQ(start, bytes.size()) << "text after the last line end";
    return lines;
}

std::wstring OpenErrorText(const std::wstring& target) {
    return L"Error opening filename: " + target +
           L", file may be invalid, please check the filename ";
}

class LogFileTest : public testing::Test {
  protected:
    LogFileTest() {
        log.SetClock([] { return kFixedTime; });
        log.SetMessageReceiver(&receiver);
    }

    std::string Bytes(const std::wstring& path) const { return ReadFileBytes(fs::path(path)); }

    TempDir dir;
    RecordingNotifier notifier;
    RecordingReceiver receiver;
    LogFile log{&notifier};
};

TEST_F(LogFileTest, HeaderBlockDescribesRunAndMachine) {
    const std::wstring path = dir.File("run.txt");
    ASSERT_EQ(log.SetLogFilename(path), 0);

    const std::vector<std::string> lines = SplitLines(Bytes(path));
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_EQ(lines[0], "Velorin Base Log File Opened - File Name: " + WideToNarrow(path));
    EXPECT_EQ(lines[1], "Time Opened: (m/d/y)  3/7/2024 at time 9:5:3.7");
    EXPECT_TRUE(std::regex_match(lines[2], std::regex("Processor Type: [^\\r\\n]*"))) << lines[2];
    EXPECT_TRUE(std::regex_match(lines[3], std::regex("Number of cores: [1-9][0-9]*"))) << lines[3];
    EXPECT_TRUE(std::regex_match(lines[4], std::regex("Total System Memory: [1-9][0-9]* MB")))
        << lines[4];

    utsname names{};
    ASSERT_EQ(uname(&names), 0);
    const std::string machine = names.machine;
    const std::string bits = machine == "x86_64" || machine == "aarch64" ? " 64bit" : "";
    EXPECT_EQ(lines[5],
              "Operating System: " + std::string(names.sysname) + " " + names.release + bits);
    EXPECT_TRUE(notifier.boxes.empty());
    EXPECT_TRUE(receiver.messages.empty());
}

struct OpenedTimeCase {
    LocalTime time;
    std::string line;
};

void PrintTo(const OpenedTimeCase& c, std::ostream* os) {
    *os << c.line;
}

class LogFileOpenedTime : public LogFileTest, public testing::WithParamInterface<OpenedTimeCase> {};

TEST_P(LogFileOpenedTime, HeaderTimeHasNoLeadingZeros) {
    const LocalTime time = GetParam().time;
    log.SetClock([time] { return time; });
    const std::wstring path = dir.File("run.txt");
    ASSERT_EQ(log.SetLogFilename(path), 0);
    EXPECT_EQ(SplitLines(Bytes(path)).at(1), GetParam().line);
}

INSTANTIATE_TEST_SUITE_P(
    Times, LogFileOpenedTime,
    testing::Values(
        OpenedTimeCase{{2024, 3, 7, 9, 5, 3, 7}, "Time Opened: (m/d/y)  3/7/2024 at time 9:5:3.7"},
        OpenedTimeCase{{2023, 12, 31, 23, 59, 58, 999},
                       "Time Opened: (m/d/y)  12/31/2023 at time 23:59:58.999"},
        OpenedTimeCase{{2000, 1, 1, 0, 0, 0, 0}, "Time Opened: (m/d/y)  1/1/2000 at time 0:0:0.0"},
        OpenedTimeCase{{1999, 10, 10, 10, 10, 10, 100},
                       "Time Opened: (m/d/y)  10/10/1999 at time 10:10:10.100"}));

TEST_F(LogFileTest, OpeningAppendsToAnExistingFile) {
    const std::wstring path = dir.File("run.txt");
    WriteFileBytes(fs::path(path), "previous run\r\n");
    ASSERT_EQ(log.SetLogFilename(path), 0);
    EXPECT_EQ(Bytes(path), "previous run\r\n" + ExpectedHeader(path));
}

struct LevelCase {
    int level;
    std::string tag;
};

void PrintTo(const LevelCase& c, std::ostream* os) {
    *os << "level " << c.level;
}

class LogFileLevels : public LogFileTest, public testing::WithParamInterface<LevelCase> {};

TEST_P(LogFileLevels, LineHasTagTimeAndMessage) {
    const std::wstring path = dir.File("run.txt");
    ASSERT_EQ(log.SetLogFilename(path), 0);
    const auto level = static_cast<LogLevel>(GetParam().level);

    EXPECT_EQ(log.WriteMessage(level, L"Sequence 3 uploaded."), 0);

    EXPECT_EQ(Bytes(path),
              ExpectedHeader(path) + MessageLine(GetParam().tag, "Sequence 3 uploaded."));
    ASSERT_EQ(receiver.messages.size(), 1u);
    EXPECT_EQ(receiver.messages[0].first, level);
    EXPECT_EQ(receiver.messages[0].second, L"Sequence 3 uploaded.");
}

INSTANTIATE_TEST_SUITE_P(
    Levels, LogFileLevels,
    testing::Values(LevelCase{0, "-*  FATAL  *- "}, LevelCase{1, "-*  ERROR  *- "},
                    LevelCase{2, "-* WARNING *- "}, LevelCase{3, "-* NOTICE  *- "},
                    LevelCase{4, "-*  DATA   *- "}, LevelCase{9, "-* UNKNOWN *- "},
                    LevelCase{-1, "-* UNKNOWN *- "}));

TEST_F(LogFileTest, DebugMessagesAreDroppedUnlessSwitchedOn) {
    const std::wstring path = dir.File("run.txt");
    ASSERT_EQ(log.SetLogFilename(path), 0);

    EXPECT_EQ(log.WriteMessage(LogLevel::Debug, L"hidden"), 0);
    EXPECT_EQ(Bytes(path), ExpectedHeader(path));
    EXPECT_TRUE(receiver.messages.empty());

    log.SetDebug(true);
    EXPECT_TRUE(log.IsDebug());
    EXPECT_EQ(log.WriteMessage(LogLevel::Debug, L"shown"), 0);
    EXPECT_EQ(Bytes(path), ExpectedHeader(path) + MessageLine("-*  DEBUG  *- ", "shown"));
    ASSERT_EQ(receiver.messages.size(), 1u);
    EXPECT_EQ(receiver.messages[0].first, LogLevel::Debug);
}

TEST_F(LogFileTest, DebugMessagesAreDroppedWithoutFileToo) {
    EXPECT_EQ(log.WriteMessage(LogLevel::Debug, L"hidden"), 0);
    EXPECT_TRUE(receiver.messages.empty());
}

TEST_F(LogFileTest, MessageIsWrittenAsLatin1Bytes) {
    const std::wstring path = dir.File("run.txt");
    ASSERT_EQ(log.SetLogFilename(path), 0);
    ASSERT_EQ(log.WriteMessage(LogLevel::Data, L"20\u00B0C caf\u00E9 \u20AC"), 0);
    EXPECT_EQ(Bytes(path), ExpectedHeader(path) + MessageLine("-*  DATA   *- ",
                                                              "20\xB0"
                                                              "C caf\xE9 ?"));
}

TEST_F(LogFileTest, WithoutFileReceiverStillGetsMessageAndResultIsFailure) {
    EXPECT_EQ(log.WriteMessage(LogLevel::Warning, L"no file yet"), -1);
    ASSERT_EQ(receiver.messages.size(), 1u);
    EXPECT_EQ(receiver.messages[0].first, LogLevel::Warning);
    EXPECT_EQ(receiver.messages[0].second, L"no file yet");
    EXPECT_TRUE(fs::is_empty(dir.Path()));
}

TEST_F(LogFileTest, EmptyPathIsRefusedWithErrorMessage) {
    EXPECT_EQ(log.SetLogFilename(L""), -1);
    ASSERT_EQ(receiver.messages.size(), 1u);
    EXPECT_EQ(receiver.messages[0].first, LogLevel::Error);
    EXPECT_EQ(receiver.messages[0].second,
              L"LogFile::SetLogFilename() - Error, invalid parameter, filename string is empty.");
    EXPECT_FALSE(log.IsOpen());
    EXPECT_TRUE(notifier.boxes.empty());
}

TEST_F(LogFileTest, EmptyPathIsLoggedIntoOpenFile) {
    const std::wstring path = dir.File("run.txt");
    ASSERT_EQ(log.SetLogFilename(path), 0);
    EXPECT_EQ(log.SetLogFilename(L""), -1);
    EXPECT_EQ(Bytes(path),
              ExpectedHeader(path) +
                  MessageLine("-*  ERROR  *- ",
                              "LogFile::SetLogFilename() - Error, invalid parameter, filename "
                              "string is empty."));
    EXPECT_EQ(log.GetFullPath(), path);
}

struct FileNameCase {
    std::string given;
    std::string opened;
};

void PrintTo(const FileNameCase& c, std::ostream* os) {
    *os << '[' << c.given << "] opens " << c.opened;
}

class LogFileNames : public LogFileTest, public testing::WithParamInterface<FileNameCase> {};

TEST_P(LogFileNames, ExtensionBecomesTxt) {
    ASSERT_EQ(log.SetLogFilename(dir.File(GetParam().given)), 0);
    const std::wstring expected = dir.File(GetParam().opened);
    EXPECT_EQ(log.GetFullPath(), expected);
    EXPECT_EQ(Bytes(expected), ExpectedHeader(expected));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path()), fs::directory_iterator()), 1);
}

INSTANTIATE_TEST_SUITE_P(
    Names, LogFileNames,
    testing::Values(FileNameCase{"run.log", "run.txt"}, FileNameCase{"run", "run.txt"},
                    FileNameCase{"run.txt", "run.txt"}, FileNameCase{"my.run.cfg", "my.run.txt"},
                    FileNameCase{"run.", "run.txt"}, FileNameCase{".log", "FalvoLogFile.txt"},
                    FileNameCase{"", "FalvoLogFile.txt"}));

TEST_F(LogFileTest, PathWithoutNameKeepsThePreviousName) {
    fs::create_directory(dir.Path() / "sub");
    ASSERT_EQ(log.SetLogFilename(dir.File("first.log")), 0);
    ASSERT_EQ(log.SetLogFilename(dir.File("sub/")), 0);
    EXPECT_EQ(log.GetFullPath(), dir.File("sub/first.txt"));
    EXPECT_TRUE(fs::exists(dir.Path() / "sub" / "first.txt"));
}

// Runs a test inside a directory and restores the working directory afterwards.
class WorkingDirectory {
  public:
    explicit WorkingDirectory(const fs::path& path) : saved_(fs::current_path()) {
        fs::current_path(path);
    }
    ~WorkingDirectory() { fs::current_path(saved_); }

  private:
    fs::path saved_;
};

struct RelativeCase {
    std::wstring given;
    std::wstring opened;
    std::string fileInDir;
};

void PrintTo(const RelativeCase& c, std::ostream* os) {
    *os << WideToNarrow(c.given) << " opens " << WideToNarrow(c.opened);
}

class LogFileRelative : public LogFileTest, public testing::WithParamInterface<RelativeCase> {};

TEST_P(LogFileRelative, RelativePathIsUnderWorkingDirectory) {
    fs::create_directories(dir.Path() / "logs" / "old");
    WorkingDirectory inside(dir.Path());

    ASSERT_EQ(log.SetLogFilename(GetParam().given), 0);
    EXPECT_EQ(log.GetFullPath(), GetParam().opened);
    log.CloseLogFile();
    EXPECT_EQ(ReadFileBytes(dir.Path() / GetParam().fileInDir),
              ExpectedHeader(GetParam().opened) + kClosingBytes);
}

INSTANTIATE_TEST_SUITE_P(
    Paths, LogFileRelative,
    testing::Values(RelativeCase{L"a.log", L"./a.txt", "a.txt"},
                    RelativeCase{L"logs/a.log", L"./logs/a.txt", "logs/a.txt"},
                    RelativeCase{L"logs/old/a", L"./logs/old/a.txt", "logs/old/a.txt"},
                    RelativeCase{L"./a.log", L"././a.txt", "a.txt"},
                    RelativeCase{L"logs/", L"./logs/FalvoLogFile.txt", "logs/FalvoLogFile.txt"}));

TEST_F(LogFileTest, SettingTheSamePathAgainChangesNothing) {
    const std::wstring path = dir.File("run.log");
    ASSERT_EQ(log.SetLogFilename(path), 0);
    const std::wstring opened = log.GetFullPath();
    const std::string before = Bytes(opened);

    EXPECT_EQ(log.SetLogFilename(path), 0);
    EXPECT_EQ(log.SetLogFilename(dir.File("run.cfg")), 0);

    EXPECT_EQ(Bytes(opened), before);
    EXPECT_EQ(log.GetFullPath(), opened);
    EXPECT_TRUE(log.IsOpen());
}

TEST_F(LogFileTest, NewPathCopiesLogAndContinuesThere) {
    const std::wstring oldPath = dir.File("old.txt");
    const std::wstring newPath = dir.File("new.txt");
    ASSERT_EQ(log.SetLogFilename(oldPath), 0);
    ASSERT_EQ(log.WriteMessage(LogLevel::Notice, L"before the move"), 0);

    ASSERT_EQ(log.SetLogFilename(newPath), 0);
    ASSERT_EQ(log.WriteMessage(LogLevel::Notice, L"after the move"), 0);

    const std::string common =
        ExpectedHeader(oldPath) + MessageLine("-* NOTICE  *- ", "before the move");
    EXPECT_EQ(Bytes(oldPath), common + Line("Copying logfile to " + WideToNarrow(newPath)));
    EXPECT_EQ(Bytes(newPath), common +
                                  Line("Log file successfully moved to " + WideToNarrow(newPath)) +
                                  MessageLine("-* NOTICE  *- ", "after the move"));
    EXPECT_EQ(log.GetFullPath(), newPath);
    EXPECT_EQ(receiver.messages.size(), 2u);
    EXPECT_TRUE(notifier.boxes.empty());
}

TEST_F(LogFileTest, MoveOverwritesAnExistingTarget) {
    const std::wstring oldPath = dir.File("old.txt");
    const std::wstring newPath = dir.File("new.txt");
    WriteFileBytes(fs::path(newPath), "stale content of another run\r\n");
    ASSERT_EQ(log.SetLogFilename(oldPath), 0);

    ASSERT_EQ(log.SetLogFilename(newPath), 0);

    EXPECT_EQ(Bytes(newPath), ExpectedHeader(oldPath) +
                                  Line("Log file successfully moved to " + WideToNarrow(newPath)));
}

TEST_F(LogFileTest, FailedMoveIsReportedInOldFileWhichStaysInUse) {
    const std::wstring oldPath = dir.File("old.txt");
    const std::wstring unreachable = dir.File("missing/new.txt");
    ASSERT_EQ(log.SetLogFilename(oldPath), 0);

    EXPECT_EQ(log.SetLogFilename(unreachable), -1);
    EXPECT_EQ(log.WriteMessage(LogLevel::Notice, L"still here"), 0);

    EXPECT_EQ(Bytes(oldPath), ExpectedHeader(oldPath) +
                                  Line("Failed to move log file to new location (" +
                                       WideToNarrow(unreachable) + ").") +
                                  MessageLine("-* NOTICE  *- ", "still here"));
    EXPECT_EQ(log.GetFullPath(), oldPath);
    EXPECT_TRUE(log.IsOpen());
    EXPECT_TRUE(notifier.boxes.empty());
}

TEST_F(LogFileTest, CloseWritesClosingLineAndStopsWriting) {
    const std::wstring path = dir.File("run.txt");
    ASSERT_EQ(log.SetLogFilename(path), 0);

    log.CloseLogFile();
    EXPECT_FALSE(log.IsOpen());
    EXPECT_EQ(log.WriteMessage(LogLevel::Notice, L"too late"), -1);

    EXPECT_EQ(Bytes(path), ExpectedHeader(path) + kClosingBytes);
    EXPECT_EQ(receiver.messages.size(), 1u);
    EXPECT_TRUE(notifier.boxes.empty());
}

TEST_F(LogFileTest, ClosingWithoutOpenFileShowsMessageBox) {
    log.CloseLogFile();
    ASSERT_EQ(notifier.boxes.size(), 1u);
    EXPECT_EQ(notifier.boxes[0].first, kErrorCaption);
    EXPECT_EQ(notifier.boxes[0].second,
              L"Unable to close Log File.  There is currently not a log file open.");
}

TEST_F(LogFileTest, ClosingTwiceShowsMessageBoxOnce) {
    const std::wstring path = dir.File("run.txt");
    ASSERT_EQ(log.SetLogFilename(path), 0);
    log.CloseLogFile();
    log.CloseLogFile();
    EXPECT_EQ(notifier.boxes.size(), 1u);
    EXPECT_EQ(Bytes(path), ExpectedHeader(path) + kClosingBytes);
}

TEST_F(LogFileTest, ReopeningAfterCloseReportsTheMoveInsteadOfAHeader) {
    const std::wstring first = dir.File("first.txt");
    const std::wstring second = dir.File("second.txt");
    ASSERT_EQ(log.SetLogFilename(first), 0);
    log.CloseLogFile();

    ASSERT_EQ(log.SetLogFilename(second), 0);
    EXPECT_EQ(Bytes(second), Line("Log file successfully moved to " + WideToNarrow(second)));
}

TEST_F(LogFileTest, UnopenableFileShowsMessageBox) {
    const std::wstring path = dir.File("missing/run.log");
    const std::wstring target = dir.File("missing/run.txt");

    EXPECT_EQ(log.SetLogFilename(path), -1);

    ASSERT_EQ(notifier.boxes.size(), 1u);
    EXPECT_EQ(notifier.boxes[0].first, kErrorCaption);
    EXPECT_EQ(notifier.boxes[0].second, OpenErrorText(target));
    EXPECT_FALSE(log.IsOpen());
    EXPECT_TRUE(log.GetFullPath().empty());
    EXPECT_EQ(log.WriteMessage(LogLevel::Notice, L"nowhere"), -1);
}

// Linux limits names to 255 bytes and paths to 4095; a long folder part is no reason to refuse.
TEST_F(LogFileTest, NamesUpTo255BytesInALongPathAreAccepted) {
    const std::string name(255, 'd');
    const fs::path deep = dir.Path() / name / name / name;
    fs::create_directories(deep);
    const std::string base(251, 'r');

    ASSERT_EQ(log.SetLogFilename(NarrowToWide((deep / (base + ".log")).string())), 0);
    EXPECT_TRUE(fs::exists(deep / (base + ".txt")));
    EXPECT_TRUE(notifier.boxes.empty());
}

std::string RepeatedFolders(int count, std::size_t length) {
    std::string path;
    for (int i = 0; i < count; ++i) {
        path += std::string(length, 'd') + "/";
    }
    return path;
}

struct LongPartCase {
    std::string name;
    std::string relative;
};

void PrintTo(const LongPartCase& c, std::ostream* os) {
    *os << c.name;
}

class LogFileLongParts : public LogFileTest, public testing::WithParamInterface<LongPartCase> {};

TEST_P(LogFileLongParts, NameOrPathBeyondTheFileSystemLimitsIsRefused) {
    const std::wstring path = dir.File(GetParam().relative);

    EXPECT_EQ(log.SetLogFilename(path), -1);

    ASSERT_EQ(notifier.boxes.size(), 1u);
    EXPECT_EQ(notifier.boxes[0].first, kErrorCaption);
    EXPECT_EQ(notifier.boxes[0].second, OpenErrorText(path));
    EXPECT_FALSE(log.IsOpen());
    EXPECT_TRUE(receiver.messages.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Parts, LogFileLongParts,
    testing::Values(LongPartCase{"BaseName", std::string(256, 'b')},
                    LongPartCase{"Extension", "run." + std::string(252, 'x')},
                    LongPartCase{"Directory", std::string(256, 'd') + "/run.log"},
                    LongPartCase{"WholePath", RepeatedFolders(17, 250) + "run.log"}),
    [](const testing::TestParamInfo<LongPartCase>& info) { return info.param.name; });

TEST_F(LogFileTest, RefusedLongPartKeepsTheOpenLog) {
    const std::wstring path = dir.File("run.txt");
    ASSERT_EQ(log.SetLogFilename(path), 0);
    EXPECT_EQ(log.SetLogFilename(dir.File(std::string(256, 'b'))), -1);
    EXPECT_TRUE(log.IsOpen());
    EXPECT_EQ(log.GetFullPath(), path);
    EXPECT_EQ(Bytes(path), ExpectedHeader(path));
}

TEST_F(LogFileTest, OddPathsNeverCrash) {
    const std::wstring paths[] = {L"/",
                                  L".",
                                  L"..",
                                  std::wstring(1, wchar_t(0xD800)),
                                  std::wstring(L"/tmp/") + wchar_t(0x110000),
                                  std::wstring(1, wchar_t(-1))};
    // Relative odd paths create files in the working directory; keep them in the test's own.
    const WorkingDirectory inside(dir.Path());
    for (const std::wstring& path : paths) {
        LogFile odd(&notifier);
        const int result = odd.SetLogFilename(path);
        EXPECT_TRUE(result == 0 || result == -1);
        EXPECT_EQ(odd.IsOpen(), result == 0);
    }
}

TEST_F(LogFileTest, FileNamesKeepTheirBytes) {
    // "résumé" in UTF-8, carried one byte per character as names from the environment are.
    const std::wstring path = dir.File("r") + NarrowToWide("\xC3\xA9sum\xC3\xA9.log");
    ASSERT_EQ(log.SetLogFilename(path), 0);
    EXPECT_TRUE(fs::exists(dir.Path() / "r\xC3\xA9sum\xC3\xA9.txt"));
    EXPECT_EQ(log.SetLogFilename(dir.File("x") + L"\u20AC.log"), -1);
}

TEST(LogFileNotifier, WithoutNotifierNothingIsPrinted) {
    LogFile log;
    testing::internal::CaptureStderr();
    testing::internal::CaptureStdout();
    log.CloseLogFile();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

TEST(LogFileNotifier, SetNotifierReplacesTheReportTarget) {
    RecordingNotifier first;
    RecordingNotifier second;
    LogFile log(&first);
    log.SetNotifier(&second);
    log.CloseLogFile();
    EXPECT_TRUE(first.boxes.empty());
    EXPECT_EQ(second.boxes.size(), 1u);
}

TEST_F(LogFileTest, ConcurrentMessagesNeverInterleave) {
    constexpr int kThreads = 4;
    constexpr int kMessages = 250;
    const std::wstring path = dir.File("run.txt");
    ASSERT_EQ(log.SetLogFilename(path), 0);

    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([this, t] {
            for (int m = 0; m < kMessages; ++m) {
                log.WriteMessage(LogLevel::Notice, L"thread " + std::to_wstring(t) + L" message " +
                                                       std::to_wstring(m) + L" " +
                                                       std::wstring(40, L'x'));
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }

    const std::string bytes = Bytes(path);
    ASSERT_EQ(bytes.substr(0, ExpectedHeader(path).size()), ExpectedHeader(path));
    const std::vector<std::string> lines = SplitLines(bytes.substr(ExpectedHeader(path).size()));
    ASSERT_EQ(lines.size(), static_cast<std::size_t>(kThreads * kMessages));
    ASSERT_EQ(receiver.messages.size(), lines.size());

    const std::regex shape("-\\* NOTICE  \\*-  09:05:03\\.007 - (thread \\d+ message \\d+ x{40})");
    std::set<std::string> seen;
    std::vector<int> nextPerThread(kThreads, 0);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        std::smatch match;
        ASSERT_TRUE(std::regex_match(lines[i], match, shape)) << lines[i];
        EXPECT_EQ(NarrowToWide(match[1]), receiver.messages[i].second) << "receiver order";
        EXPECT_TRUE(seen.insert(match[1]).second) << "duplicate " << lines[i];
        // Each thread's own messages stay in the order it wrote them.
        const int thread = std::stoi(lines[i].substr(lines[i].find("thread ") + 7));
        const int message = std::stoi(lines[i].substr(lines[i].find("message ") + 8));
        EXPECT_EQ(message, nextPerThread.at(static_cast<std::size_t>(thread))++);
    }
}

}  // namespace
