#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "app/SettingsCommands.h"
#include "config/ConfigFileProcessor.h"
#include "device/MicroController.h"
#include "foundation/ArgumentReading.h"
#include "foundation/TextConversion.h"
#include "sequences/SequenceContainer.h"
#include "support/FileBytes.h"
#include "support/LedInfo.h"
#include "support/LogCapture.h"
#include "support/TempDir.h"

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

Message Error(const std::wstring& text) {
    return {LogLevel::Error, text};
}

std::wstring CountMessage(const std::wstring& word, const std::wstring& expected,
                          const std::wstring& given) {
    return L"Error, the " + word + L" command expects " + expected + L" arguments.  There were " +
           given + L" specified.";
}

// A processor with real models and a real log in a temporary directory. The models start empty.
class ConfigFileProcessorTest : public testing::Test {
  protected:
    ConfigFileProcessorTest() {
        device_.SetLogFile(&log_);
        sequences_.SetLogFile(&log_);
        sequences_.SetColorLabels({L"Blue", L"Red"});
        InitializeSettingsProcessor(processor_, &log_, device_, sequences_);
        log_.messages.clear();
    }

    // LED Blue, and sequence 0 "Zero" with one empty command set.
    void DeclareBlueAndSequenceZero() {
        ASSERT_EQ(device_.AddLED(L"Blue", 0.0), 0);
        ASSERT_EQ(sequences_.AddSequence(0, L"Zero"), 0);
        ASSERT_EQ(sequences_.AddCommandSet(0, 0), 0);
        log_.messages.clear();
    }

    std::wstring WriteCfg(const std::string& bytes, const std::string& name = "test.cfg") {
        WriteFileBytes(dir_.Path() / name, bytes);
        return dir_.File(name);
    }

    int RunFile(const std::wstring& path) {
        log_.messages.clear();
        return processor_.ProcessConfigFile(path);
    }

    int Run(const std::wstring& command) {
        log_.messages.clear();
        return processor_.ProcessCommandString(command);
    }

    // The processor's own messages and every error, in order; the reader's per-line notices are
    // left out.
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

    LEDRecord Led(int index) const { return LedInfo(device_, index); }

    // Everything both models hold that the commands can change.
    std::wstring Snapshot() const {
        std::wstring text = device_.GetSettingsSection();
        for (int i = 0; i < device_.GetLEDCount(); ++i) {
            text += std::to_wstring(Led(i).maximumPower) + L"\n";
        }
        for (std::uint32_t n = 0; n < SequenceContainer::kSequenceCount; ++n) {
            text += sequences_.GetSequenceName(n) + L"{";
            for (const CommandSet& set : sequences_.GetCommandSets(n)) {
                for (const std::wstring& command : set) {
                    text += command + L";";
                }
                text += L"|";
            }
            text += L"}";
        }
        return text;
    }

    TempDir dir_;
    LogCapture log_{dir_.File("processor-log")};
    MicroController device_;
    SequenceContainer sequences_;
    ConfigFileProcessor processor_;
};

template <typename Case>
class ProcessorCases : public ConfigFileProcessorTest, public testing::WithParamInterface<Case> {};

// The case tables below are shown by the text they hand to the processor.
template <typename Case>
requires requires(const Case& c) {
    c.command;
}
void PrintTo(const Case& c, std::ostream* os) {
    *os << testing::PrintToString(c.command);
}

template <typename Case>
requires requires(const Case& c) {
    c.argument;
}
void PrintTo(const Case& c, std::ostream* os) {
    *os << testing::PrintToString(c.argument);
}

// ---------------------------------------------------------------------------------------------
// Commands that are refused: nothing in either model changes and exactly one error is logged.

struct RefusedCase {
    std::wstring command;
    std::wstring message;
};

class RefusedCommandTest : public ProcessorCases<RefusedCase> {
  protected:
    void SetUp() override { DeclareBlueAndSequenceZero(); }
};

TEST_P(RefusedCommandTest, FailsWithItsMessageAndChangesNothing) {
    const std::wstring before = Snapshot();
    EXPECT_EQ(Run(GetParam().command), -1);
    EXPECT_THAT(log_.Errors(), ElementsAre(GetParam().message));
    EXPECT_EQ(Snapshot(), before);
}

