#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "config/FormatCmdLine.h"
#include "foundation/TextConversion.h"
#include "support/FileBytes.h"
#include "support/LogCapture.h"
#include "support/ScopedCommaLocale.h"
#include "support/TempDir.h"

namespace {

using testing::ElementsAre;
using testing::IsEmpty;
using Message = std::pair<LogLevel, std::wstring>;
using NumberedLine = std::pair<int, std::wstring>;
using Switch = void (FormatCmdLine::*)(bool);

const std::wstring kEndOfFile =
    L"FormatCmdLine::GetLineFromFile() - The end of the file has been reached.";
const std::wstring kLineTooLong =
    L"FormatCmdLine::GetLineFromFile() - Error, unable to get next line from file.";
const std::wstring kNoFile =
    L"FormatCmdLine::GetNextLine() - Error, a file in not currently opened.";
const std::wstring kInvalidSyntax =
    L"FormatCmdLine::ProcessLine() - Error, Invalid Syntax, unable to determine what type of line "
    L"to process.";
const std::wstring kVariable = L"FormatCmdLine::ProcessVariableLine() - Error, ";
const std::wstring kNotFound = L"FormatCmdLine::OpenFileCfg() - Could not find the file ";
const std::wstring kOpenFailed =
    L"FormatCmdLine::OpenFileCfg() - Error, attempt to open filename failed.  filename: ";

std::wstring Processing(int number, const std::wstring& rawLine) {
    return L"FormatCmdLine::GetNextLine() - Processing line(" + std::to_wstring(number) + L"): " +
           rawLine;
}

// What one GetNextLine call gave. The outputs start as sentinels so "left as it was" is visible.
struct LineResult {
    int result = 0;
    std::wstring line = L"<unset>";
    int number = -7;
    bool endOfFile = false;
    bool operator==(const LineResult&) const = default;
};

void PrintTo(const LineResult& r, std::ostream* os) {
    *os << "{result " << r.result << ", line " << testing::PrintToString(r.line) << ", number "
        << r.number << ", eof " << r.endOfFile << "}";
}

LineResult Returned(const std::wstring& line, int number) {
    return {0, line, number, false};
}
LineResult Failed(const std::wstring& line, int number) {
    return {-1, line, number, false};
}
const LineResult kAtEnd{0, L"<unset>", -7, true};
const LineResult kNothingToRead{-1, L"<unset>", -7, false};
// A line too long to read: its number, and no text.
LineResult TooLong(int number) {
    return Failed(L"", number);
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

    LineResult Next() {
        LineResult r;
        r.result = reader_.GetNextLine(r.line, r.number, r.endOfFile);
        return r;
    }

    // Every line handed out up to the end of the file; a failure ends the test.
    std::vector<NumberedLine> ReadAll() {
        std::vector<NumberedLine> lines;
        for (LineResult r = Next(); r.result == 0 && !r.endOfFile; r = Next()) {
            lines.emplace_back(r.number, r.line);
        }
        EXPECT_THAT(log_.Errors(), IsEmpty());
        return lines;
    }

    TempDir dir_;
    LogCapture log_{dir_.File("reader-log")};
    FormatCmdLine reader_;
};

// Each case table below gives its rows a `name`: it names the test and is what a failure prints.
template <typename Case>
requires requires(const Case& c) {
    c.name;
}
void PrintTo(const Case& c, std::ostream* os) {
    *os << c.name;
}

struct ByCaseName {
    template <typename Case>
    std::string operator()(const testing::TestParamInfo<Case>& info) const {
        return info.param.name;
    }
};

template <typename Case>
class FormatCmdLineCases : public FormatCmdLineTest, public testing::WithParamInterface<Case> {};

int LinesIn(const std::string& text) {
    return static_cast<int>(std::count(text.begin(), text.end(), '\n'));
}

TEST_F(FormatCmdLineTest, LogsEveryPhysicalLineThenTheEndOfTheFile) {
    Open("# comment\n-AddLED Blue # spare\n\n%V = 1\n");

    EXPECT_EQ(Next(), Returned(L"-AddLED Blue ", 2));
    EXPECT_THAT(log_.messages,
                ElementsAre(Message{LogLevel::Notice, Processing(1, L"# comment")},
                            Message{LogLevel::Notice, Processing(2, L"-AddLED Blue # spare")}));

    // Lines passed over still go through the outputs, so at the end they hold the last one.
    log_.messages.clear();
    EXPECT_EQ(Next(), (LineResult{0, L"%V = 1", 4, true}));
    EXPECT_THAT(log_.messages, ElementsAre(Message{LogLevel::Notice, Processing(3, L"")},
                                           Message{LogLevel::Notice, Processing(4, L"%V = 1")},
                                           Message{LogLevel::Notice, kEndOfFile}));
    EXPECT_EQ(Next(), kAtEnd);
}

struct FilterCase {
    const char* name;
    Switch on;
    std::vector<NumberedLine> expected;
};

using FormatCmdLineFilter = FormatCmdLineCases<FilterCase>;

TEST_P(FormatCmdLineFilter, ReturnsOnlyTheSwitchedOnType) {
    reader_.SetReturnCommandLines(false);
    (reader_.*GetParam().on)(true);
    Open("# hash\n// slash\n%V = 1\n \t %W = 2\n-Cmd %V\n\t -Indented %W\n\n \t \n");
    EXPECT_EQ(ReadAll(), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(LineTypes, FormatCmdLineFilter,
                         testing::Values(FilterCase{"Commands",
                                                    &FormatCmdLine::SetReturnCommandLines,
                                                    {{5, L"-Cmd 1"}, {6, L"\t -Indented 2"}}},
                                         FilterCase{"Comments",
                                                    &FormatCmdLine::SetReturnCommentLines,
                                                    {{1, L"# hash"}, {2, L"// slash"}}},
                                         FilterCase{"Variables",
                                                    &FormatCmdLine::SetReturnVariableLines,
                                                    {{3, L"%V = 1"}, {4, L" \t %W = 2"}}},
                                         FilterCase{"Blanks",
                                                    &FormatCmdLine::SetReturnBlankLines,
                                                    {{7, L""}, {8, L" \t "}}}),
                         ByCaseName());

struct CommandCase {
    const char* name;
    std::string definitions;  // variable lines, each ending in "\n"
    std::string commandLine;
    std::wstring expected;
};

using FormatCmdLineCommand = FormatCmdLineCases<CommandCase>;

TEST_P(FormatCmdLineCommand, IsReturnedCleanedAndSubstituted) {
    const CommandCase& c = GetParam();
    Open(c.definitions + c.commandLine + "\n");
    EXPECT_THAT(ReadAll(), ElementsAre(NumberedLine{LinesIn(c.definitions) + 1, c.expected}));
}

INSTANTIATE_TEST_SUITE_P(
    Comments, FormatCmdLineCommand,
    testing::Values(
        CommandCase{"HashKeepsTheBlankBefore", "", "-AddLED Blue # spare", L"-AddLED Blue "},
        CommandCase{"DoubleSlashBeforeHash", "", "-A x // y # z", L"-A x "},
        // The format has no escape for # or //, so quotes do not protect them.
        CommandCase{"HashInsideQuotesCuts", "", "-AddLED \"LED #2\" 500", L"-AddLED \"LED "},
        CommandCase{"SingleSlashKept", "", "-Load a/b c/", L"-Load a/b c/"},
        CommandCase{"CutBeforeSubstitution", "%V = 5\n", "-R # %V", L"-R "},
        CommandCase{"HashInAValueIsNotCut", "%V = a#b\n", "-R %V", L"-R a#b"},
        CommandCase{"BytesAreLatin1", "", "-A caf\xE9 \xFF", L"-A caf\u00e9 \u00ff"}),
    ByCaseName());

INSTANTIATE_TEST_SUITE_P(
    Substitution, FormatCmdLineCommand,
    testing::Values(
        CommandCase{"EveryOccurrence", "%V = 5\n", "-R %V %V\t%V", L"-R 5 5\t5"},
        CommandCase{"OnlyBeforeABlankOrTheEnd", "%V = 5\n", "-R %Vx %V, x%V", L"-R %Vx %V, x5"},
        CommandCase{"ShorterNameNotInsideLonger", "%A = x\n%AB = y\n", "-R %AB %A", L"-R y x"},
        CommandCase{"CaseSensitiveAndUndefinedStay", "%V = 5\n", "-R %v %W", L"-R %v %W"},
        CommandCase{"ValueWithSpaceIsQuoted", "%N = \"Red LED\"\n", "-S %N 5", L"-S \"Red LED\" 5"},
        CommandCase{"LaterVariableInAValue", "%A = x%B\n%B = y\n", "-R %A", L"-R xy"},
        CommandCase{"EarlierVariableInAValueStays", "%A = 1\n%B = z%A\n", "-R %B", L"-R z%A"},
        CommandCase{"ValueHoldingItsOwnName", "%A = y%A\n", "-R %A %A", L"-R y%A y%A"},
        CommandCase{"RedefinitionReplaces", "%V = 1\n%V = 2\n", "-R %V", L"-R 2"},
        CommandCase{"ArgumentsAfterTheValueIgnored", "%V = 1 2 # three\n", "-R %V", L"-R 1"},
        CommandCase{"ReferenceIsACopy", "%A = 1\n%B = %A\n%A = 2\n", "-R %A %B", L"-R 2 1"}),
    ByCaseName());

INSTANTIATE_TEST_SUITE_P(
    Operators, FormatCmdLineCommand,
    testing::Values(
        CommandCase{"WholeResultLosesDecimals", "%V = 5\n%V += 2\n", "-R %V", L"-R 7"},
        CommandCase{"DivideKeepsTwoDecimals", "%V = 10\n%V /= 4\n", "-R %V", L"-R 2.50"},
        CommandCase{"SubtractBelowZero", "%V = 5\n%V -= 7.5\n", "-R %V", L"-R -2.50"},
        CommandCase{"MultiplyByAReference", "%A = 2\n%B = 0.1\n%A *= %B\n", "-R %A", L"-R 0.20"},
        CommandCase{"SinglePrecision", "%V = 16777216\n%V += 1\n", "-R %V", L"-R 16777216"},
        CommandCase{"TextIsZero", "%V = abc\n%V += 2\n", "-R %V", L"-R 2"},
        CommandCase{"AppendText", "%V = 1\n%V += 2\n%V := x\n", "-R %V", L"-R 3x"}),
    ByCaseName());

// A front end may adopt the operator's locale; the arithmetic must not read "2.5" as 2 there
// or write "2,50".
TEST_F(FormatCmdLineTest, ArithmeticIgnoresACommaLocale) {
    const ScopedCommaLocale comma;
    if (!comma.IsSet()) {
        GTEST_SKIP() << "the locale " << ScopedCommaLocale::kName << " is not installed";
    }
    Open("%V = 10\n%V /= 4\n%W = 2.5\n%W *= 2\n-R %V %W\n");
    EXPECT_THAT(ReadAll(), ElementsAre(NumberedLine{5, L"-R 2.50 5"}));
}

struct FailingLineCase {
    const char* name;
    std::string definitions;
    std::string failingLine;
    std::wstring expectedError;
};

using FormatCmdLineFailingLine = FormatCmdLineCases<FailingLineCase>;

TEST_P(FormatCmdLineFailingLine, IsHandedOutWithItsNumberAndReadingGoesOn) {
    const FailingLineCase& c = GetParam();
    Open(c.definitions + c.failingLine + "\n-After %X\n");
    const int number = LinesIn(c.definitions) + 1;

    EXPECT_EQ(Next(), Failed(NarrowToWide(c.failingLine), number));
    EXPECT_THAT(log_.Errors(), ElementsAre(c.expectedError));
    // %X is never defined by these files.
    EXPECT_EQ(Next(), Returned(L"-After %X", number + 1));
}

INSTANTIATE_TEST_SUITE_P(
    Lines, FormatCmdLineFailingLine,
    testing::Values(
        FailingLineCase{"SingleSlash", "", "/ x", kInvalidSyntax},
        FailingLineCase{"Letter", "# c\n", "AddLED Blue", kInvalidSyntax},
        FailingLineCase{"NoBreakSpaceIsNotBlank", "", "\xA0-A", kInvalidSyntax},
        FailingLineCase{"VariableWithoutBlanks", "", "%X=5",
                        kVariable +
                            L"Invalid number of arguments, unable to process variable "
                            L"substitution line.  A variable substitution line must "
                            L"contain a variable, operator and a value.  commandLine: %X=5"},
        FailingLineCase{"EmptyValue", "", "%X = \"\"",
                        kVariable + L"Invalid Syntax for variable operation, not all parameters "
                                    L"present."},
        FailingLineCase{"UnknownOperator", "", "%X == 5",
                        kVariable + L"Invalid Syntax for variable operation, unknown operator: =="},
        FailingLineCase{"MissingReference", "", "%X = %Y",
                        kVariable + L"Invalid Syntax, Macro substitution value not found, value = "
                                    L"%Y"},
        FailingLineCase{"ModifyUndefinedCaseSensitive", "%x = 1\n", "%X += 1",
                        kVariable + L"Invalid Syntax, Attempting to modify a variable that does "
                                    L"not exist."},
        // 999 characters are accepted: otherwise the definitions would fail first.
        FailingLineCase{
            "AppendBeyondTheLineLength",
            "%V = " + std::string(500, 'a') + "\n%V := " + std::string(499, 'b') + "\n", "%V := c",
            kVariable + L"the value of variable %V would be longer than 999 characters."},
        FailingLineCase{"UnmatchedQuote", "", "%X = \"A B",
                        L"MiscFunctions::ParseCommandString() - Error Processing command(%X = "
                        L"\"A B) string, unable to find matching double quotes."}),
    ByCaseName());

// Operators carry files between Windows and Linux: only the CR directly before an LF goes.
TEST_F(FormatCmdLineTest, EndsLinesAsTextModeDoes) {
    reader_.SetReturnBlankLines(true);
    Open("%V = 5\r\n-A %V\r\n\r\n-B x\ry\n-C\r\r\n-D\r");
    EXPECT_THAT(ReadAll(), ElementsAre(NumberedLine{2, L"-A 5"}, NumberedLine{3, L""},
                                       NumberedLine{4, L"-B x\ry"}, NumberedLine{5, L"-C\r"},
                                       NumberedLine{6, L"-D\r"}));
}

std::string CommandOfLength(std::size_t bytes) {
    return "-" + std::string(bytes - 1, 'x');
}

// 999 bytes fit the line buffer; a longer line fails alone and keeps its number.
TEST_F(FormatCmdLineTest, LinesFailOnlyFromOneThousandBytes) {
    Open("# c\n" + CommandOfLength(999) + "\r\n" + CommandOfLength(1000) + "\n" +
         CommandOfLength(5000) + "\n-B\n" + CommandOfLength(999) + "\r");
    const std::vector<LineResult> expected = {Returned(NarrowToWide(CommandOfLength(999)), 2),
                                              TooLong(3),
                                              TooLong(4),
                                              Returned(L"-B", 5),
                                              TooLong(6),
                                              kAtEnd};
    for (const LineResult& result : expected) {
        EXPECT_EQ(Next(), result);
    }
    EXPECT_EQ(log_.Errors(), std::vector<std::wstring>(3, kLineTooLong));
}

TEST_F(FormatCmdLineTest, SubstitutionMayGrowACommandLineTo999Characters) {
    const std::string value = std::string(500, 'v') + "\n%V := " + std::string(496, 'w');
    Open("%V = " + value + "\n-R %V\n-R %V x\n-After\n");

    EXPECT_EQ(Next(), Returned(L"-R " + std::wstring(500, L'v') + std::wstring(496, L'w'), 3));
    EXPECT_THAT(log_.Errors(), IsEmpty());
    // The failing line is handed out as it was before substitution, and reading goes on.
    EXPECT_EQ(Next(), Failed(L"-R %V x", 4));
    EXPECT_THAT(log_.Errors(), ElementsAre(L"FormatCmdLine::ProcessCommandLine() - Error, the line "
                                           L"is longer than 999 characters after macro "
                                           L"substitution."));
    EXPECT_EQ(Next(), Returned(L"-After", 5));
}

// A name that exists but is no file leaves an unopened stream that reads as ended.
TEST_F(FormatCmdLineTest, OpenFailuresAreLoggedAndNothingIsRead) {
    ::mkfifo((dir_.Path() / "fifo").c_str(), 0600);  // would block the open
    WriteFileBytes(dir_.Path() / "huge.cfg", "");
    std::filesystem::resize_file(dir_.Path() / "huge.cfg", FormatCmdLine::kMaxFileBytes + 1);
    const std::wstring quoteOnly = L"\"" + WriteCfg("-A\n");
    const struct {
        std::wstring name;
        std::wstring error;
        bool exists;
    } cases[] = {
        {dir_.File("missing.cfg"), kNotFound + dir_.File("missing.cfg") + L".", false},
        {dir_.File("fifo"), kOpenFailed + dir_.File("fifo") + L".", true},
        {dir_.Path().wstring(), kOpenFailed + dir_.Path().wstring() + L".", true},
        {dir_.File("huge.cfg"),
         L"FormatCmdLine::OpenFileCfg() - Error, the file is larger than 64 MB, too large for a "
         L"command file.  filename: " +
             dir_.File("huge.cfg") + L".",
         true},
        {quoteOnly,
         L"MiscFunctions::TrimQuotesFromString() - Error processing string, unable to find "
         L"leading and trailing double quotes from string: " +
             quoteOnly,
         false}};
    for (const auto& c : cases) {
        Open("-Previous\n", "previous.cfg");
        EXPECT_EQ(reader_.OpenFileCfg(c.name), -1);
        EXPECT_EQ(Next(), c.exists ? kAtEnd : kNothingToRead) << WideToNarrow(c.name);
        EXPECT_THAT(log_.messages, ElementsAre(Message{LogLevel::Error, c.error},
                                               c.exists ? Message{LogLevel::Notice, kEndOfFile}
                                                        : Message{LogLevel::Error, kNoFile}));
    }
}

// A file of many lines notes each in the log up to a cap, then warns once and goes on reading.
TEST_F(FormatCmdLineTest, NotesNoMoreThanTheCapOfLines) {
    constexpr int kCap = FormatCmdLine::kMaxLineNotices;
    std::string bytes;
    for (int i = 0; i < kCap + 2; ++i) {
        bytes += "#\n";
    }
    Open(bytes + "-Last\n");
    EXPECT_EQ(Next(), Returned(L"-Last", kCap + 3));
    ASSERT_EQ(log_.messages.size(), static_cast<std::size_t>(kCap + 1));
    EXPECT_EQ(log_.messages[kCap],
              (Message{LogLevel::Warning,
                       L"FormatCmdLine::GetNextLine() - The file " + dir_.File("test.cfg") +
                           L" has more than 200000 lines; the lines after that are not noted in "
                           L"the log."}));
}

TEST_F(FormatCmdLineTest, EachOpenStartsOverAndClosingEndsReading) {
    EXPECT_EQ(Next(), kNothingToRead);
    Open("%V = 1\n-A %V\n%V += 1\n-B %V\n", "first.cfg");
    EXPECT_EQ(Next(), Returned(L"-A 1", 2));
    EXPECT_EQ(Next(), Returned(L"-B 2", 4));

    // Variables and line numbers live for one file; a quoted name opens without its quotes.
    const std::wstring second = WriteCfg("-C %V\n-D\n", "second.cfg");
    ASSERT_EQ(reader_.OpenFileCfg(L"\"" + second + L"\""), 0);
    EXPECT_EQ(reader_.GetFileName(), second);
    EXPECT_EQ(Next(), Returned(L"-C %V", 1));
    reader_.CloseFile();
    EXPECT_EQ(Next(), kAtEnd);
}

TEST(FormatCmdLineWithoutLog, BehavesTheSame) {
    TempDir dir;
    WriteFileBytes(dir.Path() / "a.cfg", "%V = 2\nbad\n-A %V\n");
    FormatCmdLine reader;
    reader.SetReturnCommandLines(true);
    EXPECT_EQ(reader.OpenFileCfg(dir.File("missing.cfg")), -1);
    ASSERT_EQ(reader.OpenFileCfg(dir.File("a.cfg")), 0);
    std::wstring line;
    int number = 0;
    bool endOfFile = false;
    EXPECT_EQ(reader.GetNextLine(line, number, endOfFile), -1);
    EXPECT_EQ(reader.GetNextLine(line, number, endOfFile), 0);
    EXPECT_EQ(line, L"-A 2");
}

}  // namespace
