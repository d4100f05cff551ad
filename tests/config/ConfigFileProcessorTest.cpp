#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "app/SettingsCommands.h"
#include "config/ConfigFileProcessor.h"
#include "device/MicroController.h"
#include "foundation/TextConversion.h"
#include "sequences/SequenceContainer.h"
#include "support/FileBytes.h"
#include "support/LedInfo.h"
#include "support/LogCapture.h"
#include "support/ScopedCommaLocale.h"
#include "support/TempDir.h"

using FailedLine = ConfigFileProcessor::FailedLine;

// Found by argument-dependent lookup, so outside the unnamed namespace.
static void PrintTo(const FailedLine& f, std::ostream* os) {
    *os << testing::PrintToString(f.fileName) << ':' << f.lineNumber << ' '
        << testing::PrintToString(f.lineText);
}

static bool operator==(const FailedLine& a, const FailedLine& b) {
    return a.fileName == b.fileName && a.lineNumber == b.lineNumber && a.lineText == b.lineText;
}

namespace {

using testing::ElementsAre;
using testing::IsEmpty;
using Message = std::pair<LogLevel, std::wstring>;

const std::wstring kUnrecognized =
    L"ConfigFileProcessor::ProcessCommandString() - Invalid Command Line Syntax, Unrecognized "
    L"Command: ";

Message Started(const std::wstring& name) {
    return {LogLevel::Notice,
            L"ConfigFileProcessor::ProcessConfigFile() - Started Processing Filename: " + name};
}

Message Finished(const std::wstring& name) {
    return {LogLevel::Notice,
            L"ConfigFileProcessor::ProcessConfigFile() - Finished Processing Filename: " + name};
}

std::wstring CountMessage(const std::wstring& word, const std::wstring& expected,
                          const std::wstring& given) {
    return L"Error, the " + word + L" command expects " + expected + L" arguments.  There were " +
           given + L" specified.";
}

// A processor with the settings commands on real, empty models and a log that records.
class ConfigFileProcessorTest : public testing::Test {
  protected:
    ConfigFileProcessorTest() {
        device_.SetLogFile(&log_);
        sequences_.SetLogFile(&log_);
        sequences_.SetColorLabels({L"Blue", L"Red"});
        InitializeSettingsProcessor(processor_, &log_, device_, sequences_);
    }

    std::wstring WriteCfg(const std::string& bytes, const std::string& name = "test.cfg") {
        WriteFileBytes(dir_.Path() / name, bytes);
        return dir_.File(name);
    }

    int RunFile(const std::wstring& path) {
        log_.messages.clear();
        return processor_.ProcessConfigFile(path);
    }

    // The processor's own messages and every error, in order; the reader's notices left out.
    std::vector<Message> Reported() const {
        std::vector<Message> reported;
        for (const Message& message : log_.messages) {
            if (message.first == LogLevel::Error ||
                message.second.starts_with(L"ConfigFileProcessor::")) {
                reported.push_back(message);
            }
        }
        return reported;
    }