INSTANTIATE_TEST_SUITE_P(
    ArgumentCount, RefusedCommandTest,
    testing::Values(
        RefusedCase{L"-AddLED",
                    L"Error, the -AddLED command expects at least 1 arguments.  There "
                    L"were 0 specified."},
        RefusedCase{L"-SetMicroControllerPortNumber",
                    CountMessage(L"-SetMicroControllerPortNumber", L"1", L"0")},
        RefusedCase{L"-SetMicroControllerPortNumber 7 8",
                    CountMessage(L"-SetMicroControllerPortNumber", L"1", L"2")},
        RefusedCase{L"-SetIntensity Blue", CountMessage(L"-SetIntensity", L"2", L"1")},
        RefusedCase{L"-SetIntensity Blue 30 40", CountMessage(L"-SetIntensity", L"2", L"3")},
        // The message names the table's word, whatever case the line used.
        RefusedCase{L"-setINTENSITY blue", CountMessage(L"-SetIntensity", L"2", L"1")},
        RefusedCase{L"-SetLEDPulse Blue 5 5", CountMessage(L"-SetLEDPulse", L"4", L"3")},
        RefusedCase{L"-SetLEDPulse Blue 5 5 1 2", CountMessage(L"-SetLEDPulse", L"4", L"5")},
        RefusedCase{L"-AddSequenceCommandSet 0",
                    CountMessage(L"-AddSequenceCommandSet", L"2", L"1")},
        RefusedCase{L"-AddSequenceCommandSet 0 1 2",
                    CountMessage(L"-AddSequenceCommandSet", L"2", L"3")},
        // An empty name is saved as nothing, so its line is one argument short.
        RefusedCase{L"-AddSequence 1 ", CountMessage(L"-AddSequence", L"2", L"1")},
        // Three arguments: -AddSequence itself, not -AddSequenceCommand.
        RefusedCase{L"-AddSequence 1 Name Extra", CountMessage(L"-AddSequence", L"2", L"3")},
        RefusedCase{L"-AddSequenceCommand 0 0", CountMessage(L"-AddSequenceCommand", L"3", L"2")},
        // Unquoted, the command text falls apart into separate arguments.
        RefusedCase{L"-AddSequenceCommand 0 0 -Duration 5",
                    CountMessage(L"-AddSequenceCommand", L"3", L"4")}));

INSTANTIATE_TEST_SUITE_P(
    UnrecognizedOrMalformed, RefusedCommandTest,
    testing::Values(RefusedCase{L"-Bogus 1 2", kUnrecognized + L"-Bogus"},
                    // Only blanks: the tokenizer gives one empty argument.
                    RefusedCase{L"   ", kUnrecognized},
                    RefusedCase{L"AddLED Green", kUnrecognized + L"AddLED"},
                    RefusedCase{L"-AddSequenceCommandSets 0 1",
                                kUnrecognized + L"-AddSequenceCommandSets"},
                    RefusedCase{L"-AddLEDs Green", kUnrecognized + L"-AddLEDs"},
                    RefusedCase{L"-Break", kUnrecognized + L"-Break"},
                    RefusedCase{L"-AddSequence 5 \"A",
                                L"MiscFunctions::ParseCommandString() - Error Processing "
                                L"command(-AddSequence 5 \"A) string, unable to find matching "
                                L"double quotes."}));

// The processor converts; the models check. Negative numbers arrive as huge unsigned values.
INSTANTIATE_TEST_SUITE_P(
    ModelRejection, RefusedCommandTest,
    testing::Values(
        RefusedCase{
            L"-SetIntensity Blue -1",
            L"Error setting Blue intensity, the value(4294967295) is out of range(0..255)."},
        RefusedCase{L"-SetIntensity Blue 256",
                    L"Error setting Blue intensity, the value(256) is out of range(0..255)."},
        RefusedCase{L"-SetIntensity Green 10",
                    L"Error validating color value(Green), the color does not exist."},
        RefusedCase{L"-SetLEDPulse Blue 10 90 -1",
                    L"Error setting Blue pulse parameters.  The loop count value(4294967295) is "
                    L"out of range (0...1000000)."},
        RefusedCase{L"-SetLEDPulse Green 10 90 1",
                    L"Error validating color value(Green), the color does not exist."},
        RefusedCase{L"-AddLED \"\"", L"Error adding LED color, the color label string is empty."},
        RefusedCase{L"-AddLED blue",
                    L"Error adding LED color, the color (blue) already exists in "
                    L"our list and cannot be added again."},
        RefusedCase{L"-AddSequence -1 Negative",
                    L"Error validating sequence number.  The sequence number(4294967295) is out "
                    L"of range(0..254)."},
        RefusedCase{L"-AddSequence 255 Beyond",
                    L"Error validating sequence number.  The sequence number(255) is out of "
                    L"range(0..254)."},
        RefusedCase{L"-AddSequenceCommandSet -1 0",
                    L"Error validating sequence number.  The sequence number(4294967295) is out "
                    L"of range(0..254)."},
        RefusedCase{L"-AddSequenceCommandSet 0 -1",
                    L"Error adding command set for sequence 0, the command set index(4294967295) "
                    L"is out of range(0..1)."},
        RefusedCase{L"-AddSequenceCommandSet 3 0",
                    L"Error adding command set(0), a sequence does not exist at the specified "
                    L"index(3)."},
        RefusedCase{L"-AddSequenceCommand 0 -1 \"-Duration 5\"",
                    L"Error validating command set index(4294967295) for sequence 0, the value is "
                    L"out of range(0..0)."},
        RefusedCase{L"-AddSequenceCommand 0 0 \"-Flash Blue\"",
                    L"Error adding command(-Flash Blue) to sequence 0 and command set 0.  The "
                    L"command is invalid."}));

