#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "config/FormatCmdLine.h"
#include "foundation/TextConversion.h"
#include "support/FileBytes.h"
#include "support/LogCapture.h"
#include "support/ScopedCommaLocale.h"
#include "support/TempDir.h"

namespace {

using testing::ElementsAre, testing::IsEmpty;
using Message = std::pair<LogLevel, std::wstring>;
using NumberedLine = std::pair<int, std::wstring>;

const std::wstring kReader = L"FormatCmdLine::";
const std::wstring kEndOfFile =
    kReader + L"GetLineFromFile() - The end of the file has been reached.";
const std::wstring kLineTooLong =
    kReader + L"GetLineFromFile() - Error, unable to get next line from file.";
const std::wstring kInvalidSyntax = kReader +
                                    L"ProcessLine() - Error, Invalid Syntax, unable to determine "
                                    L"what type of line to process.";
const std::wstring kVariable = kReader + L"ProcessVariableLine() - Error, ";
const std::wstring kOpenFailed =
    kReader + L"OpenFileCfg() - Error, attempt to open filename failed.  filename: ";

Message Processing(int number, const std::wstring& rawLine) {
    return {LogLevel::Notice, kReader + L"GetNextLine() - Processing line(" +
                                  std::to_wstring(number) + L"): " + rawLine};
}

// What one GetNextLine call gave: result, line, number, end of file. The outputs start as
// sentinels so "left as it was" is visible.
using Got = std::tuple<int, std::wstring, int, bool>;
Got Returned(const std::wstring& line, int number) {
    return {0, line, number, false};
}
Got Failed(const std::wstring& line, int number) {
    return {-1, line, number, false};
}
const Got kAtEnd{0, L"<unset>", -7, true};
const Got kNothingToRead{-1, L"<unset>", -7, false};

// %V defined with 996 characters: "-R %V" grows to 999, the most a command line may hold.
const std::string kLongV =
    "%V = " + std::string(500, 'v') + "\n%V := " + std::string(496, 'w') + "\n";

int LinesIn(const std::string& text) {
    return static_cast<int>(std::count(text.begin(), text.end(), '\n'));
}

class FormatCmdLineTest : public testing::Test {
  protected:
    FormatCmdLineTest() {
        reader_.SetLogFile(&log_);
        reader_.SetReturnCommandLines(true);
    }

    std::wstring WriteCfg(const std::string& bytes, const std::string& name = "test.cfg") {
        WriteFileBytes(dir_.Path() / name, bytes);
        return dir_.File(name);
    }

    // Writes and opens the file; the recorded messages then start with its first line.
    void Open(const std::string& bytes, const std::string& name = "test.cfg") {
        ASSERT_EQ(reader_.OpenFileCfg(WriteCfg(bytes, name)), 0);
        log_.messages.clear();
    }

    Got Next() {
        Got r{0, L"<unset>", -7, false};
        std::get<0>(r) = reader_.GetNextLine(std::get<1>(r), std::get<2>(r), std::get<3>(r));
        return r;
    }

    // Every line handed out up to the end of the file; a failure ends the list.
    std::vector<NumberedLine> ReadAll() {
        std::vector<NumberedLine> lines;
        for (Got r = Next(); std::get<0>(r) == 0 && !std::get<3>(r); r = Next())
            lines.emplace_back(std::get<2>(r), std::get<1>(r));
        EXPECT_THAT(log_.Errors(), IsEmpty());
        return lines;
    }

