#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <tuple>
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

namespace {

using testing::ElementsAre, testing::IsEmpty;
using Message = std::pair<LogLevel, std::wstring>;
// A failed line as file name, line number and text.
using Where = std::tuple<std::wstring, int, std::wstring>;
Where At(const ConfigFileProcessor::FailedLine& f) {
    return {f.fileName, f.lineNumber, f.lineText};
}

const std::wstring kReader = L"FormatCmdLine::";
const std::wstring kUnrecognized =
    L"ConfigFileProcessor::ProcessCommandString() - Invalid Command Line Syntax, Unrecognized "
    L"Command: ";

Message Processing(const std::wstring& what, const std::wstring& name) {
    return {LogLevel::Notice, L"ConfigFileProcessor::ProcessConfigFile() - " + what +
                                  L" Processing Filename: " + name};
}

std::wstring CountMessage(const std::wstring& word, const std::wstring& expected,
                          const std::wstring& given) {
    return L"Error, the " + word + L" command expects " + expected + L" arguments.  There were " +
           given + L" specified.";
}

// An LED's label, maximum power, intensity, pulse on, off and loop count.
using Led = std::tuple<std::wstring, double, int, double, double, std::uint32_t>;
Led Fields(const LEDRecord& r) {
    return {r.colorLabel,    r.maximumPower,   r.intensity,
            r.pulse.widthOn, r.pulse.widthOff, r.pulse.loopCount};
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
        for (const Message& message : log_.messages)
            if (message.first == LogLevel::Error ||
                message.second.starts_with(L"ConfigFileProcessor::"))
                reported.push_back(message);
        return reported;
    }

    TempDir dir_;
    LogCapture log_;
    MicroController device_;
    SequenceContainer sequences_;
    ConfigFileProcessor processor_;
};

// With a count that does not fit, the command must not run: -SetIntensity Blue would succeed.
TEST_F(ConfigFileProcessorTest, RefusedCommandFailsWithItsMessageAndDoesNotRun) {
    ASSERT_EQ(device_.AddLED(L"Blue", 0.0), 0);
    const std::pair<std::wstring, std::wstring> rows[] = {
        {L"-AddLED", CountMessage(L"-AddLED", L"at least 1", L"0")},
        // The message names the table's word, whatever case the line used.
        {L"-setINTENSITY blue", CountMessage(L"-SetIntensity", L"2", L"1")},
        {L"-SetIntensityX Blue 30", kUnrecognized + L"-SetIntensityX"},
        // Only blanks: the tokenizer gives one empty argument.
        {L"   ", kUnrecognized}};
    for (const auto& [command, message] : rows) {
        log_.messages.clear();
        EXPECT_EQ(processor_.ProcessCommandString(command), -1);
        EXPECT_THAT(log_.Errors(), ElementsAre(message));
    }
    EXPECT_EQ(LedInfo(device_, 0).intensity, LEDRecord{}.intensity);
}

TEST_F(ConfigFileProcessorTest, EmptyCommandAndUninitializedProcessorAreRefused) {
    EXPECT_EQ(processor_.ProcessCommandString(L""), -1);
    EXPECT_THAT(log_.messages, IsEmpty());
    ConfigFileProcessor bare;
    EXPECT_FALSE(bare.IsInitialized());
    EXPECT_EQ(bare.ProcessConfigFile(WriteCfg("-SetMicroControllerPortNumber 9\n")), -1);
}

// Integers as a 32-bit wcstol reads them, saturating; numbers as in the C locale.
TEST(SettingsArguments, ReadAsWcstolAndWcstodInTheCLocale) {
    const wchar_t* texts[] = {L"007", L" +5x",       L"abc",        L"0x10",
                              L"-1",  L"2147483647", L"4294967301", L"-4294967295"};
    const std::uint32_t values[] = {7, 5, 0, 0, 4294967295u, 2147483647u, 2147483647u, 2147483648u};
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(SettingsArguments::Integer(texts[i]), values[i]) << WideToNarrow(texts[i]);
    EXPECT_EQ(SettingsArguments::Number(L"0x10"), 16.0);
    EXPECT_EQ(SettingsArguments::Number(L"1,5"), 1.0);
    const ScopedCommaLocale comma;
    EXPECT_EQ(SettingsArguments::Number(L"12.5ms"), 12.5);
}