// ---------------------------------------------------------------------------------------------
// Accepted commands reach the right operation with their arguments in the right places.

TEST_F(ConfigFileProcessorTest, EmptyCommandFailsWithoutLogging) {
    EXPECT_EQ(Run(L""), -1);
    EXPECT_THAT(log_.messages, IsEmpty());
}

struct AddLEDCase {
    std::wstring command;
    double maximumPower;
};

using AddLEDTest = ProcessorCases<AddLEDCase>;

TEST_P(AddLEDTest, DeclaresTheLabelWithItsOptionalPower) {
    ASSERT_EQ(device_.AddLED(L"Blue", 1.0), 0);
    EXPECT_EQ(Run(GetParam().command), 0);
    EXPECT_THAT(log_.Errors(), IsEmpty());
    ASSERT_EQ(device_.GetLEDCount(), 2);
    EXPECT_EQ(Led(1).colorLabel, L"Green");
    EXPECT_EQ(Led(1).maximumPower, GetParam().maximumPower);
}

INSTANTIATE_TEST_SUITE_P(Power, AddLEDTest,
                         testing::Values(AddLEDCase{L"-AddLED Green", 0.0},
                                         AddLEDCase{L"-AddLED Green 12.5", 12.5},
                                         AddLEDCase{L"-addled Green 3e1", 30.0},
                                         AddLEDCase{L"-AddLED Green mW", 0.0},
                                         AddLEDCase{L"-AddLED \"Green\" 7 extra 9", 7.0},
                                         AddLEDCase{L"-AddLED Green 4 5 6 7 8", 4.0}));

struct IntegerCase {
    std::wstring argument;
    std::uint32_t value;
};

using IntegerArgumentTest = ProcessorCases<IntegerCase>;

// The port number is stored without a check, so it shows the conversion as it is.
TEST_P(IntegerArgumentTest, ReadsTheLeadingInteger) {
    device_.SetPortNumber(77);
    EXPECT_EQ(Run(L"-SetMicroControllerPortNumber " + GetParam().argument), 0);
    EXPECT_THAT(log_.Errors(), IsEmpty());
    EXPECT_EQ(device_.GetPortNumber(), GetParam().value);
}

INSTANTIATE_TEST_SUITE_P(
    PortNumber, IntegerArgumentTest,
    testing::Values(IntegerCase{L"7", 7}, IntegerCase{L"0", 0}, IntegerCase{L"007", 7},
                    IntegerCase{L"abc", 0}, IntegerCase{L"12abc", 12}, IntegerCase{L"+5", 5},
                    IntegerCase{L"\"  42\"", 42}, IntegerCase{L"3.9", 3}, IntegerCase{L"0x10", 0},
                    IntegerCase{L"+-5", 0}, IntegerCase{L"-1", 4294967295u},
                    IntegerCase{L"-2147483648", 2147483648u},
                    IntegerCase{L"2147483647", 2147483647u},
                    // Beyond 32 bits the value saturates rather than wrapping to a small one.
                    IntegerCase{L"4294967296", 2147483647u},
                    IntegerCase{L"4294967301", 2147483647u},
                    IntegerCase{L"99999999999999999999999", 2147483647u},
                    IntegerCase{L"-4294967295", 2147483648u}));

struct WidthCase {
    std::wstring argument;
    double width;
};

using AcceptedWidthTest = ProcessorCases<WidthCase>;

TEST_P(AcceptedWidthTest, ReadsTheLeadingNumber) {
    ASSERT_EQ(device_.AddLED(L"Blue", 0.0), 0);
    EXPECT_EQ(Run(L"-SetLEDPulse Blue " + GetParam().argument + L" 90 0"), 0);
    EXPECT_THAT(log_.Errors(), IsEmpty());
    EXPECT_EQ(Led(0).pulse.widthOn, GetParam().width);
}

INSTANTIATE_TEST_SUITE_P(PulseWidth, AcceptedWidthTest,
                         testing::Values(WidthCase{L"12.5", 12.5}, WidthCase{L"1e3", 1000.0},
                                         WidthCase{L"1.8e+06", 1800000.0}, WidthCase{L"+2.5", 2.5},
                                         WidthCase{L"\" 7.25\"", 7.25}, WidthCase{L".5", 0.5},
                                         WidthCase{L"5.", 5.0}, WidthCase{L"10ms", 10.0},
                                         WidthCase{L"0.1", 0.1}, WidthCase{L"1234.567", 1234.567},
                                         WidthCase{L"1,5", 1.0}, WidthCase{L"0x10", 16.0}));

