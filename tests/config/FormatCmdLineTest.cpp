#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <functional>
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
const std::wstring kTooFewArguments =
    L"FormatCmdLine::ProcessVariableLine() - Error, Invalid number of arguments, unable to "
    L"process variable substitution line.  A variable substitution line must contain a variable, "
    L"operator and a value.  commandLine: ";
const std::wstring kMissingParameter =
    L"FormatCmdLine::ProcessVariableLine() - Error, Invalid Syntax for variable operation, not "
    L"all parameters present.";
const std::wstring kUnknownOperator =
    L"FormatCmdLine::ProcessVariableLine() - Error, Invalid Syntax for variable operation, "
    L"unknown operator: ";
const std::wstring kReferenceNotFound =
    L"FormatCmdLine::ProcessVariableLine() - Error, Invalid Syntax, Macro substitution value not "
    L"found, value = ";
const std::wstring kModifyUndefined =
    L"FormatCmdLine::ProcessVariableLine() - Error, Invalid Syntax, Attempting to modify a "
    L"variable that does not exist.";
const std::wstring kUnmatchedQuote =
    L"MiscFunctions::ParseCommandString() - Error Processing command(";
const std::wstring kLineTooLongAfterSubstitution =
    L"FormatCmdLine::ProcessCommandLine() - Error, the line is longer than 999 characters after "
    L"macro substitution.";
const std::wstring kOneQuote =
    L"MiscFunctions::TrimQuotesFromString() - Error processing string, unable to find leading and "
    L"trailing double quotes from string: ";

std::wstring ValueTooLong(const std::wstring& name) {
    return L"FormatCmdLine::ProcessVariableLine() - Error, the value of variable " + name +
           L" would be longer than 999 characters.";
}

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
const LineResult kReadFailure{-1, L"<unset>", -7, false};
// A line too long to read: its number, and no text.
LineResult TooLong(int number) {
    return Failed(L"", number);
}