// Both models restored from a setup file and a saved settings file, every command with its
// arguments in their places; the saved file's CR LF line ends, a variable and a quoted label's
// blanks go through too.
TEST_F(ConfigFileProcessorTest, SetupThenSettingsRestoreBothModels) {
    const std::wstring setup = WriteCfg(
        "# Installation\n-AddLED Blue 12.5\n-addled \" Red \"   # no power given\n", "setup.cfg");
    const std::wstring settings = WriteCfg(
        "#Micro Controller Settings\r\n%PORT = 5\r\n-SetMicroControllerPortNumber %PORT\r\n\r\n"
        "-SetIntensity \"Blue\" 200\r\n-SetLEDPulse \"Blue\" 12.5 87.5 3\r\n"
        "-SETLEDPULSE \" Red \" 1.8e+06 0.1 1000000\r\n-AddSequence 4 \"Caller\"\r\n"
        "-AddSequenceCommandSet 4 0\r\n-AddSequenceCommandSet 4 0\r\n"
        "-AddSequenceCommand 4 0 \"-Duration 5\"\r\n-AddSequenceCommand 4 1 \"-Off Blue\"\r\n"
        "-break#end\r\nnot read\r\n",
        "settings.cfg");
    EXPECT_EQ(RunFile(setup), 0);
    EXPECT_EQ(RunFile(settings), 0);
    EXPECT_THAT(Reported(),
                ElementsAre(Processing(L"Started", settings), Processing(L"Finished", settings)));
    EXPECT_EQ(device_.GetPortNumber(), 5u);
    ASSERT_EQ(device_.GetLEDCount(), 2);
    EXPECT_EQ(Fields(LedInfo(device_, 0)), (Led{L"Blue", 12.5, 200, 12.5, 87.5, 3}));
    EXPECT_EQ(Fields(LedInfo(device_, 1)), (Led{L" Red ", 0.0, 26, 1800000.0, 0.1, 1000000}));
    EXPECT_EQ(sequences_.GetSequenceName(4), L"Caller");
    EXPECT_THAT(sequences_.GetCommandSets(4),
                ElementsAre(CommandSet{L"-Duration 5"}, CommandSet{L"-Off Blue"}));
}

// Each row: a failing line, the reason logged and the line as the reader handed it out. A break
// ends a file only as the whole line; the reader keeps the blank before a comment and any
// indentation, so those lines are commands, and unknown ones.
TEST_F(ConfigFileProcessorTest, FailingLineStopsTheFileAndWhatRanBeforeStays) {
    const std::tuple<std::string, std::wstring, std::wstring> rows[] = {
        {"-Breaks 1", kUnrecognized + L"-Breaks", L"-Breaks 1"},
        {"-Break # c", kUnrecognized + L"-Break", L"-Break "},
        {"-AddSequence 1 " + std::string(1200, 'x'),
         kReader + L"GetLineFromFile() - Error, unable to get next line from file.", L""},
        // The comment marker cuts the quoted name, so the quote is left unmatched.
        {"-AddSequence 5 \"A#B\"",
         L"MiscFunctions::ParseCommandString() - Error Processing command(-AddSequence 5 \"A) "
         L"string, unable to find matching double quotes.",
         L"-AddSequence 5 \"A"}};
    for (const auto& [failingLine, error, lineText] : rows) {
        device_.SetPortNumber(0);
        const std::wstring path = WriteCfg("-SetMicroControllerPortNumber 9\n# c\n" + failingLine +
                                           "\n-SetMicroControllerPortNumber 11\n");
        EXPECT_EQ(RunFile(path), -1);
        EXPECT_THAT(Reported(),
                    ElementsAre(Processing(L"Started", path), Message{LogLevel::Error, error}));
        EXPECT_EQ(At(processor_.LastFailure()), (Where{path, 3, lineText}));
        EXPECT_EQ(device_.GetPortNumber(), 9u);
    }
}

// The failure names the file without its quotes; a missing file fails after "Started" and
// clears the last failure.
TEST_F(ConfigFileProcessorTest, FailureObserverRunsEveryLineAndHearsEachFailureRightAfterIt) {
    ASSERT_EQ(device_.AddLED(L"Blue", 0.0), 0);
    std::vector<std::pair<Where, std::wstring>> heard;
    processor_.SetFailureObserver(
        [&](const auto& failure) { heard.emplace_back(At(failure), log_.GetLastError()); });
    const std::wstring path = WriteCfg(
        "-SetIntensity Blue 300\n-SetIntensity Blue 40\nbad line\n-AddSequence 0 \"A\"\n"
        "-Frobnicate\n-SetIntensity Blue 90\n");
    EXPECT_EQ(RunFile(L"\"" + path + L"\""), -1);
    ASSERT_EQ(heard.size(), 3u);
    EXPECT_EQ(heard[0].first, (Where{path, 1, L"-SetIntensity Blue 300"}));
    EXPECT_EQ(heard[1].first, (Where{path, 3, L"bad line"}));
    EXPECT_EQ(heard[2], std::pair(Where{path, 5, L"-Frobnicate"}, kUnrecognized + L"-Frobnicate"));
    // The lines between and after the failures ran; the first failure is where the file failed.
    EXPECT_EQ(LedInfo(device_, 0).intensity, 90);
    EXPECT_EQ(sequences_.GetSequenceName(0), L"A");
    EXPECT_EQ(processor_.LastFailure().lineNumber, 1);
    const std::wstring absent = dir_.File("absent.cfg");
    EXPECT_EQ(RunFile(absent), -1);
    EXPECT_EQ(At(processor_.LastFailure()), Where{});
    EXPECT_EQ(Reported().front(), Processing(L"Started", absent));
}

}  // namespace