struct RejectedWidthCase {
    std::wstring argument;
    // How the model's message shows the value the text was read as.
    std::wstring shown;
};

using RejectedWidthTest = ProcessorCases<RejectedWidthCase>;

TEST_P(RejectedWidthTest, ReachesTheModelAsItsValue) {
    ASSERT_EQ(device_.AddLED(L"Blue", 0.0), 0);
    EXPECT_EQ(Run(L"-SetLEDPulse Blue " + GetParam().argument + L" 90 0"), -1);
    EXPECT_THAT(log_.Errors(),
                ElementsAre(L"Error setting Blue pulse parameters.  The pulse width on "
                            L"value(" +
                            GetParam().shown + L")is out of range (0.1...1800000.0 ms)."));
    EXPECT_EQ(Led(0).pulse.widthOn, PulseParameters{}.widthOn);
}

INSTANTIATE_TEST_SUITE_P(
    PulseWidth, RejectedWidthTest,
    testing::Values(RejectedWidthCase{L"abc", L"0.0"}, RejectedWidthCase{L"+-5", L"0.0"},
                    RejectedWidthCase{L"\"+ 5\"", L"0.0"}, RejectedWidthCase{L"-5", L"-5.0"},
                    RejectedWidthCase{L"0.04", L"0.0"},
                    RejectedWidthCase{L"1800000.1", L"1800000.1"},
                    RejectedWidthCase{L"1e-999", L"0.0"}, RejectedWidthCase{L"-1e999", L"-inf"}));

TEST_F(ConfigFileProcessorTest, NumbersBeyondADoubleAreInfinite) {
    ASSERT_EQ(device_.AddLED(L"Blue", 0.0), 0);
    EXPECT_EQ(Run(L"-SetLEDPulse Blue 10 1e999 0"), -1);
    EXPECT_THAT(log_.Errors(),
                ElementsAre(L"Error setting Blue pulse parameters.  The pulse width off "
                            L"value(inf) is out of range (0.1...1800000.0 ms)."));
}

TEST_F(ConfigFileProcessorTest, SetLEDPulseTakesWidthsThenLoopCount) {
    ASSERT_EQ(device_.AddLED(L"Blue", 0.0), 0);
    ASSERT_EQ(device_.AddLED(L"Red", 0.0), 0);
    EXPECT_EQ(Run(L"-SetLEDPulse red 12.5 87.5 3"), 0);
    EXPECT_EQ(Led(1).pulse.widthOn, 12.5);
    EXPECT_EQ(Led(1).pulse.widthOff, 87.5);
    EXPECT_EQ(Led(1).pulse.loopCount, 3u);
    EXPECT_EQ(Run(L"-SetLEDPulse Red 1 2 many"), 0);
    EXPECT_EQ(Led(1).pulse.loopCount, 0u);
    EXPECT_EQ(Led(0).pulse.widthOn, PulseParameters{}.widthOn);
}

TEST_F(ConfigFileProcessorTest, SetIntensityTakesLabelThenValue) {
    ASSERT_EQ(device_.AddLED(L"Blue", 0.0), 0);
    ASSERT_EQ(device_.AddLED(L"Red", 0.0), 0);
    EXPECT_EQ(Run(L"-SETINTENSITY red 200"), 0);
    EXPECT_EQ(Led(1).intensity, 200);
    EXPECT_EQ(Run(L"-SetIntensity Red full"), 0);
    EXPECT_EQ(Led(1).intensity, 0);
    EXPECT_EQ(Led(0).intensity, LEDRecord{}.intensity);
    EXPECT_THAT(log_.Errors(), IsEmpty());
}

TEST_F(ConfigFileProcessorTest, SequenceCommandsTakeNumberThenIndex) {
    EXPECT_EQ(Run(L"-addsequence 7 \"Flash Train\""), 0);
    EXPECT_EQ(sequences_.GetSequenceName(7), L"Flash Train");
    EXPECT_EQ(Run(L"-AddSequenceCommandSet 7 0"), 0);
    EXPECT_EQ(Run(L"-AddSequenceCommand 7 0 \"-SetIntensity Blue 200\""), 0);
    // Inserted at index 0: the set made first moves to index 1.
    EXPECT_EQ(Run(L"-ADDSEQUENCECOMMANDSET 7 0"), 0);
    EXPECT_EQ(Run(L"-AddSequenceCommand 7 0 \"-Duration 5\""), 0);
    EXPECT_EQ(Run(L"-addsequencecommand 7 1 \"-TTLHigh 3\""), 0);
    EXPECT_THAT(log_.Errors(), IsEmpty());
    EXPECT_THAT(sequences_.GetCommandSets(7),
                ElementsAre(CommandSet{L"-Duration 5"},
                            CommandSet{L"-SetIntensity Blue 200", L"-TTLHigh 3"}));
    EXPECT_THAT(sequences_.GetCommandSets(0), IsEmpty());
}