    TempDir dir_;
    LogCapture log_{dir_.File("reader-log")};
    FormatCmdLine reader_;
};

TEST_F(FormatCmdLineTest, LogsEveryPhysicalLineThenTheEndOfTheFile) {
    Open("# comment\n-AddLED Blue # spare\n\n%V = 1\n");
    EXPECT_EQ(Next(), Returned(L"-AddLED Blue ", 2));
    // Lines passed over still go through the outputs, so at the end they hold the last one.
    EXPECT_EQ(Next(), (Got{0, L"%V = 1", 4, true}));
    EXPECT_THAT(log_.messages,
                ElementsAre(Processing(1, L"# comment"), Processing(2, L"-AddLED Blue # spare"),
                            Processing(3, L""), Processing(4, L"%V = 1"),
                            Message{LogLevel::Notice, kEndOfFile}));
    EXPECT_EQ(Next(), kAtEnd);
}

TEST_F(FormatCmdLineTest, ReturnsOnlyTheSwitchedOnLineType) {
    const std::pair<void (FormatCmdLine::*)(bool), std::vector<NumberedLine>> rows[] = {
        {&FormatCmdLine::SetReturnCommandLines, {{5, L"-Cmd 1"}, {6, L"\t -Indented 2"}}},
        {&FormatCmdLine::SetReturnCommentLines, {{1, L"# hash"}, {2, L"// slash"}}},
        {&FormatCmdLine::SetReturnVariableLines, {{3, L"%V = 1"}, {4, L" \t %W = 2"}}},
        {&FormatCmdLine::SetReturnBlankLines, {{7, L""}, {8, L" \t "}}}};
    reader_.SetReturnCommandLines(false);
    for (const auto& [on, expected] : rows) {
        (reader_.*on)(true);
        Open("# hash\n// slash\n%V = 1\n \t %W = 2\n-Cmd %V\n\t -Indented %W\n\n \t \n");
        EXPECT_EQ(ReadAll(), expected);
        (reader_.*on)(false);
    }
}

// Each row: variable lines, one command line, and that command as handed out. The rows run
// again where a comma locale is installed: the arithmetic must not read "2.5" as 2 there.
TEST_F(FormatCmdLineTest, CommandLinesAreCutAtCommentsAndSubstituted) {
    const struct {
        std::string definitions, command;
        std::wstring expected;
    } rows[] = {
        {"", "-A x // y # z", L"-A x "},
        {"", "-Load a/b c/ caf\xE9", L"-Load a/b c/ caf\u00e9"},
        {"%V = a#b\n", "-R %V # %V", L"-R a#b "},
        // Every occurrence, but only before a blank or the end; %V not inside %VV; case counts.
        {"%V = 5\n%VV = w\n", "-R %V %V\t%V %Vx x%V %VV %v %W", L"-R 5 5\t5 %Vx x5 w %v %W"},
        // Later variables in a value are replaced in their turn, earlier ones are not.
        {"%A = x%B\n%B = y\n%C = 1\n%D = z%C\n", "-R %A %D", L"-R xy z%C"},
        {"%A = y%A\n", "-R %A %A", L"-R y%A y%A"},
        // Arguments after the value are ignored, a reference is a copy, "=" redefines.
        {"%A = 1 2 # c\n%B = %A\n%A = 2\n", "-R %A %B", L"-R 2 1"},
        {"%V = 5\n%V += 2\n%W = 10\n%W /= 4\n", "-R %V %W", L"-R 7 2.50"},
        {"%A = 2\n%B = 0.1\n%A *= %B\n%A -= 7.5\n", "-R %A", L"-R -7.30"},
        {kLongV, "-R %V", L"-R " + std::wstring(500, L'v') + std::wstring(496, L'w')},
        {"%V = 16777216\n%V += 1\n%T = abc\n%T += 2\n%T := x\n", "-R %V %T", L"-R 16777216 2x"}};
    const auto check = [&] {
        for (const auto& row : rows) {
            Open(row.definitions + row.command + "\n");
            EXPECT_THAT(ReadAll(),
                        ElementsAre(NumberedLine{LinesIn(row.definitions) + 1, row.expected}));
        }
    };
    check();
    const ScopedCommaLocale comma;
    if (comma.IsSet())
        check();
}

TEST_F(FormatCmdLineTest, FailingLineIsHandedOutWithItsNumberAndReadingGoesOn) {
    const struct {
        std::string definitions, failingLine;
        std::wstring error;
    } rows[] = {
        {"", "/ x", kInvalidSyntax},
        {"",
         {"-SetIntensity Blue 7\0junk", 25},
         kReader + L"ProcessLine() - Error, the line holds a NUL byte, which a command file cannot "
                   L"hold."},
        {"# c\n", "\xA0-A", kInvalidSyntax},
        {"", "%X=5",
         kVariable + L"Invalid number of arguments, unable to process variable substitution line.  "
                     L"A variable substitution line must contain a variable, operator and a "
                     L"value.  commandLine: %X=5"},
        {"", "%X = \"\"",
         kVariable + L"Invalid Syntax for variable operation, not all parameters "
                     L"present."},
        {"", "%X == 5", kVariable + L"Invalid Syntax for variable operation, unknown operator: =="},
        {"", "%X = %Y",
         kVariable + L"Invalid Syntax, Macro substitution value not found, value = %Y"},
        {"%x = 1\n", "%X += 1",
         kVariable + L"Invalid Syntax, Attempting to modify a variable that does not exist."},
        // 999 characters are accepted: otherwise the definitions would fail first.
        {kLongV + "%V := abc\n", "%V := d",
         kVariable + L"the value of variable %V would be longer than 999 characters."},
        // The line is handed out as it was before substitution.
        {kLongV, "-R %V x",
         kReader + L"ProcessCommandLine() - Error, the line is longer than 999 characters after "
                   L"macro substitution."}};
    for (const auto& row : rows) {
        Open(row.definitions + row.failingLine + "\n-After %X\n");
        const int number = LinesIn(row.definitions) + 1;
        EXPECT_EQ(Next(), Failed(NarrowToWide(row.failingLine), number));
        EXPECT_THAT(log_.Errors(), ElementsAre(row.error));
        EXPECT_EQ(Next(), Returned(L"-After %X", number + 1));
    }
}

std::string CommandOfLength(std::size_t bytes) {
    std::string command(bytes, 'x');
    command.front() = '-';
    return command;
}

// Operators carry files between Windows and Linux: only the CR directly before an LF goes.
// 999 bytes fit the line buffer; a longer line fails alone, with no text, and keeps its number.
TEST_F(FormatCmdLineTest, EndsLinesAsTextModeDoesAndFailsOnlyFromOneThousandBytes) {
    reader_.SetReturnBlankLines(true);
    Open("%V = 5\r\n-A %V\r\n\r\n-B x\ry\n-C\r\r\n" + CommandOfLength(999) + "\r\n" +
         CommandOfLength(1000) + "\n" + CommandOfLength(5000) + "\n-D\n" + CommandOfLength(999) +
         "\r");
    for (const Got& expected :
         {Returned(L"-A 5", 2), Returned(L"", 3), Returned(L"-B x\ry", 4), Returned(L"-C\r", 5),
          Returned(NarrowToWide(CommandOfLength(999)), 6), Failed(L"", 7), Failed(L"", 8),
          Returned(L"-D", 9), Failed(L"", 10), kAtEnd})
        EXPECT_EQ(Next(), expected);
    EXPECT_EQ(log_.Errors(), std::vector<std::wstring>(3, kLineTooLong));
}

// A name that exists but is no file leaves an unopened stream that reads as ended (a fifo
// would block the open). The missing-file message is pinned by the application tests.
TEST_F(FormatCmdLineTest, OpenFailuresAreLoggedAndNothingIsRead) {
    ::mkfifo((dir_.Path() / "fifo").c_str(), 0600);
    const std::wstring huge = WriteCfg("", "huge.cfg");
    std::filesystem::resize_file(dir_.Path() / "huge.cfg", FormatCmdLine::kMaxFileBytes + 1);
    const std::pair<std::wstring, std::wstring> rows[] = {
        {dir_.File("fifo"), kOpenFailed + dir_.File("fifo") + L"."},
        {huge, kReader +
                   L"OpenFileCfg() - Error, the file is larger than 64 MB, too large for a "
                   L"command file.  filename: " +
                   huge + L"."}};
    for (const auto& [name, error] : rows) {
        Open("-Previous\n", "previous.cfg");
        EXPECT_EQ(reader_.OpenFileCfg(name), -1);
        EXPECT_EQ(Next(), kAtEnd) << WideToNarrow(name);
        EXPECT_THAT(log_.messages, ElementsAre(Message{LogLevel::Error, error},
                                               Message{LogLevel::Notice, kEndOfFile}));
    }
}

// A file that grows past the size limit after the open stops there; the cut line does not run.
TEST_F(FormatCmdLineTest, AFileGrowingPastTheLimitStopsThere) {
    Open("-A\n-B");
    std::filesystem::resize_file(dir_.Path() / "test.cfg", FormatCmdLine::kMaxFileBytes + 1);
    for (const Got& expected : {Returned(L"-A", 1), Failed(L"", 1), kAtEnd})
        EXPECT_EQ(Next(), expected);
    EXPECT_THAT(log_.Errors(), ElementsAre(kReader +
                                           L"GetLineFromFile() - Error, the file is larger "
                                           L"than 64 MB, too large for a command file.  "
                                           L"filename: " +
                                           dir_.File("test.cfg") + L"."));
}

// A file of many lines notes each in the log up to a cap, then warns once and goes on reading.
TEST_F(FormatCmdLineTest, NotesNoMoreThanTheCapOfLines) {
    constexpr int kCap = FormatCmdLine::kMaxLineNotices;
    std::string bytes;
    for (int i = 0; i < kCap + 2; ++i)
        bytes += "#\n";
    Open(bytes + "-Last\n");
    EXPECT_EQ(Next(), Returned(L"-Last", kCap + 3));
    ASSERT_EQ(log_.messages.size(), static_cast<std::size_t>(kCap + 1));
    EXPECT_EQ(
        log_.messages[kCap],
        (Message{LogLevel::Warning, kReader + L"GetNextLine() - The file " + dir_.File("test.cfg") +
                                        L" has more than 200000 lines; the lines after "
                                        L"that are not noted in the log."}));
}

// Without a log too: variables and line numbers live for one file, and a quoted name opens
// without its quotes.
TEST_F(FormatCmdLineTest, EachOpenStartsOverAndClosingEndsReading) {
    EXPECT_EQ(Next(), kNothingToRead);
    EXPECT_THAT(log_.Errors(),
                ElementsAre(kReader + L"GetNextLine() - Error, a file in not currently opened."));
    reader_.SetLogFile(nullptr);
    Open("%V = 1\n-A %V\nbad\n%V += 1\n-B %V\n", "first.cfg");
    EXPECT_EQ(Next(), Returned(L"-A 1", 2));
    EXPECT_EQ(Next(), Failed(L"bad", 3));
    EXPECT_EQ(Next(), Returned(L"-B 2", 5));

    const std::wstring second = WriteCfg("-C %V\n-D\n", "second.cfg");
    ASSERT_EQ(reader_.OpenFileCfg(L"\"" + second + L"\""), 0);
    EXPECT_EQ(reader_.GetFileName(), second);
    EXPECT_EQ(Next(), Returned(L"-C %V", 1));
    reader_.CloseFile();
    EXPECT_EQ(Next(), kAtEnd);
    EXPECT_THAT(log_.messages, IsEmpty());
}

}  // namespace
