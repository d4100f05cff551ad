#include <gtest/gtest.h>
#include <sys/utsname.h>

#include <cwctype>
#include <filesystem>
#include <regex>
#include <set>
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

const LocalTime kFixedTime{2024, 3, 7, 9, 5, 3, 7};
const std::wstring kErrorCaption = L"Log File Error";
const std::string kClosingBytes = "Log File Closed - End of File\r\n\r\n";

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

std::wstring OpenErrorText(const std::wstring& target) {
    return L"Error opening filename: " + target +
           L", file may be invalid, please check the filename ";
}

std::string Trimmed(const std::string& text) {
    const std::size_t first = text.find_first_not_of(' ');
    return first == std::string::npos ? "" : text.substr(first, text.find_last_not_of(' ') + 1);
}

class LogFileTest : public testing::Test {
  protected:
    LogFileTest() {
        log.SetClock([] { return kFixedTime; });
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

    // The processor as the kernel names it too, where it does.
    const std::string brand = WideToNarrow(SystemInfo::ProcessorBrand());
    EXPECT_FALSE(brand.empty());
    const std::string kernelName =
        SystemInfoLinux::ModelNameFromCpuInfo(ReadFileBytes("/proc/cpuinfo"));
    if (!kernelName.empty()) {
        EXPECT_EQ(Trimmed(brand), kernelName);
    }
    EXPECT_GT(SystemInfo::LogicalProcessorCount(), 0u);
    EXPECT_GT(SystemInfo::PhysicalMemoryMegabytes(), 0u);
    utsname names{};
    ASSERT_EQ(uname(&names), 0);
    EXPECT_EQ(WideToNarrow(SystemInfo::OperatingSystemText()),
              std::string(names.sysname) + " " + names.release +
                  SystemInfoLinux::ArchitectureSuffix(names.machine));
    EXPECT_TRUE(notifier.boxes.empty());
    EXPECT_TRUE(receiver.messages.empty());
}

TEST_F(LogFileTest, HeaderTimeHasNoLeadingZeros) {
    log.SetClock([] { return LocalTime{2023, 12, 31, 23, 59, 58, 999}; });
    const std::wstring path = Opened();
    EXPECT_NE(Bytes(path).find("\r\nTime Opened: (m/d/y)  12/31/2023 at time 23:59:58.999\r\n"),
              std::string::npos);
}

// Every tag is the level's name in capitals, centred in one width, so the messages line up.
TEST(LogLevelTag, IsTheNameInCapitalsCentredInFourteenCharacters) {
    const std::wstring names[] = {L"Fatal", L"Error", L"Warning", L"Notice",
                                  L"Data",  L"Debug", L"Unknown", L"Unknown"};
    for (int value = 0; value < 8; ++value) {
        const auto level = static_cast<LogLevel>(value == 7 ? -1 : value);
        std::wstring word = LogLevelName(level);
        EXPECT_EQ(word, names[value]);
        for (wchar_t& c : word) {
            c = static_cast<wchar_t>(std::towupper(static_cast<wint_t>(c)));
        }
        const std::size_t left = (9 - word.size()) / 2;
        EXPECT_EQ(LogLevelTag(level), L"-*" + std::wstring(left, L' ') + word +
                                          std::wstring(9 - left - word.size(), L' ') + L"*- ");
    }
}

TEST_F(LogFileTest, MessageLineHasTagTimeAndLatin1Text) {
    const std::wstring path = Opened();
    EXPECT_EQ(log.WriteMessage(LogLevel::Notice, L"20\u00B0C caf\u00E9 \u20AC"), 0);
    EXPECT_EQ(Bytes(path), ExpectedHeader(path) + Notice("20\xB0"
                                                         "C caf\xE9 ?"));
    ASSERT_EQ(receiver.messages.size(), 1u);
    EXPECT_EQ(receiver.messages[0].first, LogLevel::Notice);
    EXPECT_EQ(receiver.messages[0].second, L"20\u00B0C caf\u00E9 \u20AC");
}

TEST_F(LogFileTest, DebugMessagesAreDroppedUnlessSwitchedOn) {
    EXPECT_EQ(log.WriteMessage(LogLevel::Debug, L"hidden"), 0);
    const std::wstring path = Opened();
    EXPECT_EQ(log.WriteMessage(LogLevel::Debug, L"hidden"), 0);
    EXPECT_TRUE(receiver.messages.empty());
    log.SetDebug(true);
    EXPECT_EQ(log.WriteMessage(LogLevel::Debug, L"shown"), 0);
    EXPECT_EQ(Bytes(path), ExpectedHeader(path) + Line("-*  DEBUG  *-  09:05:03.007 - shown"));
}

TEST_F(LogFileTest, WithoutFileTheReceiverStillGetsTheMessage) {
    EXPECT_EQ(log.WriteMessage(LogLevel::Warning, L"no file yet"), -1);
    ASSERT_EQ(receiver.messages.size(), 1u);
    EXPECT_EQ(receiver.messages[0].second, L"no file yet");
    EXPECT_TRUE(fs::is_empty(dir.Path()));
}

TEST_F(LogFileTest, EmptyPathIsRefusedAndLogged) {
    EXPECT_EQ(log.SetLogFilename(L""), -1);
    EXPECT_FALSE(log.IsOpen());
    const std::wstring path = Opened();
    EXPECT_EQ(log.SetLogFilename(L""), -1);
    EXPECT_EQ(Bytes(path), ExpectedHeader(path) +
                               Line("-*  ERROR  *-  09:05:03.007 - LogFile::SetLogFilename() - "
                                    "Error, invalid parameter, filename string is empty."));
    EXPECT_EQ(receiver.messages.size(), 2u);
    EXPECT_EQ(log.GetFullPath(), path);
    EXPECT_TRUE(notifier.boxes.empty());
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

struct NameCase {
    std::wstring given;
    int result;
    std::wstring target;  // the path opened, or the one that could not be
    std::string file;     // what appears in the test's directory
};

void PrintTo(const NameCase& c, std::ostream* os) {
    *os << '[' << WideToNarrow(c.given) << ']';
}

class LogFileNames : public LogFileTest, public testing::WithParamInterface<NameCase> {};

// Relative names are opened from the working directory; the log is always a .txt file.
TEST_P(LogFileNames, OpenAsTxtFilesOrAreRefused) {
    fs::create_directory(dir.Path() / "logs");
    const WorkingDirectory inside(dir.Path());
    const NameCase& c = GetParam();
    EXPECT_EQ(log.SetLogFilename(c.given), c.result);
    EXPECT_EQ(log.IsOpen(), c.result == 0);
    EXPECT_EQ(log.GetFullPath(), c.result == 0 ? c.target : L"");
    if (c.result == 0) {
        EXPECT_EQ(ReadFileBytes(dir.Path() / c.file), ExpectedHeader(c.target));
    } else {
        ASSERT_EQ(notifier.boxes.size(), 1u);
        EXPECT_EQ(notifier.boxes[0].first, kErrorCaption);
        EXPECT_EQ(notifier.boxes[0].second, OpenErrorText(c.target));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Names, LogFileNames,
    testing::Values(NameCase{L"run.log", 0, L"./run.txt", "run.txt"},
                    NameCase{L"my.run", 0, L"./my.txt", "my.txt"},
                    NameCase{L"logs/.log", 0, L"./logs/FalvoLogFile.txt", "logs/FalvoLogFile.txt"},
                    NameCase{L"..", 0, L"./..txt", "..txt"},
                    // UTF-8 bytes carried one per character, as names from the environment are.
                    NameCase{NarrowToWide("r\xC3\xA9sum\xC3\xA9"), 0,
                             NarrowToWide("./r\xC3\xA9sum\xC3\xA9.txt"),
                             "r\xC3\xA9sum\xC3\xA9.txt"},
                    NameCase{L"missing/run", -1, L"./missing/run.txt", ""},
                    // Characters above Latin-1 have no bytes to name a file with.
                    NameCase{L"\u20AC", -1, L"./\u20AC.txt", ""}));

TEST_F(LogFileTest, PathWithoutNameKeepsThePreviousName) {
    fs::create_directory(dir.Path() / "sub");
    ASSERT_EQ(log.SetLogFilename(dir.File("first.log")), 0);
    ASSERT_EQ(log.SetLogFilename(dir.File("sub/")), 0);
    EXPECT_EQ(log.GetFullPath(), dir.File("sub/first.txt"));
    EXPECT_TRUE(fs::exists(dir.Path() / "sub" / "first.txt"));
}

TEST_F(LogFileTest, SettingTheSameFileAgainChangesNothing) {
    const std::wstring path = Opened();
    const std::string before = Bytes(path);
    EXPECT_EQ(log.SetLogFilename(dir.File("run.cfg")), 0);
    EXPECT_EQ(Bytes(path), before);
    EXPECT_EQ(log.GetFullPath(), path);
}

// The old file keeps the log so far and says where it went; an existing target is replaced.
TEST_F(LogFileTest, NewPathCopiesTheLogAndContinuesThere) {
    const std::wstring oldPath = dir.File("old.txt");
    const std::wstring newPath = dir.File("new.txt");
    WriteFileBytes(fs::path(newPath), "stale content of another run\r\n");
    ASSERT_EQ(log.SetLogFilename(oldPath), 0);
    ASSERT_EQ(log.WriteMessage(LogLevel::Notice, L"before"), 0);

    ASSERT_EQ(log.SetLogFilename(newPath), 0);
    ASSERT_EQ(log.WriteMessage(LogLevel::Notice, L"after"), 0);

    const std::string common = ExpectedHeader(oldPath) + Notice("before");
    EXPECT_EQ(Bytes(oldPath), common + Line("Copying logfile to " + WideToNarrow(newPath)));
    EXPECT_EQ(
        Bytes(newPath),
        common + Line("Log file successfully moved to " + WideToNarrow(newPath)) + Notice("after"));
    EXPECT_EQ(log.GetFullPath(), newPath);
    EXPECT_TRUE(notifier.boxes.empty());
}

TEST_F(LogFileTest, FailedMoveIsReportedInTheOldFileWhichStaysInUse) {
    const std::wstring path = Opened();
    const std::wstring unreachable = dir.File("missing/new.txt");
    EXPECT_EQ(log.SetLogFilename(unreachable), -1);
    EXPECT_EQ(log.WriteMessage(LogLevel::Notice, L"still here"), 0);
    EXPECT_EQ(Bytes(path), ExpectedHeader(path) +
                               Line("Failed to move log file to new location (" +
                                    WideToNarrow(unreachable) + ").") +
                               Notice("still here"));
    EXPECT_EQ(log.GetFullPath(), path);
    EXPECT_TRUE(notifier.boxes.empty());
}

TEST_F(LogFileTest, CloseWritesTheClosingLineOnceAndStopsWriting) {
    log.CloseLogFile();
    const std::wstring path = Opened();
    log.CloseLogFile();
    log.CloseLogFile();
    EXPECT_FALSE(log.IsOpen());
    EXPECT_EQ(log.WriteMessage(LogLevel::Notice, L"too late"), -1);
    EXPECT_EQ(Bytes(path), ExpectedHeader(path) + kClosingBytes);
    ASSERT_EQ(notifier.boxes.size(), 2u);
    EXPECT_EQ(notifier.boxes[1].first, kErrorCaption);
    EXPECT_EQ(notifier.boxes[1].second,
              L"Unable to close Log File.  There is currently not a log file open.");

    // Opened again, the log tells where it went on instead of writing a new header.
    ASSERT_EQ(log.SetLogFilename(dir.File("second.txt")), 0);
    EXPECT_EQ(Bytes(dir.File("second.txt")),
              Line("Log file successfully moved to " + WideToNarrow(dir.File("second.txt"))));
}

// Linux limits names to 255 bytes and paths to 4095: longer parts are refused, not cut.
TEST_F(LogFileTest, NamesAndPathsAreHeldToTheFileSystemLimits) {
    const std::string name(255, 'd');
    const fs::path deep = dir.Path() / name / name / name;
    fs::create_directories(deep);
    ASSERT_EQ(log.SetLogFilename(NarrowToWide((deep / (std::string(251, 'r') + ".log")).string())),
              0);
    const std::wstring opened = log.GetFullPath();

    std::string longPath;
    for (int i = 0; i < 17; ++i) {
        longPath += std::string(250, 'd') + "/";
    }
    for (const std::string& refused : {std::string(256, 'b'), "run." + std::string(252, 'x'),
                                       std::string(256, 'd') + "/run.log", longPath + "run.log"}) {
        notifier.boxes.clear();
        EXPECT_EQ(log.SetLogFilename(dir.File(refused)), -1);
        ASSERT_EQ(notifier.boxes.size(), 1u);
        EXPECT_EQ(notifier.boxes[0].second, OpenErrorText(dir.File(refused)));
    }
    EXPECT_EQ(log.GetFullPath(), opened);
    EXPECT_TRUE(log.IsOpen());
}

TEST(LogFileNotifier, WithoutOneNothingIsPrintedAndASetOneIsUsed) {
    LogFile log;
    testing::internal::CaptureStderr();
    testing::internal::CaptureStdout();
    log.CloseLogFile();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    RecordingNotifier notifier;
    log.SetNotifier(&notifier);
    log.CloseLogFile();
    EXPECT_EQ(notifier.boxes.size(), 1u);
}

TEST_F(LogFileTest, ConcurrentMessagesNeverInterleave) {
    constexpr int kThreads = 4;
    constexpr int kMessages = 250;
    const std::wstring path = Opened();
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([this, t] {
            for (int m = 0; m < kMessages; ++m) {
                log.WriteMessage(LogLevel::Notice, L"thread " + std::to_wstring(t) + L" message " +
                                                       std::to_wstring(m) + std::wstring(40, L'x'));
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }

    const std::string bytes = Bytes(path).substr(ExpectedHeader(path).size());
    const std::regex line(
        "-\\* NOTICE  \\*-  09:05:03\\.007 - (thread (\\d+) message (\\d+)x{40})\r\n");
    std::vector<int> nextPerThread(kThreads, 0);
    std::size_t count = 0;
    long position = 0;
    for (std::sregex_iterator it(bytes.begin(), bytes.end(), line), end; it != end; ++it, ++count) {
        ASSERT_EQ(it->position(), position) << "interleaved";
        position += it->length();
        ASSERT_LT(count, receiver.messages.size());
        EXPECT_EQ(NarrowToWide((*it)[1]), receiver.messages[count].second) << "receiver order";
        // Each thread's own messages stay in the order it wrote them.
        EXPECT_EQ(std::stoi((*it)[3]), nextPerThread.at(std::stoul((*it)[2]))++);
    }
    EXPECT_EQ(count, static_cast<std::size_t>(kThreads * kMessages));
    EXPECT_EQ(position, static_cast<long>(bytes.size()));
}

}  // namespace