// ---------------------------------------------------------------------------------------------
// The argument-count check on its own, as the script conversion and the editor use it.

struct CountCase {
    unsigned given;
    unsigned expected;
    bool atLeast;
    std::wstring message;  // empty when the count is acceptable
};

void PrintTo(const CountCase& c, std::ostream* os) {
    *os << c.given << (c.atLeast ? " >= " : " == ") << c.expected;
}

using CheckArgumentCountTest = ProcessorCases<CountCase>;

TEST_P(CheckArgumentCountTest, AcceptsOrLogsWhy) {
    const CountCase& c = GetParam();
    EXPECT_EQ(ArgumentReading::CheckArgumentCount(L"-Loop", c.given, c.expected, c.atLeast, &log_),
              c.message.empty());
    if (c.message.empty()) {
        EXPECT_THAT(log_.messages, IsEmpty());
    } else {
        EXPECT_THAT(log_.messages, ElementsAre(Error(c.message)));
    }
    // Without a log: same answer, and nothing to write to.
    EXPECT_EQ(
        ArgumentReading::CheckArgumentCount(L"-Loop", c.given, c.expected, c.atLeast, nullptr),
        c.message.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Counts, CheckArgumentCountTest,
    testing::Values(CountCase{0, 0, false, L""}, CountCase{3, 3, false, L""},
                    CountCase{2, 3, false, CountMessage(L"-Loop", L"3", L"2")},
                    CountCase{4, 3, false, CountMessage(L"-Loop", L"3", L"4")},
                    CountCase{1000, 12, false, CountMessage(L"-Loop", L"12", L"1000")},
                    CountCase{3, 3, true, L""}, CountCase{9, 3, true, L""},
                    CountCase{0, 0, true, L""},
                    CountCase{2, 3, true, CountMessage(L"-Loop", L"at least 3", L"2")},
                    CountCase{0, 10, true, CountMessage(L"-Loop", L"at least 10", L"0")}));

// ---------------------------------------------------------------------------------------------
// Whole files.

class LineEndingTest : public ConfigFileProcessorTest,
                       public testing::WithParamInterface<const char*> {
  protected:
    // The file with each "\n" replaced by the line ending under test.
    std::wstring WriteLines(const std::string& lfText, const std::string& name = "test.cfg") {
        std::string bytes;
        for (const char c : lfText) {
            bytes += c == '\n' ? std::string(GetParam()) : std::string(1, c);
        }
        return WriteCfg(bytes, name);
    }
};

TEST_P(LineEndingTest, CommentsOnlyFileStartsAndFinishes) {
    const std::wstring path =
        WriteLines("# Installation\n// nothing yet\n\n   # indented comment\n\t\n#-AddLED Blue\n");
    EXPECT_EQ(RunFile(path), 0);
    EXPECT_THAT(Reported(), ElementsAre(Started(path), Finished(path)));
    EXPECT_EQ(device_.GetLEDCount(), 0);
}

TEST_P(LineEndingTest, SetupThenSettingsRestoreBothModels) {
    const std::wstring setup = WriteLines(
        "# Installation\n"
        "-AddLED Blue 12.5\n"
        "-AddLED Red   # no power given\n"
        "-SetMicroControllerPortNumber 3\n",
        "setup.cfg");
    const std::wstring settings = WriteLines(
        "#Micro Controller Settings\n"
        "-SetMicroControllerPortNumber 5\n"
        "\n"
        "-SetIntensity \"Blue\" 200\n"
        "-SetLEDPulse \"Blue\" 12.5 87.5 3\n"
        "\n"
        "-SetIntensity \"Red\" 0\n"
        "-SetLEDPulse \"Red\" 1.8e+06 0.1 1000000\n"
        "\n"
        "\n"
        "#Sequence Container Settings\n"
        "-AddSequence 0 \"Flash Train\"\n"
        "-AddSequence 4 \"Caller\"\n"
        "\n"
        "#Sequence 0 commands.\n"
        "-AddSequenceCommandSet 0 0\n"
        "-AddSequenceCommand 0 0 \"-SetIntensity Blue 200\"\n"
        "-AddSequenceCommand 0 0 \"-On Blue\"\n"
        "-AddSequenceCommand 0 0 \"-Duration 5\"\n"
        "-AddSequenceCommandSet 0 1\n"
        "-AddSequenceCommand 0 1 \"-Off Blue\"\n"
        "\n"
        "#Sequence 4 commands.\n"
        "-AddSequenceCommandSet 4 0\n"
        "-AddSequenceCommand 4 0 \"-Call 0\"\n"
        "\n"
        "\n",
        "settings.cfg");

    EXPECT_EQ(RunFile(setup), 0);
    EXPECT_THAT(Reported(), ElementsAre(Started(setup), Finished(setup)));
    EXPECT_EQ(RunFile(settings), 0);
    EXPECT_THAT(Reported(), ElementsAre(Started(settings), Finished(settings)));

    EXPECT_EQ(device_.GetPortNumber(), 5u);
    ASSERT_EQ(device_.GetLEDCount(), 2);
    EXPECT_EQ(Led(0).colorLabel, L"Blue");
    EXPECT_EQ(Led(0).maximumPower, 12.5);
    EXPECT_EQ(Led(0).intensity, 200);
    EXPECT_EQ(Led(0).pulse.widthOn, 12.5);
    EXPECT_EQ(Led(0).pulse.widthOff, 87.5);
    EXPECT_EQ(Led(0).pulse.loopCount, 3u);
    EXPECT_EQ(Led(1).colorLabel, L"Red");
    EXPECT_EQ(Led(1).maximumPower, 0.0);
    EXPECT_EQ(Led(1).intensity, 0);
    EXPECT_EQ(Led(1).pulse.widthOn, 1800000.0);
    EXPECT_EQ(Led(1).pulse.widthOff, 0.1);
    EXPECT_EQ(Led(1).pulse.loopCount, 1000000u);

    EXPECT_EQ(sequences_.GetSequenceName(0), L"Flash Train");
    EXPECT_THAT(sequences_.GetCommandSets(0),
                ElementsAre(CommandSet{L"-SetIntensity Blue 200", L"-On Blue", L"-Duration 5"},
                            CommandSet{L"-Off Blue"}));
    EXPECT_EQ(sequences_.GetSequenceName(4), L"Caller");
    EXPECT_THAT(sequences_.GetCommandSets(4), ElementsAre(CommandSet{L"-Call 0"}));
}

TEST_P(LineEndingTest, VariablesAreSubstitutedBeforeTheCommandRuns) {
    const std::wstring path = WriteLines("%PORT = 6\n-SetMicroControllerPortNumber %PORT # six\n");
    EXPECT_EQ(RunFile(path), 0);
    EXPECT_EQ(device_.GetPortNumber(), 6u);
}

INSTANTIATE_TEST_SUITE_P(Files, LineEndingTest, testing::Values("\n", "\r\n"),
                         [](const testing::TestParamInfo<const char*>& info) {
                             return std::string(info.param) == "\n" ? "LF" : "CRLF";
                         });

struct BreakCase {
    std::string line;
    std::string lineEnd;
    // Empty when the line ends the file; otherwise the word it is rejected as.
    std::wstring unrecognizedWord;
    // The line as the reader hands it out, for the failure report.
    std::wstring lineText;
};

void PrintTo(const BreakCase& c, std::ostream* os) {
    *os << testing::PrintToString(c.line + c.lineEnd);
}

using BreakLineTest = ProcessorCases<BreakCase>;

TEST_P(BreakLineTest, EndsTheFileOnlyWhenItIsTheWholeLine) {
    const BreakCase& c = GetParam();
    const std::wstring path = WriteCfg("-AddSequence 1 Before" + c.lineEnd + c.line + c.lineEnd +
                                       "-AddSequence 2 After" + c.lineEnd);
    if (c.unrecognizedWord.empty()) {
        EXPECT_EQ(RunFile(path), 0);
        EXPECT_THAT(Reported(), ElementsAre(Started(path), Finished(path)));
        EXPECT_EQ(processor_.LastFailure().fileName, L"");
    } else {
        EXPECT_EQ(RunFile(path), -1);
        EXPECT_THAT(Reported(),
                    ElementsAre(Started(path), Error(kUnrecognized + c.unrecognizedWord)));
        EXPECT_EQ(processor_.LastFailure().fileName, path);
        EXPECT_EQ(processor_.LastFailure().lineNumber, 2);
        EXPECT_EQ(processor_.LastFailure().lineText, c.lineText);
    }
    EXPECT_EQ(sequences_.GetSequenceName(1), L"Before");
    EXPECT_EQ(sequences_.GetSequenceName(2), L"");
}

INSTANTIATE_TEST_SUITE_P(
    Lines, BreakLineTest,
    testing::Values(BreakCase{"-Break", "\n", L"", L""}, BreakCase{"-break", "\n", L"", L""},
                    BreakCase{"-BREAK", "\r\n", L"", L""}, BreakCase{"-break#c", "\n", L"", L""},
                    BreakCase{"-Break//c", "\r\n", L"", L""},
                    // The reader keeps the blank before a comment and any leading indentation.
                    BreakCase{"-Break # c", "\n", L"-Break", L"-Break "},
                    BreakCase{"-Break // c", "\r\n", L"-Break", L"-Break "},
                    BreakCase{"-Break ", "\n", L"-Break", L"-Break "},
                    BreakCase{"-Break\t", "\n", L"-Break", L"-Break\t"},
                    BreakCase{"  -Break", "\n", L"-Break", L"  -Break"},
                    BreakCase{"-Breaks", "\n", L"-Breaks", L"-Breaks"}));

TEST_F(ConfigFileProcessorTest, UnknownWordStopsTheFileAndKeepsWhatRanBefore) {
    const std::wstring path = WriteCfg(
        "-SetMicroControllerPortNumber 9\n-Frobnicate 1\n-SetMicroControllerPortNumber 11\n");
    EXPECT_EQ(RunFile(path), -1);
    EXPECT_THAT(Reported(), ElementsAre(Started(path), Error(kUnrecognized + L"-Frobnicate")));
    EXPECT_EQ(device_.GetPortNumber(), 9u);
    EXPECT_EQ(processor_.LastFailure().fileName, path);
    EXPECT_EQ(processor_.LastFailure().lineNumber, 2);
    EXPECT_EQ(processor_.LastFailure().lineText, L"-Frobnicate 1");
}

TEST_F(ConfigFileProcessorTest, UndeclaredLEDStopsTheFileAtItsIntensityLine) {
    ASSERT_EQ(device_.AddLED(L"Blue", 0.0), 0);
    const std::wstring path = WriteCfg(
        "#Micro Controller Settings\r\n"
        "-SetMicroControllerPortNumber 9\r\n"
        "\r\n"
        "-SetIntensity \"Blue\" 40\r\n"
        "-SetIntensity \"Red\" 100\r\n"
        "-SetLEDPulse \"Red\" 10 90 0\r\n"
        "-SetIntensity \"Blue\" 50\r\n"
        "-SetMicroControllerPortNumber 11\r\n");
    EXPECT_EQ(RunFile(path), -1);
    EXPECT_THAT(Reported(),
                ElementsAre(Started(path), Error(L"Error validating color value(Red), the color "
                                                 L"does not exist.")));
    EXPECT_EQ(device_.GetPortNumber(), 9u);
    EXPECT_EQ(Led(0).intensity, 40);
    EXPECT_EQ(processor_.LastFailure().lineNumber, 5);
    EXPECT_EQ(processor_.LastFailure().lineText, L"-SetIntensity \"Red\" 100");
}

TEST_F(ConfigFileProcessorTest, ANameCutByACommentMarkerFailsToParse) {
    const std::wstring path = WriteCfg("-AddSequence 5 \"A#B\"\n-AddSequence 6 Later\n");
    EXPECT_EQ(RunFile(path), -1);
    EXPECT_THAT(log_.Errors(),
                ElementsAre(L"MiscFunctions::ParseCommandString() - Error Processing "
                            L"command(-AddSequence 5 \"A) string, unable to find "
                            L"matching double quotes."));
    EXPECT_EQ(sequences_.GetSequenceName(5), L"");
    EXPECT_EQ(sequences_.GetSequenceName(6), L"");
}

TEST_F(ConfigFileProcessorTest, ReaderFailureStopsTheFileAtThatLine) {
    const std::wstring path = WriteCfg(
        "-SetMicroControllerPortNumber 9\n# fine\nnot a command\n-SetMicroControllerPortNumber "
        "11\n");
    EXPECT_EQ(RunFile(path), -1);
    EXPECT_THAT(Reported(),
                ElementsAre(Started(path), Error(L"FormatCmdLine::ProcessLine() - Error, Invalid "
                                                 L"Syntax, unable to determine what type of line "
                                                 L"to process.")));
    EXPECT_EQ(device_.GetPortNumber(), 9u);
    EXPECT_EQ(processor_.LastFailure().lineNumber, 3);
    EXPECT_EQ(processor_.LastFailure().lineText, L"not a command");
}

TEST_F(ConfigFileProcessorTest, LineTooLongToReadIsReportedByItsNumber) {
    const std::wstring path = WriteCfg("-SetMicroControllerPortNumber 9\n# c\n-AddSequence 1 " +
                                       std::string(1200, 'x') + "\n-AddSequence 2 Later\n");
    EXPECT_EQ(RunFile(path), -1);
    EXPECT_THAT(Reported(), ElementsAre(Started(path), Error(L"FormatCmdLine::GetLineFromFile() - "
                                                             L"Error, unable to get next line "
                                                             L"from file.")));
    EXPECT_EQ(processor_.LastFailure().fileName, path);
    EXPECT_EQ(processor_.LastFailure().lineNumber, 3);
    EXPECT_EQ(processor_.LastFailure().lineText, L"");
    EXPECT_EQ(sequences_.GetSequenceName(2), L"");
}

TEST_F(ConfigFileProcessorTest, MissingFileFailsAfterStartedWithoutALineReport) {
    const std::wstring path = dir_.File("absent.cfg");
    EXPECT_EQ(RunFile(path), -1);
    EXPECT_THAT(Reported(),
                ElementsAre(Started(path), Error(L"FormatCmdLine::OpenFileCfg() - Could not find "
                                                 L"the file " +
                                                 path + L".")));
    EXPECT_EQ(processor_.LastFailure().fileName, L"");
}

TEST_F(ConfigFileProcessorTest, FailureReportNamesTheFileWithoutQuotesAndClearsOnTheNextFile) {
    const std::wstring bad = WriteCfg("-AddLED\n", "bad.cfg");
    const std::wstring good = WriteCfg("-AddLED Blue\n", "good.cfg");
    EXPECT_EQ(RunFile(L"\"" + bad + L"\""), -1);
    EXPECT_THAT(Reported(),
                ElementsAre(Started(L"\"" + bad + L"\""),
                            Error(L"Error, the -AddLED command expects at least 1 arguments.  "
                                  L"There were 0 specified.")));
    EXPECT_EQ(processor_.LastFailure().fileName, bad);
    EXPECT_EQ(processor_.LastFailure().lineNumber, 1);
    EXPECT_EQ(processor_.LastFailure().lineText, L"-AddLED");

    EXPECT_EQ(RunFile(good), 0);
    EXPECT_EQ(processor_.LastFailure().fileName, L"");
    EXPECT_EQ(processor_.LastFailure().lineNumber, 0);
    EXPECT_EQ(processor_.LastFailure().lineText, L"");
}

TEST_F(ConfigFileProcessorTest, NeverInitializedProcessorRefusesFilesAndCommands) {
    const std::wstring path = WriteCfg("-SetMicroControllerPortNumber 9\n");
    ConfigFileProcessor bare;
    EXPECT_FALSE(bare.IsInitialized());
    EXPECT_EQ(bare.ProcessConfigFile(path), -1);
    EXPECT_EQ(bare.LastFailure().fileName, L"");
    for (const wchar_t* command :
         {L"-AddLED Blue", L"-SetMicroControllerPortNumber 9", L"-SetIntensity Blue 1",
          L"-SetLEDPulse Blue 1 1 1", L"-AddSequence 0 A", L"-AddSequenceCommandSet 0 0",
          L"-AddSequenceCommand 0 0 -EndLoop", L"-Unknown"}) {
        EXPECT_EQ(bare.ProcessCommandString(command), -1) << testing::PrintToString(command);
    }
    EXPECT_EQ(device_.GetPortNumber(), MicroController::kDefaultPortNumber);
}

// A width with more than 6 significant digits is saved rounded, and the rounded value is what
// comes back; saving again gives the same bytes.
TEST_F(ConfigFileProcessorTest, DeviceSectionReadsBackToTheSameBytes) {
    const std::wstring setup = WriteCfg("-AddLED Blue\n", "setup.cfg");
    const std::wstring edits = WriteCfg(
        "-SetLEDPulse Blue 1234.567 0.5 3\n-SetIntensity Blue 200\n"
        "-SetMicroControllerPortNumber 7\n",
        "edits.cfg");
    ASSERT_EQ(RunFile(setup), 0);
    ASSERT_EQ(RunFile(edits), 0);
    EXPECT_EQ(Led(0).pulse.widthOn, 1234.567);

    const std::string saved = WideToNarrow(device_.GetSettingsSection());
    EXPECT_EQ(saved,
              "#Micro Controller Settings\r\n"
              "-SetMicroControllerPortNumber 7\r\n"
              "\r\n"
              "-SetIntensity \"Blue\" 200\r\n"
              "-SetLEDPulse \"Blue\" 1234.57 0.5 3\r\n"
              "\r\n"
              "\r\n");
    const std::wstring savedPath = WriteCfg(saved, "saved.cfg");

    MicroController freshDevice(&log_);
    SequenceContainer freshSequences;
    ConfigFileProcessor fresh;
    InitializeSettingsProcessor(fresh, &log_, freshDevice, freshSequences);
    ASSERT_EQ(fresh.ProcessConfigFile(setup), 0);
    ASSERT_EQ(fresh.ProcessConfigFile(savedPath), 0);

    const LEDRecord record = LedInfo(freshDevice, 0);
    EXPECT_EQ(record.pulse.widthOn, 1234.57);
    EXPECT_EQ(record.pulse.widthOff, 0.5);
    EXPECT_EQ(record.pulse.loopCount, 3u);
    EXPECT_EQ(record.intensity, 200);
    EXPECT_EQ(freshDevice.GetPortNumber(), 7u);
    EXPECT_EQ(WideToNarrow(freshDevice.GetSettingsSection()), saved);
}

}  // namespace