class FormatCmdLineTest : public testing::Test {
  protected:
    FormatCmdLineTest() {
        reader_.SetLogFile(&log_);
        reader_.SetReturnCommandLines(true);
        log_.messages.clear();
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
        for (int guard = 0; guard < 10000; ++guard) {
            const LineResult r = Next();
            EXPECT_EQ(r.result, 0) << testing::PrintToString(r);
            if (r.result != 0 || r.endOfFile) {
                break;
            }
            lines.emplace_back(r.number, r.line);
        }
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

// ---------------------------------------------------------------------------------------------
// Reading, notices and the end of the file

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
}

TEST_F(FormatCmdLineTest, KeepsReportingTheEndOfTheFile) {
    Open("-A\n");
    EXPECT_EQ(Next(), Returned(L"-A", 1));
    EXPECT_EQ(Next(), kAtEnd);
    EXPECT_EQ(Next(), kAtEnd);
    EXPECT_THAT(log_.Errors(), IsEmpty());
}

TEST_F(FormatCmdLineTest, EmptyFileIsAtItsEndAtOnce) {
    Open("");
    EXPECT_EQ(Next(), kAtEnd);
    EXPECT_THAT(log_.messages, ElementsAre(Message{LogLevel::Notice, kEndOfFile}));
}

// ---------------------------------------------------------------------------------------------
// Line types and the filter

const std::string kMixedFile =
    "# hash comment\n"
    "// slash comment\n"
    " \t# indented comment\n"
    "%V = 1\n"
    "\t %W = 2\n"
    "-Cmd %V\n"
    "\t  -Indented %W\n"
    "\n"
    " \t \n"
    "-Last\n";

struct FilterCase {
    const char* name;
    std::vector<Switch> switches;
    std::vector<NumberedLine> expected;
};

using FormatCmdLineFilter = FormatCmdLineCases<FilterCase>;

TEST_P(FormatCmdLineFilter, ReturnsOnlyTheSwitchedOnTypes) {
    reader_.SetReturnCommandLines(false);
    for (Switch on : GetParam().switches) {
        (reader_.*on)(true);
    }
    Open(kMixedFile);
    EXPECT_EQ(ReadAll(), GetParam().expected);
    EXPECT_THAT(log_.Errors(), IsEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    LineTypes, FormatCmdLineFilter,
    testing::Values(
        FilterCase{"Nothing", {}, {}},
        FilterCase{"Commands",
                   {&FormatCmdLine::SetReturnCommandLines},
                   {{6, L"-Cmd 1"}, {7, L"\t  -Indented 2"}, {10, L"-Last"}}},
        FilterCase{
            "Comments",
            {&FormatCmdLine::SetReturnCommentLines},
            {{1, L"# hash comment"}, {2, L"// slash comment"}, {3, L" \t# indented comment"}}},
        FilterCase{"Variables",
                   {&FormatCmdLine::SetReturnVariableLines},
                   {{4, L"%V = 1"}, {5, L"\t %W = 2"}}},
        FilterCase{"Blanks", {&FormatCmdLine::SetReturnBlankLines}, {{8, L""}, {9, L" \t "}}},
        FilterCase{"CommentsAndBlanks",
                   {&FormatCmdLine::SetReturnCommentLines, &FormatCmdLine::SetReturnBlankLines},
                   {{1, L"# hash comment"},
                    {2, L"// slash comment"},
                    {3, L" \t# indented comment"},
                    {8, L""},
                    {9, L" \t "}}}),
    ByCaseName());

struct BadLineCase {
    const char* name;
    std::string rawLine;
    std::wstring expectedLine;
};

using FormatCmdLineBadFirstCharacter = FormatCmdLineCases<BadLineCase>;

TEST_P(FormatCmdLineBadFirstCharacter, FailsWithTheLineAndReadingGoesOn) {
    Open("# first\n" + GetParam().rawLine + "\n-Next\n");

    EXPECT_EQ(Next(), Failed(GetParam().expectedLine, 2));
    EXPECT_THAT(log_.messages,
                ElementsAre(Message{LogLevel::Notice, Processing(1, L"# first")},
                            Message{LogLevel::Notice, Processing(2, GetParam().expectedLine)},
                            Message{LogLevel::Error, kInvalidSyntax}));
    EXPECT_EQ(Next(), Returned(L"-Next", 3));
}

INSTANTIATE_TEST_SUITE_P(
    FirstCharacters, FormatCmdLineBadFirstCharacter,
    testing::Values(BadLineCase{"SingleSlash", "/ not a comment", L"/ not a comment"},
                    BadLineCase{"SlashAlone", "/", L"/"},
                    BadLineCase{"SlashBlankSlash", "/ /", L"/ /"},
                    BadLineCase{"Digit", "7 -AddLED", L"7 -AddLED"},
                    BadLineCase{"Letter", "AddLED Blue", L"AddLED Blue"},
                    BadLineCase{"LetterAfterBlanks", " \tx", L" \tx"},
                    BadLineCase{"QuotedCommand", "\"-AddLED\"", L"\"-AddLED\""},
                    BadLineCase{"NoBreakSpaceIsNotBlank", "\xA0-A", L"\u00a0-A"},
                    BadLineCase{"LoneCarriageReturnIsNotBlank", "\r-A", L"\r-A"}),
    ByCaseName());

// ---------------------------------------------------------------------------------------------
// Command lines: comments, variables, substitution

struct CommandCase {
    const char* name;
    std::string definitions;  // variable lines, each ending in "\n"
    std::string commandLine;
    std::wstring expected;
};

class FormatCmdLineCommand : public FormatCmdLineCases<CommandCase> {
  protected:
    void ExpectReturnedCleanedAndSubstituted(const CommandCase& c) {
        Open(c.definitions + c.commandLine + "\n");
        const int number =
            static_cast<int>(std::count(c.definitions.begin(), c.definitions.end(), '\n')) + 1;

        EXPECT_THAT(ReadAll(), ElementsAre(NumberedLine{number, c.expected}));
        EXPECT_THAT(log_.Errors(), IsEmpty());
    }
};

TEST_P(FormatCmdLineCommand, IsReturnedCleanedAndSubstituted) {
    ExpectReturnedCleanedAndSubstituted(GetParam());
}

INSTANTIATE_TEST_SUITE_P(
    Comments, FormatCmdLineCommand,
    testing::Values(
        CommandCase{"HashKeepsTheBlankBefore", "", "-AddLED Blue # spare", L"-AddLED Blue "},
        CommandCase{"HashDirectlyAfterAWord", "", "-AddLED Blue#spare", L"-AddLED Blue"},
        CommandCase{"TabBeforeHashKept", "", "-A\t# c", L"-A\t"},
        CommandCase{"DoubleSlash", "", "-AddLED Blue // spare", L"-AddLED Blue "},
        CommandCase{"DoubleSlashBeforeHash", "", "-A x // y # z", L"-A x "},
        CommandCase{"HashBeforeDoubleSlash", "", "-A x # y // z", L"-A x "},
        CommandCase{"HashInsideQuotes", "", "-AddLED \"LED #2\" 500", L"-AddLED \"LED "},
        CommandCase{"DoubleSlashInsideQuotes", "", "-Load \"C://x\"", L"-Load \"C:"},
        CommandCase{"SingleSlashKept", "", "-Load a/b c/", L"-Load a/b c/"},
        CommandCase{"LeadingBlanksKept", "", "  \t-AddLED Blue", L"  \t-AddLED Blue"},
        CommandCase{"DashAlone", "", "-", L"-"},
        CommandCase{"CutBeforeSubstitution", "%V = 5\n", "-R # %V", L"-R "},
        CommandCase{"HashInAValueIsNotCut", "%V = a#b\n", "-R %V", L"-R a#b"}),
    ByCaseName());

INSTANTIATE_TEST_SUITE_P(Bytes, FormatCmdLineCommand,
                         testing::Values(CommandCase{"EachBecomesTheCharacterOfTheSameNumber", "",
                                                     std::string("-AddLED caf\xE9 \xFF\x01", 15),
                                                     L"-AddLED caf\u00e9 \u00ff\u0001"},
                                         CommandCase{"ZeroInsideALineKept", "",
                                                     std::string("-A x\0y", 6),
                                                     std::wstring(L"-A x\0y", 6)}),
                         ByCaseName());

INSTANTIATE_TEST_SUITE_P(
    Substitution, FormatCmdLineCommand,
    testing::Values(
        CommandCase{"AtTheEnd", "%V = 5\n", "-R %V", L"-R 5"},
        CommandCase{"FollowedBySpace", "%V = 5\n", "-R %V x", L"-R 5 x"},
        CommandCase{"FollowedByTab", "%V = 5\n", "-R %V\tx", L"-R 5\tx"},
        CommandCase{"FollowedByOtherText", "%V = 5\n", "-R %Vx %V, %V\"", L"-R %Vx %V, %V\""},
        CommandCase{"TextBeforeIsNotExamined", "%V = 5\n", "-R x%V", L"-R x5"},
        CommandCase{"EveryOccurrence", "%V = 5\n", "-R %V %V\t%V", L"-R 5 5\t5"},
        CommandCase{"AdjacentNames", "%A = x\n", "-R %A%A", L"-R %Ax"},
        CommandCase{"ShorterNameDoesNotMatchInsideLonger", "%A = x\n%AB = y\n", "-R %AB %A",
                    L"-R y x"},
        CommandCase{"LongerNameDefinedFirst", "%AB = y\n%A = x\n", "-R %AB %A", L"-R y x"},
        CommandCase{"NamesAreCaseSensitive", "%V = 5\n", "-R %v", L"-R %v"},
        CommandCase{"UndefinedNameStays", "%V = 5\n", "-R %W", L"-R %W"},
        CommandCase{"ValueWithSpaceIsQuoted", "%N = \"Red LED\"\n", "-SetIntensity %N 5",
                    L"-SetIntensity \"Red LED\" 5"},
        // The tokenizer turns a tab inside quotes into a blank, so such a value is quoted too.
        CommandCase{"ValueWithTabArrivesAsSpace", "%N = \"Red\tLED\"\n", "-R %N",
                    L"-R \"Red LED\""},
        CommandCase{"LaterVariableInAValueIsSubstituted", "%A = x%B\n%B = y\n", "-R %A", L"-R xy"},
        CommandCase{"LaterVariableAfterSpaceInAValue", "%A = \"x %B\"\n%B = y\n", "-R %A",
                    L"-R \"x %B\""},
        CommandCase{"EarlierVariableInAValueStays", "%A = 1\n%B = z%A\n", "-R %B", L"-R z%A"},
        CommandCase{"ValueHoldingItsOwnNameBeforeABlank", "%A = y%A\n", "-R %A end", L"-R y%A end"},
        CommandCase{"ValueHoldingItsOwnNameAtTheEnd", "%A = y%A\n", "-R %A %A", L"-R y%A y%A"},
        CommandCase{"QuotedValueHoldingItsOwnName", "%A = \"x %A\"\n", "-R %A", L"-R \"x %A\""},
        CommandCase{"RedefinitionReplacesTheValue", "%V = 1\n%V = 2\n", "-R %V", L"-R 2"},
        CommandCase{"LeadingBlanksOnTheVariableLine", " \t%V = 1\n", "-R %V", L"-R 1"},
        CommandCase{"TabsBetweenTheParts", "%V\t=\t1\n", "-R %V", L"-R 1"},
        CommandCase{"ArgumentsAfterTheValueIgnored", "%V = 1 2 # three\n", "-R %V", L"-R 1"},
        CommandCase{"ValueEndingInCarriageReturnLineFeed", "%V = 5\r\n", "-R %V\r", L"-R 5"}),
    ByCaseName());

INSTANTIATE_TEST_SUITE_P(
    References, FormatCmdLineCommand,
    testing::Values(
        CommandCase{"CopyOfAComputedValue", "%LEVEL = 100\n%LEVEL += 27\n%COPY = %LEVEL\n",
                    "-SetIntensity Red %LEVEL %COPY", L"-SetIntensity Red 127 127"},
        CommandCase{"ReferenceIsACopy", "%A = 1\n%B = %A\n%A = 2\n", "-R %A %B", L"-R 2 1"},
        CommandCase{"ReferenceAsOperand", "%A = 2\n%B = 3\n%A *= %B\n", "-R %A", L"-R 6"},
        CommandCase{"ReferenceAppended", "%A = x\n%B = y\n%A := %B\n", "-R %A", L"-R xy"},
        CommandCase{"QuotedReference", "%A = x\n%B = \"%A\"\n", "-R %B", L"-R x"}),
    ByCaseName());

const CommandCase kOperatorCases[] = {
    CommandCase{"AddWholeNumbers", "%V = 5\n%V += 2\n", "-R %V", L"-R 7"},
    CommandCase{"DivideKeepsTwoDecimals", "%V = 10\n%V /= 4\n", "-R %V", L"-R 2.50"},
    CommandCase{"SubtractFraction", "%V = 1\n%V -= 0.25\n", "-R %V", L"-R 0.75"},
    CommandCase{"MultiplyByHalf", "%V = 3\n%V *= 0.5\n", "-R %V", L"-R 1.50"},
    CommandCase{"DivideByZero", "%V = 3\n%V /= 0\n", "-R %V", L"-R inf"},
    CommandCase{"DivideNegativeByZero", "%V = -3\n%V /= 0\n", "-R %V", L"-R -inf"},
    CommandCase{"OverflowIsInfinite", "%V = 1e30\n%V *= 1e30\n", "-R %V", L"-R inf"},
    CommandCase{"NegativeResult", "%V = 5\n%V -= 7.5\n", "-R %V", L"-R -2.50"},
    CommandCase{"RoundedToTwoDecimals", "%V = 0.1\n%V += 0.2\n", "-R %V", L"-R 0.30"},
    CommandCase{"RoundedUpToAWholeNumber", "%V = 1.999\n%V += 0\n", "-R %V", L"-R 2"},
    CommandCase{"RoundedDownToZero", "%V = 0.001\n%V += 0\n", "-R %V", L"-R 0"},
    CommandCase{"NegativeZeroKeepsItsSign", "%V = -0.001\n%V += 0\n", "-R %V", L"-R -0"},
    CommandCase{"SinglePrecision", "%V = 16777216\n%V += 1\n", "-R %V", L"-R 16777216"},
    CommandCase{"ExponentNotation", "%V = 1e3\n%V += 1\n", "-R %V", L"-R 1001"},
    CommandCase{"TextIsZero", "%V = abc\n%V += 2\n", "-R %V", L"-R 2"},
    CommandCase{"LeadingNumberIsRead", "%V = 2.5x\n%V *= 2\n", "-R %V", L"-R 5"},
    CommandCase{"TextOperandIsZero", "%V = 7\n%V += abc\n", "-R %V", L"-R 7"},
    CommandCase{"AppendText", "%V = a\n%V := b\n", "-R %V", L"-R ab"},
    CommandCase{"AppendToAComputedValue", "%V = 1\n%V += 2\n%V := 5\n", "-R %V", L"-R 35"},
    CommandCase{"AppendAValueWithSpace", "%V = x\n%V := \"y z\"\n", "-R %V", L"-R \"xy z\""},
};

INSTANTIATE_TEST_SUITE_P(Operators, FormatCmdLineCommand, testing::ValuesIn(kOperatorCases),
                         ByCaseName());

// A front end may adopt the operator's locale; the arithmetic must not read "2.5" as 2 there
// or write "2,50".
class FormatCmdLineArithmeticUnderCommaLocale : public FormatCmdLineCommand {
  protected:
    void SetUp() override {
        if (!comma_.IsSet()) {
            GTEST_SKIP() << "the locale " << ScopedCommaLocale::kName << " is not installed";
        }
    }
    const ScopedCommaLocale comma_;
};

TEST_P(FormatCmdLineArithmeticUnderCommaLocale, GivesWhatItGivesInTheCLocale) {
    ExpectReturnedCleanedAndSubstituted(GetParam());
}

INSTANTIATE_TEST_SUITE_P(Operators, FormatCmdLineArithmeticUnderCommaLocale,
                         testing::ValuesIn(kOperatorCases), ByCaseName());

// ---------------------------------------------------------------------------------------------
// Variable line failures

struct VariableErrorCase {
    const char* name;
    std::string definitions;
    std::string failingLine;
    std::wstring expectedError;
};

using FormatCmdLineVariableError = FormatCmdLineCases<VariableErrorCase>;

TEST_P(FormatCmdLineVariableError, FailsWithTheLineAndLeavesTheTableAlone) {
    const VariableErrorCase& c = GetParam();
    Open(c.definitions + c.failingLine + "\n-After %X\n");
    const int number =
        static_cast<int>(std::count(c.definitions.begin(), c.definitions.end(), '\n')) + 1;
    const std::wstring failing = NarrowToWide(c.failingLine);

    log_.messages.clear();
    const LineResult result = Next();
    EXPECT_EQ(result, Failed(failing, number));
    ASSERT_GE(log_.messages.size(), 2u);
    EXPECT_THAT(std::vector<Message>(log_.messages.end() - 2, log_.messages.end()),
                ElementsAre(Message{LogLevel::Notice, Processing(number, failing)},
                            Message{LogLevel::Error, c.expectedError}));
    EXPECT_THAT(log_.Errors(), ElementsAre(c.expectedError));
    // %X is never successfully defined in these files, so it must still be unknown.
    EXPECT_EQ(Next(), Returned(L"-After %X", number + 1));
}

INSTANTIATE_TEST_SUITE_P(
    VariableLines, FormatCmdLineVariableError,
    testing::Values(
        VariableErrorCase{"WithoutBlanks", "", "%X=5", kTooFewArguments + L"%X=5"},
        VariableErrorCase{"NoValue", "", "%X =", kTooFewArguments + L"%X ="},
        VariableErrorCase{"NameOnly", "", "  %X", kTooFewArguments + L"  %X"},
        VariableErrorCase{"EmptyOperator", "", "%X \"\" 5", kMissingParameter},
        VariableErrorCase{"EmptyValue", "", "%X = \"\"", kMissingParameter},
        VariableErrorCase{"DoubleEquals", "", "%X == 5", kUnknownOperator + L"=="},
        VariableErrorCase{"EqualsPlus", "", "%X =+ 5", kUnknownOperator + L"=+"},
        VariableErrorCase{"Word", "", "%X EQ 5", kUnknownOperator + L"EQ"},
        VariableErrorCase{"UnknownOperatorBeforeMissingReference", "", "%X == %Y",
                          kUnknownOperator + L"=="},
        VariableErrorCase{"MissingReference", "", "%X = %Y", kReferenceNotFound + L"%Y"},
        VariableErrorCase{"MissingReferenceBeforeUndefinedName", "", "%X += %Y",
                          kReferenceNotFound + L"%Y"},
        VariableErrorCase{"ReferenceIsCaseSensitive", "%y = 1\n", "%X = %Y",
                          kReferenceNotFound + L"%Y"},
        VariableErrorCase{"AddToUndefined", "", "%X += 1", kModifyUndefined},
        VariableErrorCase{"SubtractFromUndefined", "", "%X -= 1", kModifyUndefined},
        VariableErrorCase{"MultiplyUndefined", "", "%X *= 1", kModifyUndefined},
        VariableErrorCase{"DivideUndefined", "", "%X /= 1", kModifyUndefined},
        VariableErrorCase{"AppendToUndefined", "", "%X := 1", kModifyUndefined},
        VariableErrorCase{"NameIsCaseSensitive", "%x = 1\n", "%X += 1", kModifyUndefined},
        // 999 characters are accepted: otherwise the definitions would fail first.
        VariableErrorCase{
            "AppendBeyondTheLineLength",
            "%V = " + std::string(500, 'a') + "\n%V := " + std::string(499, 'b') + "\n", "%V := c",
            ValueTooLong(L"%V")},
        VariableErrorCase{"UnmatchedQuote", "", "%X = \"Red LED",
                          kUnmatchedQuote + L"%X = \"Red LED) string, unable to find matching "
                                            L"double quotes."}),
    ByCaseName());

// ---------------------------------------------------------------------------------------------
// Line ends and line length

struct LineEndCase {
    const char* name;
    std::string bytes;
    std::vector<NumberedLine> expected;
};

using FormatCmdLineLineEnds = FormatCmdLineCases<LineEndCase>;

TEST_P(FormatCmdLineLineEnds, EndLinesAsTextModeDoes) {
    reader_.SetReturnBlankLines(true);
    Open(GetParam().bytes);
    EXPECT_EQ(ReadAll(), GetParam().expected);
    EXPECT_THAT(log_.Errors(), IsEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Files, FormatCmdLineLineEnds,
    testing::Values(
        LineEndCase{"LineFeed", "%V = 5\n-A %V\n-B\n", {{2, L"-A 5"}, {3, L"-B"}}},
        LineEndCase{
            "CarriageReturnLineFeed", "%V = 5\r\n-A %V\r\n-B\r\n", {{2, L"-A 5"}, {3, L"-B"}}},
        LineEndCase{"NoNewlineAtTheEnd", "%V = 5\n-A %V", {{2, L"-A 5"}}},
        LineEndCase{"CrLfWithoutOneAtTheEnd", "%V = 5\r\n-A %V", {{2, L"-A 5"}}},
        LineEndCase{"BlankCrLfLines", "\r\n-A\r\n\r\n", {{1, L""}, {2, L"-A"}, {3, L""}}},
        LineEndCase{"MixedEnds", "-A\r\n-B\n-C\r\n", {{1, L"-A"}, {2, L"-B"}, {3, L"-C"}}},
        LineEndCase{"LoneCarriageReturnStays", "-A x\ry\n", {{1, L"-A x\ry"}}},
        LineEndCase{"OnlyOneCarriageReturnDropped", "-A\r\r\n", {{1, L"-A\r"}}},
        LineEndCase{"CarriageReturnAtTheVeryEndStays", "-A\r", {{1, L"-A\r"}}}),
    ByCaseName());

std::string CommandOfLength(std::size_t bytes) {
    return "-" + std::string(bytes - 1, 'x');
}

struct LongLineCase {
    const char* name;
    std::string bytes;
    std::vector<LineResult> expected;  // results of consecutive calls
    int expectedErrors;
};

using FormatCmdLineLongLines = FormatCmdLineCases<LongLineCase>;

TEST_P(FormatCmdLineLongLines, FailOnlyFromOneThousandBytes) {
    Open(GetParam().bytes);
    std::vector<LineResult> results;
    for (std::size_t i = 0; i < GetParam().expected.size(); ++i) {
        results.push_back(Next());
    }
    EXPECT_EQ(results, GetParam().expected);
    EXPECT_EQ(log_.Errors(), std::vector<std::wstring>(GetParam().expectedErrors, kLineTooLong));
}

const std::wstring k999Bytes = NarrowToWide(CommandOfLength(999));

INSTANTIATE_TEST_SUITE_P(
    Lengths, FormatCmdLineLongLines,
    testing::Values(
        LongLineCase{"Fits999",
                     CommandOfLength(999) + "\n-B\n",
                     {Returned(k999Bytes, 1), Returned(L"-B", 2), kAtEnd},
                     0},
        LongLineCase{"Fits999WithCrLf",
                     CommandOfLength(999) + "\r\n-B\r\n",
                     {Returned(k999Bytes, 1), Returned(L"-B", 2), kAtEnd},
                     0},
        LongLineCase{"Fits999AtTheEnd", CommandOfLength(999), {Returned(k999Bytes, 1), kAtEnd}, 0},
        LongLineCase{"Fails1000",
                     CommandOfLength(1000) + "\n-B\n",
                     {TooLong(1), Returned(L"-B", 2), kAtEnd},
                     1},
        LongLineCase{"Fails1000WithCrLf",
                     CommandOfLength(1000) + "\r\n-B\r\n",
                     {TooLong(1), Returned(L"-B", 2), kAtEnd},
                     1},
        LongLineCase{"Fails1000AtTheEnd", CommandOfLength(1000), {TooLong(1), kAtEnd}, 1},
        LongLineCase{
            "LoneCarriageReturnCounts", CommandOfLength(999) + "\r", {TooLong(1), kAtEnd}, 1},
        LongLineCase{"FailsFarBeyond",
                     "-A\n" + CommandOfLength(5000) + "\n-B\n",
                     {Returned(L"-A", 1), TooLong(2), Returned(L"-B", 3), kAtEnd},
                     1},
        LongLineCase{"AfterAComment",
                     "# c\n" + CommandOfLength(1000) + "\n-B\n",
                     {TooLong(2), Returned(L"-B", 3), kAtEnd},
                     1},
        LongLineCase{"TwoLongLines",
                     CommandOfLength(1001) + "\n" + CommandOfLength(2000) + "\n-B",
                     {TooLong(1), TooLong(2), Returned(L"-B", 3), kAtEnd},
                     2}),
    ByCaseName());

// ---------------------------------------------------------------------------------------------
// Text made by variables is held to the length of a line

TEST_F(FormatCmdLineTest, SubstitutionMayGrowACommandLineTo999Characters) {
    const std::string value = std::string(500, 'v') + "\n%V := " + std::string(496, 'w');
    Open("%V = " + value + "\n-R %V\n-R %V x\n-After\n");

    EXPECT_EQ(Next(), Returned(L"-R " + std::wstring(500, L'v') + std::wstring(496, L'w'), 3));
    EXPECT_THAT(log_.Errors(), IsEmpty());
    // The failing line is handed out as it was before substitution, and reading goes on.
    EXPECT_EQ(Next(), Failed(L"-R %V x", 4));
    EXPECT_THAT(log_.Errors(), ElementsAre(kLineTooLongAfterSubstitution));
    EXPECT_EQ(Next(), Returned(L"-After", 5));
}

TEST_F(FormatCmdLineTest, NestedVariablesStopAtTheLineLength) {
    // Each level multiplies the text by 30; eight levels would make 30^8 copies.
    std::string file;
    for (int level = 0; level < 8; ++level) {
        file += "%V" + std::to_string(level) + " = \"x";
        for (int copy = 0; copy < 30; ++copy) {
            file += " %V" + std::to_string(level + 1);
        }
        file += "\"\n";
    }
    Open(file + "-R %V0\n");

    EXPECT_EQ(Next(), Failed(L"-R %V0", 9));
    EXPECT_THAT(log_.Errors(), ElementsAre(kLineTooLongAfterSubstitution));
}

TEST_F(FormatCmdLineTest, AValueAppendedToItselfStopsAtTheLineLength) {
    // Ten doublings reach 1024 characters; forty would need a terabyte.
    std::string file = "%V = x\n";
    for (int line = 0; line < 40; ++line) {
        file += "%V := %V\n";
    }
    Open(file);

    EXPECT_EQ(Next(), Failed(L"%V := %V", 11));
    EXPECT_THAT(log_.Errors(), ElementsAre(ValueTooLong(L"%V")));
}

// ---------------------------------------------------------------------------------------------
// Opening, reopening and closing

TEST_F(FormatCmdLineTest, GetNextLineWithoutAFileFails) {
    LineResult result = Next();
    EXPECT_EQ(result, kReadFailure);
    EXPECT_THAT(log_.messages, ElementsAre(Message{LogLevel::Error, kNoFile}));
}

struct OpenFailureCase {
    const char* name;
    std::function<std::wstring(const TempDir&)> fileName;
    std::function<std::wstring(const TempDir&)> expectedError;
    // After a refused directory the unopened stream stays, and reading finds its end at once.
    bool streamRemains;
};

using FormatCmdLineOpenFailure = FormatCmdLineCases<OpenFailureCase>;

TEST_P(FormatCmdLineOpenFailure, IsLoggedAndNothingIsRead) {
    Open("-Previous\n", "previous.cfg");
    ASSERT_EQ(Next(), Returned(L"-Previous", 1));
    log_.messages.clear();

    EXPECT_EQ(reader_.OpenFileCfg(GetParam().fileName(dir_)), -1);
    EXPECT_THAT(log_.messages,
                ElementsAre(Message{LogLevel::Error, GetParam().expectedError(dir_)}));

    log_.messages.clear();
    if (GetParam().streamRemains) {
        EXPECT_EQ(Next(), kAtEnd);
        EXPECT_THAT(log_.messages, ElementsAre(Message{LogLevel::Notice, kEndOfFile}));
    } else {
        EXPECT_EQ(Next(), kReadFailure);
        EXPECT_THAT(log_.messages, ElementsAre(Message{LogLevel::Error, kNoFile}));
    }
}

const std::wstring kNotFound = L"FormatCmdLine::OpenFileCfg() - Could not find the file ";
const std::wstring kOpenFailed =
    L"FormatCmdLine::OpenFileCfg() - Error, attempt to open filename failed.  filename: ";

INSTANTIATE_TEST_SUITE_P(
    Names, FormatCmdLineOpenFailure,
    testing::Values(
        OpenFailureCase{"Missing", [](const TempDir& d) { return d.File("missing.cfg"); },
                        [](const TempDir& d) { return kNotFound + d.File("missing.cfg") + L"."; },
                        false},
        OpenFailureCase{
            "MissingQuoted", [](const TempDir& d) { return L"\"" + d.File("missing.cfg") + L"\""; },
            [](const TempDir& d) { return kNotFound + d.File("missing.cfg") + L"."; }, false},
        OpenFailureCase{"Empty", [](const TempDir&) { return std::wstring(); },
                        [](const TempDir&) { return kNotFound + L"."; }, false},
        OpenFailureCase{"Directory", [](const TempDir& d) { return d.Path().wstring(); },
                        [](const TempDir& d) { return kOpenFailed + d.Path().wstring() + L"."; },
                        true},
        // A device that never ends and a FIFO that would block the open are no files to read.
        OpenFailureCase{"Device", [](const TempDir&) { return std::wstring(L"/dev/zero"); },
                        [](const TempDir&) { return kOpenFailed + L"/dev/zero."; }, true},
        OpenFailureCase{"Fifo",
                        [](const TempDir& d) {
                            ::mkfifo((d.Path() / "fifo").c_str(), 0600);
                            return d.File("fifo");
                        },
                        [](const TempDir& d) { return kOpenFailed + d.File("fifo") + L"."; }, true},
        OpenFailureCase{"TooLarge",
                        [](const TempDir& d) {
                            WriteFileBytes(d.Path() / "huge.cfg", "");
                            std::filesystem::resize_file(d.Path() / "huge.cfg",
                                                         FormatCmdLine::kMaxFileBytes + 1);
                            return d.File("huge.cfg");
                        },
                        [](const TempDir& d) {
                            return L"FormatCmdLine::OpenFileCfg() - Error, the file is larger "
                                   L"than 64 MB, too large for a command file.  filename: " +
                                   d.File("huge.cfg") + L".";
                        },
                        true},
        OpenFailureCase{
            "LeadingQuoteOnly", [](const TempDir& d) { return L"\"" + d.File("previous.cfg"); },
            [](const TempDir& d) { return kOneQuote + L"\"" + d.File("previous.cfg"); }, false},
        OpenFailureCase{
            "TrailingQuoteOnly", [](const TempDir& d) { return d.File("previous.cfg") + L"\""; },
            [](const TempDir& d) { return kOneQuote + d.File("previous.cfg") + L"\""; }, false}),
    ByCaseName());

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

TEST_F(FormatCmdLineTest, OpensAQuotedFileName) {
    const std::wstring name = WriteCfg("-A\n");
    ASSERT_EQ(reader_.OpenFileCfg(L"\"" + name + L"\""), 0);
    EXPECT_EQ(reader_.GetFileName(), name);
    EXPECT_EQ(Next(), Returned(L"-A", 1));
    EXPECT_THAT(log_.Errors(), IsEmpty());
}

TEST_F(FormatCmdLineTest, VariablesAndLineNumbersLiveForOneFile) {
    Open("%V = 5\n-A %V\n", "first.cfg");
    EXPECT_EQ(Next(), Returned(L"-A 5", 2));

    Open("-B %V\n", "second.cfg");
    EXPECT_EQ(Next(), Returned(L"-B %V", 1));
    EXPECT_EQ(reader_.GetFileName(), dir_.File("second.cfg"));
}

TEST_F(FormatCmdLineTest, ReopeningStartsOverFromTheFirstLine) {
    Open("%V = 1\n-A %V\n%V += 1\n-B %V\n");
    EXPECT_EQ(Next(), Returned(L"-A 1", 2));
    EXPECT_EQ(Next(), Returned(L"-B 2", 4));

    ASSERT_EQ(reader_.OpenFileCfg(dir_.File("test.cfg")), 0);
    EXPECT_EQ(Next(), Returned(L"-A 1", 2));
}

TEST_F(FormatCmdLineTest, ReadsNothingMoreAfterClosing) {
    Open("-A\n-B\n");
    EXPECT_EQ(Next(), Returned(L"-A", 1));
    reader_.CloseFile();
    reader_.CloseFile();
    EXPECT_EQ(Next(), kAtEnd);
}

TEST(FormatCmdLineWithoutLog, BehavesTheSameAndLogsNothing) {
    TempDir dir;
    WriteFileBytes(dir.Path() / "a.cfg", "%V = 2\n-A %V\nbad\n%X += 1\n");
    FormatCmdLine reader;
    reader.SetReturnCommandLines(true);
    EXPECT_EQ(reader.OpenFileCfg(dir.File("missing.cfg")), -1);
    ASSERT_EQ(reader.OpenFileCfg(dir.File("a.cfg")), 0);

    std::wstring line;
    int number = 0;
    bool endOfFile = false;
    EXPECT_EQ(reader.GetNextLine(line, number, endOfFile), 0);
    EXPECT_EQ(line, L"-A 2");
    EXPECT_EQ(reader.GetNextLine(line, number, endOfFile), -1);
    EXPECT_EQ(line, L"bad");
    EXPECT_EQ(number, 3);
    EXPECT_EQ(reader.GetNextLine(line, number, endOfFile), -1);
    EXPECT_EQ(line, L"%X += 1");
    EXPECT_EQ(reader.GetNextLine(line, number, endOfFile), 0);
    EXPECT_TRUE(endOfFile);
}

}  // namespace