    TempDir dir_;
    LogCapture log_;
    MicroController device_;
    SequenceContainer sequences_;
    ConfigFileProcessor processor_;
};

struct RefusedCase {
    std::wstring command;
    std::wstring message;
};

void PrintTo(const RefusedCase& c, std::ostream* os) {
    *os << testing::PrintToString(c.command);
}

class RefusedCommandTest : public ConfigFileProcessorTest,
                           public testing::WithParamInterface<RefusedCase> {};

// With a count that does not fit, the command must not run: -SetIntensity Blue would succeed.
TEST_P(RefusedCommandTest, FailsWithItsMessageAndDoesNotRun) {
    ASSERT_EQ(device_.AddLED(L"Blue", 0.0), 0);
    log_.messages.clear();
    EXPECT_EQ(processor_.ProcessCommandString(GetParam().command), -1);
    EXPECT_THAT(log_.Errors(), ElementsAre(GetParam().message));
    EXPECT_EQ(LedInfo(device_, 0).intensity, LEDRecord{}.intensity);
}

INSTANTIATE_TEST_SUITE_P(
    Commands, RefusedCommandTest,
    testing::Values(RefusedCase{L"-AddLED", CountMessage(L"-AddLED", L"at least 1", L"0")},
                    RefusedCase{L"-SetIntensity Blue", CountMessage(L"-SetIntensity", L"2", L"1")},
                    RefusedCase{L"-SetIntensity Blue 30 40",
                                CountMessage(L"-SetIntensity", L"2", L"3")},
                    // The message names the table's word, whatever case the line used.
                    RefusedCase{L"-setINTENSITY blue", CountMessage(L"-SetIntensity", L"2", L"1")},
                    // Unquoted, the command text falls apart into separate arguments.
                    RefusedCase{L"-AddSequenceCommand 0 0 -Duration 5",
                                CountMessage(L"-AddSequenceCommand", L"3", L"4")},
                    RefusedCase{L"-SetIntensityX Blue 30", kUnrecognized + L"-SetIntensityX"},
                    // Only blanks: the tokenizer gives one empty argument.
                    RefusedCase{L"   ", kUnrecognized},
                    // A break ends a file; as a command it is unknown.
                    RefusedCase{L"-Break", kUnrecognized + L"-Break"}));

TEST_F(ConfigFileProcessorTest, EmptyCommandAndUninitializedProcessorAreRefused) {
    EXPECT_EQ(processor_.ProcessCommandString(L""), -1);
    EXPECT_THAT(log_.messages, IsEmpty());
    ConfigFileProcessor bare;
    EXPECT_FALSE(bare.IsInitialized());
    EXPECT_EQ(bare.ProcessConfigFile(WriteCfg("-SetMicroControllerPortNumber 9\n")), -1);
}

TEST(SettingsArguments, IntegersReadAsA32BitWcstolThatSaturates) {
    const std::pair<const wchar_t*, std::uint32_t> cases[] = {{L"007", 7},
                                                              {L" +5x", 5},
                                                              {L"abc", 0},
                                                              {L"0x10", 0},
                                                              {L"-1", 4294967295u},
                                                              {L"2147483647", 2147483647u},
                                                              {L"4294967301", 2147483647u},
                                                              {L"-4294967295", 2147483648u}};
    for (const auto& [text, value] : cases) {
        EXPECT_EQ(SettingsArguments::Integer(text), value) << WideToNarrow(text);
    }
}

TEST(SettingsArguments, NumbersReadAsInTheCLocale) {
    EXPECT_EQ(SettingsArguments::Number(L"0x10"), 16.0);
    EXPECT_EQ(SettingsArguments::Number(L"1,5"), 1.0);
    const ScopedCommaLocale comma;
    EXPECT_EQ(SettingsArguments::Number(L"12.5ms"), 12.5);
}

// Both models restored from a setup file and a saved settings file, every command with its
// arguments in their places; the saved file's CR LF line ends and a variable go through too.
TEST_F(ConfigFileProcessorTest, SetupThenSettingsRestoreBothModels) {
    const std::wstring setup = WriteCfg(
        "# Installation\n-AddLED Blue 12.5\n-addled Red   # no power given\n", "setup.cfg");
    const std::wstring settings = WriteCfg(
        "#Micro Controller Settings\r\n"
        "%PORT = 5\r\n"
        "-SetMicroControllerPortNumber %PORT\r\n"
        "\r\n"
        "-SetIntensity \"Blue\" 200\r\n"
        "-SetLEDPulse \"Blue\" 12.5 87.5 3\r\n"
        "-SETLEDPULSE \"Red\" 1.8e+06 0.1 1000000\r\n"
        "-AddSequence 4 \"Caller\"\r\n"
        "-AddSequenceCommandSet 4 0\r\n"
        "-AddSequenceCommandSet 4 0\r\n"
        "-AddSequenceCommand 4 0 \"-Duration 5\"\r\n"
        "-AddSequenceCommand 4 1 \"-Off Blue\"\r\n"
        "-break#end\r\n"
        "not read\r\n",
        "settings.cfg");

    EXPECT_EQ(RunFile(setup), 0);
    EXPECT_THAT(Reported(), ElementsAre(Started(setup), Finished(setup)));
    EXPECT_EQ(RunFile(settings), 0);
    EXPECT_THAT(Reported(), ElementsAre(Started(settings), Finished(settings)));

    EXPECT_EQ(device_.GetPortNumber(), 5u);
    ASSERT_EQ(device_.GetLEDCount(), 2);
    const LEDRecord blue = LedInfo(device_, 0);
    const LEDRecord red = LedInfo(device_, 1);
    EXPECT_EQ(blue.colorLabel, L"Blue");
    EXPECT_EQ(blue.maximumPower, 12.5);
    EXPECT_EQ(blue.intensity, 200);
    EXPECT_EQ(blue.pulse.widthOn, 12.5);
    EXPECT_EQ(blue.pulse.widthOff, 87.5);
    EXPECT_EQ(blue.pulse.loopCount, 3u);
    EXPECT_EQ(red.colorLabel, L"Red");
    EXPECT_EQ(red.maximumPower, 0.0);
    EXPECT_EQ(red.pulse.widthOn, 1800000.0);
    EXPECT_EQ(red.pulse.loopCount, 1000000u);
    EXPECT_EQ(sequences_.GetSequenceName(4), L"Caller");
    EXPECT_THAT(sequences_.GetCommandSets(4),
                ElementsAre(CommandSet{L"-Duration 5"}, CommandSet{L"-Off Blue"}));
}

struct FileFailureCase {
    const char* name;
    std::string failingLine;
    std::wstring error;
    std::wstring lineText;  // as the reader handed it out
};

void PrintTo(const FileFailureCase& c, std::ostream* os) {
    *os << c.name;
}

class FileFailureTest : public ConfigFileProcessorTest,
                        public testing::WithParamInterface<FileFailureCase> {};

TEST_P(FileFailureTest, StopsTheFileAtItsLineAndKeepsWhatRanBefore) {
    const FileFailureCase& c = GetParam();
    const std::wstring path = WriteCfg("-SetMicroControllerPortNumber 9\n# c\n" + c.failingLine +
                                       "\n-SetMicroControllerPortNumber 11\n");
    EXPECT_EQ(RunFile(path), -1);
    EXPECT_THAT(Reported(), ElementsAre(Started(path), Message{LogLevel::Error, c.error}));
    EXPECT_EQ(processor_.LastFailure(), (FailedLine{path, 3, c.lineText}));
    EXPECT_EQ(device_.GetPortNumber(), 9u);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, FileFailureTest,
    testing::Values(
        FileFailureCase{"UnknownWord", "-Frobnicate 1", kUnrecognized + L"-Frobnicate",
                        L"-Frobnicate 1"},
        FileFailureCase{"RefusedByTheModel", "-SetIntensity \"Red\" 100",
                        L"Error validating color value(Red), the color does not exist.",
                        L"-SetIntensity \"Red\" 100"},
        FileFailureCase{"NoLineType", "not a command",
                        L"FormatCmdLine::ProcessLine() - Error, Invalid Syntax, unable to "
                        L"determine what type of line to process.",
                        L"not a command"},
        FileFailureCase{"TooLongToRead", "-AddSequence 1 " + std::string(1200, 'x'),
                        L"FormatCmdLine::GetLineFromFile() - Error, unable to get next line from "
                        L"file.",
                        L""},
        // The comment marker cuts the quoted name, so the quote is left unmatched.
        FileFailureCase{"CommentMarkerInAName", "-AddSequence 5 \"A#B\"",
                        L"MiscFunctions::ParseCommandString() - Error Processing "
                        L"command(-AddSequence 5 \"A) string, unable to find matching double "
                        L"quotes.",
                        L"-AddSequence 5 \"A"}),
    [](const testing::TestParamInfo<FileFailureCase>& info) { return info.param.name; });

struct BreakCase {
    std::string line;
    std::wstring unrecognizedWord;  // empty when the line ends the file
};

void PrintTo(const BreakCase& c, std::ostream* os) {
    *os << testing::PrintToString(c.line);
}

class BreakLineTest : public ConfigFileProcessorTest,
                      public testing::WithParamInterface<BreakCase> {};

TEST_P(BreakLineTest, EndsTheFileOnlyWhenItIsTheWholeLine) {
    const BreakCase& c = GetParam();
    const std::wstring path =
        WriteCfg("-AddSequence 1 Before\n" + c.line + "\n-AddSequence 2 After\n");
    EXPECT_EQ(RunFile(path), c.unrecognizedWord.empty() ? 0 : -1);
    if (!c.unrecognizedWord.empty()) {
        EXPECT_THAT(log_.Errors(), ElementsAre(kUnrecognized + c.unrecognizedWord));
    }
    EXPECT_EQ(sequences_.GetSequenceName(1), L"Before");
    EXPECT_EQ(sequences_.GetSequenceName(2), L"");
}

// The reader keeps the blank before a comment and any leading indentation.
INSTANTIATE_TEST_SUITE_P(Lines, BreakLineTest,
                         testing::Values(BreakCase{"-BREAK//c", L""},
                                         BreakCase{"-Break # c", L"-Break"},
                                         BreakCase{"  -Break", L"-Break"},
                                         BreakCase{"-Breaks", L"-Breaks"}));

TEST_F(ConfigFileProcessorTest, MissingFileFailsAfterStartedWithoutALineReport) {
    const std::wstring path = dir_.File("absent.cfg");
    EXPECT_EQ(RunFile(path), -1);
    EXPECT_THAT(Reported(),
                ElementsAre(Started(path), Message{LogLevel::Error,
                                                   L"FormatCmdLine::OpenFileCfg() - Could not "
                                                   L"find the file " +
                                                       path + L"."}));
    EXPECT_EQ(processor_.LastFailure(), FailedLine{});
}

TEST_F(ConfigFileProcessorTest, FailureNamesTheFileWithoutQuotesAndClearsOnTheNextFile) {
    const std::wstring bad = WriteCfg("-AddLED\n", "bad.cfg");
    EXPECT_EQ(RunFile(L"\"" + bad + L"\""), -1);
    EXPECT_EQ(processor_.LastFailure(), (FailedLine{bad, 1, L"-AddLED"}));
    EXPECT_EQ(RunFile(WriteCfg("-AddLED Blue\n", "good.cfg")), 0);
    EXPECT_EQ(processor_.LastFailure(), FailedLine{});
}

const std::string kThreeBadLines =
    "-SetIntensity Blue 300\n"
    "-SetIntensity Blue 40\n"
    "bad line\n"
    "-AddSequence 0 \"A\"\n"
    "-Frobnicate\n"
    "-SetIntensity Blue 90\n";

TEST_F(ConfigFileProcessorTest, FailureObserverRunsEveryLineAndHearsEachFailureRightAfterIt) {
    ASSERT_EQ(device_.AddLED(L"Blue", 0.0), 0);
    std::vector<FailedLine> failures;
    std::vector<std::wstring> reasons;
    processor_.SetFailureObserver([&](const FailedLine& failure) {
        failures.push_back(failure);
        reasons.push_back(log_.GetLastError());
    });
    const std::wstring path = WriteCfg(kThreeBadLines);
    EXPECT_EQ(RunFile(path), -1);
    ASSERT_THAT(failures,
                ElementsAre(FailedLine{path, 1, L"-SetIntensity Blue 300"},
                            FailedLine{path, 3, L"bad line"}, FailedLine{path, 5, L"-Frobnicate"}));
    EXPECT_EQ(reasons[2], kUnrecognized + L"-Frobnicate");
    // The lines between and after the failures ran; the first failure is where the file failed.
    EXPECT_EQ(LedInfo(device_, 0).intensity, 90);
    EXPECT_EQ(sequences_.GetSequenceName(0), L"A");
    EXPECT_EQ(processor_.LastFailure().lineNumber, 1);

    EXPECT_EQ(RunFile(WriteCfg("-SetIntensity Blue 7\n", "good.cfg")), 0);
    EXPECT_EQ(failures.size(), 3u);

    // Without an observer again, the file stops at its first failure.
    processor_.SetFailureObserver(nullptr);
    EXPECT_EQ(RunFile(path), -1);
    EXPECT_EQ(LedInfo(device_, 0).intensity, 7);
    EXPECT_EQ(failures.size(), 3u);
}

}  // namespace
