#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "device/MicroControllerCommandConversion.h"
#include "device/ScriptCommand.h"
#include "foundation/TextConversion.h"
#include "support/LogCapture.h"
#include "support/TempDir.h"

namespace {

using testing::ElementsAre;
using testing::ElementsAreArray;
using testing::IsEmpty;
using testing::Pair;
using Bytes = std::vector<std::uint8_t>;
using CommandSets = std::vector<std::vector<std::wstring>>;
using Messages = std::vector<std::pair<LogLevel, std::wstring>>;

// Script commands written as hex, ten bytes each, e.g. {"01 00 00 02 00 08 08 00 00 00"}.
Bytes Script(const std::vector<std::string>& commands) {
    Bytes bytes;
    for (const std::string& command : commands) {
        std::istringstream stream(command);
        unsigned value = 0;
        while (stream >> std::hex >> value) {
            bytes.push_back(static_cast<std::uint8_t>(value));
        }
    }
    return bytes;
}

const std::string kEnd = "FF 00 00 00 00 00 00 00 00 00";
const std::string kNoWait = "00 00 00 00 00 00 00 00 00 00";

std::pair<LogLevel, std::wstring> Error(const std::wstring& text) {
    return {LogLevel::Error, text};
}

std::pair<LogLevel, std::wstring> Warning(const std::wstring& text) {
    return {LogLevel::Warning, text};
}

std::wstring Conflict(const std::wstring& word, int opCode) {
    return L"Error updating Op Code for " + word +
           L" command, it conflicts with the current op code(" + std::to_wstring(opCode) + L").";
}

std::wstring Invalid(const std::wstring& command) {
    return L"Error converting sequence commands to script commands.  The command(" + command +
           L") was invalid.";
}

std::wstring UnknownLabel(const std::wstring& label) {
    return L"Error getting LED ID, unrecognized color label: " + label + L".";
}

// LEDs as the device model registers them: Blue, Green and Red with device IDs 0, 2 and 1.
class ConversionTest : public testing::Test {
  protected:
    void SetUp() override {
        conversion_.RegisterLED(L"Blue", 0);
        conversion_.RegisterLED(L"Green", 2);
        conversion_.RegisterLED(L"Red", 1);
    }

    TempDir dir_;
    LogCapture log_{dir_.File("conversion")};
    MicroControllerCommandConversion conversion_{&log_};
};

struct ScriptCase {
    const char* name;
    CommandSets commandSets;
    std::vector<std::string> script;
    Messages messages;
};

void PrintTo(const ScriptCase& c, std::ostream* os) {
    *os << c.name;
}

class ConvertsToScript : public ConversionTest, public testing::WithParamInterface<ScriptCase> {};

TEST_P(ConvertsToScript, ByteForByte) {
    Bytes script;
    EXPECT_EQ(conversion_.Convert(GetParam().commandSets, script), 0);
    EXPECT_THAT(script, ElementsAreArray(Script(GetParam().script)));
    EXPECT_THAT(log_.messages, ElementsAreArray(GetParam().messages));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ConvertsToScript,
    testing::Values(
        ScriptCase{"EmptySequenceIsJustTheEnd", {}, {kEnd}, {}},
        ScriptCase{"EmptyCommandSetWaitsNoSteps", {{}}, {kNoWait, kEnd}, {}},
        ScriptCase{"DurationFillsTheRestWithAWait",
                   {{L"-Duration 100"}},
                   {kNoWait, "00 E7 03 00 00 00 00 00 00 00", kEnd},
                   {}},
        ScriptCase{"ShortestDurationNeedsNoWait", {{L"-Duration 0.1"}}, {kNoWait, kEnd}, {}},
        // 0.15 + 0.05 rounds above 0.2 in single precision, though not in double.
        ScriptCase{"DurationIsSinglePrecision",
                   {{L"-Duration 0.15"}},
                   {kNoWait, "00 01 00 00 00 00 00 00 00 00", kEnd},
                   {}},
        // Read into single precision before the allowance is added: 2.35 becomes 2.3499999,
        // so the sum stays below 2.4.
        ScriptCase{"DurationIsReadInSinglePrecision",
                   {{L"-Duration 2.35"}},
                   {kNoWait, "00 16 00 00 00 00 00 00 00 00", kEnd},
                   {}},
        ScriptCase{"DurationOfOneMillisecondTruncatesDown",
                   {{L"-Duration 1"}},
                   {kNoWait, "00 09 00 00 00 00 00 00 00 00", kEnd},
                   {}},
        ScriptCase{"LongestDuration",
                   {{L"-Duration 1800000"}},
                   {kNoWait, "00 7F A8 12 01 00 00 00 00 00", kEnd},
                   {}},
        ScriptCase{"HugeDurationSaturatesTheWait",
                   {{L"-Duration 1e300"}},
                   {kNoWait, "00 FF FF FF FF FF FF FF FF 00", kEnd},
                   {}},
        ScriptCase{"LastDurationOfASetCounts",
                   {{L"-Duration 10", L"-Duration 5"}},
                   {kNoWait, "00 31 00 00 00 00 00 00 00 00", kEnd},
                   {}},
        ScriptCase{"NegativeDurationNeedsNoWait", {{L"-Duration -5"}}, {kNoWait, kEnd}, {}},
        ScriptCase{"OffAndTTLHighShareOneSetOutputs",
                   {{L"-Off Red", L"-TTLHigh 3"}},
                   {"01 00 00 02 00 08 08 00 00 00", kEnd},
                   {}},
        ScriptCase{"TTLLowAlone", {{L"-TTLLow 4"}}, {"07 00 10 00 00 00 00 00 00 00", kEnd}, {}},
        ScriptCase{"TTLThenLEDBecomesSetOutputs",
                   {{L"-TTLHigh 5", L"-On Green"}},
                   {"01 04 00 04 00 20 20 00 00 00", kEnd},
                   {}},
        ScriptCase{"MasksUseDeviceIds",
                   {{L"-On Blue", L"-On Green", L"-Off Red", L"-TTLHigh 6", L"-TTLLow 3"}},
                   {"01 05 00 07 00 40 48 00 00 00", kEnd},
                   {}},
        ScriptCase{"LaterCommandOfTheSameOutputWins",
                   {{L"-On Blue", L"-Off Blue", L"-TTLHigh 4", L"-TTLLow 4"}},
                   {"01 00 00 01 00 00 10 00 00 00", kEnd},
                   {}},
        ScriptCase{"LabelsMatchInAnyCase",
                   {{L"-On bLUE"}, {L"-SetIntensity GREEN 9"}},
                   {"01 01 00 01 00 00 00 00 00 00", "0B 09 00 00 00 00 00 00 00 00", kEnd},
                   {}},
        ScriptCase{"TTLNumberOutsideTheByteTouchesNothing",
                   {{L"-TTLHigh 9"}, {L"-TTLLow -1"}, {L"-TTLHigh 40"}},
                   {"07 00 00 00 00 00 00 00 00 00", "07 00 00 00 00 00 00 00 00 00",
                    "07 00 00 00 00 00 00 00 00 00", kEnd},
                   {}},
        ScriptCase{"SetOutputsWithItsWait",
                   {{L"-Off Blue", L"-Duration 10"}},
                   {"01 00 00 01 00 00 00 00 00 00", "00 63 00 00 00 00 00 00 00 00", kEnd},
                   {}},
        ScriptCase{"CallKeepsEightBitsOfTheNumber",
                   {{L"-Call 2"}, {L"-Call 258"}, {L"-Call x"}},
                   {"05 02 00 00 00 00 00 00 00 00", "05 02 00 00 00 00 00 00 00 00",
                    "05 00 00 00 00 00 00 00 00 00", kEnd},
                   {}},
        ScriptCase{
            "IntensityOpCodeFollowsTablePosition",
            {{L"-SetIntensity Blue 7"}, {L"-SetIntensity Green 200"}, {L"-SetIntensity Red 255"}},
            {"0A 07 00 00 00 00 00 00 00 00", "0B C8 00 00 00 00 00 00 00 00",
             "0C FF 00 00 00 00 00 00 00 00", kEnd},
            {}},
        ScriptCase{"SetIntensityOverridesEarlierCommands",
                   {{L"-On Blue", L"-TTLHigh 3", L"-SetIntensity Red 5", L"-Duration 5"}},
                   {"0C 05 00 00 00 00 00 00 00 00", "00 31 00 00 00 00 00 00 00 00", kEnd},
                   {}},
        ScriptCase{"LoopFromTheStart",
                   {{L"-Loop 5"}, {L"-On Blue"}, {L"-Off Blue"}, {L"-EndLoop"}},
                   {"01 01 00 01 00 00 00 00 00 00", "01 00 00 01 00 00 00 00 00 00",
                    "06 00 00 00 00 00 05 00 00 00", kEnd},
                   {}},
        ScriptCase{"LoopTargetCountsWaitsAndSkipsTheLoopStart",
                   {{L"-TTLHigh 5", L"-Duration 10"},
                    {L"-Loop 1000000"},
                    {L"-Off Green", L"-Duration 0.5"},
                    {L"-EndLoop"}},
                   {"07 20 20 00 00 00 00 00 00 00", "00 63 00 00 00 00 00 00 00 00",
                    "01 00 00 04 00 00 00 00 00 00", "00 04 00 00 00 00 00 00 00 00",
                    "06 00 02 00 00 00 40 42 0F 00", kEnd},
                   {}},
        ScriptCase{"LoopStartWithADurationLoopsOverItsWait",
                   {{L"-Loop 3", L"-Duration 10"}, {L"-EndLoop"}},
                   {"00 63 00 00 00 00 00 00 00 00", "06 00 00 00 00 00 03 00 00 00", kEnd},
                   {}},
        ScriptCase{
            "TwoLoopsInARow",
            {{L"-Loop 2"}, {L"-On Red"}, {L"-EndLoop"}, {L"-Loop 3"}, {L"-Off Red"}, {L"-EndLoop"}},
            {"01 02 00 02 00 00 00 00 00 00", "06 00 00 00 00 00 02 00 00 00",
             "01 00 00 02 00 00 00 00 00 00", "06 00 02 00 00 00 03 00 00 00", kEnd},
            {}},
        ScriptCase{"EndLoopIgnoresArguments",
                   {{L"-Loop 2"}, {L"-On Blue"}, {L"-EndLoop 7"}},
                   {"01 01 00 01 00 00 00 00 00 00", "06 00 00 00 00 00 02 00 00 00", kEnd},
                   {}},
        ScriptCase{"EmptyLoopIsDroppedWithAWarning",
                   {{L"-On Blue"}, {L"-Loop 4"}, {L"-EndLoop"}, {L"-Off Blue"}},
                   {"01 01 00 01 00 00 00 00 00 00", "01 00 00 01 00 00 00 00 00 00", kEnd},
                   {Warning(L"Warning, empty loop found at index 1.")}},
        ScriptCase{"QuotedArgumentsAreOneToken",
                   {{L"-Off \"Red\"", L"-TTLHigh \"3\""}},
                   {"01 00 00 02 00 08 08 00 00 00", kEnd},
                   {}}),
    [](const testing::TestParamInfo<ScriptCase>& info) { return std::string(info.param.name); });

struct FailureCase {
    const char* name;
    CommandSets commandSets;
    Messages messages;
};

void PrintTo(const FailureCase& c, std::ostream* os) {
    *os << c.name;
}

class RefusesToConvert : public ConversionTest, public testing::WithParamInterface<FailureCase> {};

TEST_P(RefusesToConvert, LogsExactlyAndLeavesTheOutput) {
    Bytes script{0xAB, 0xCD};
    EXPECT_EQ(conversion_.Convert(GetParam().commandSets, script), -1);
    EXPECT_THAT(script, ElementsAre(0xAB, 0xCD));
    EXPECT_THAT(log_.messages, ElementsAreArray(GetParam().messages));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RefusesToConvert,
    testing::Values(
        FailureCase{"UnknownWord", {{L"-Blink Blue"}}, {Error(Invalid(L"-Blink Blue"))}},
        FailureCase{"EmptyCommand", {{L"-On Blue", L""}}, {Error(Invalid(L""))}},
        FailureCase{"UnknownLabelOfOn", {{L"-On Amber"}}, {Error(UnknownLabel(L"Amber"))}},
        FailureCase{
            "UnknownLabelOfOff", {{L"-On Blue"}, {L"-Off Amber"}}, {Error(UnknownLabel(L"Amber"))}},
        FailureCase{"UnknownLabelOfSetIntensity",
                    {{L"-SetIntensity Amber 3"}},
                    {Error(UnknownLabel(L"Amber"))}},
        FailureCase{"UnbalancedQuote",
                    {{L"-On \"Blue"}},
                    {Error(L"MiscFunctions::ParseCommandString() - Error Processing command(-On "
                           L"\"Blue) string, unable to find matching double quotes.")}},
        // The conversion's own argument check has no log.
        FailureCase{"OnWithoutLabel", {{L"-On"}}, {}},
        FailureCase{"OffWithTwoLabels", {{L"-Off Blue Red"}}, {}},
        FailureCase{"SetIntensityWithoutValue", {{L"-SetIntensity Blue"}}, {}},
        FailureCase{"DurationWithoutValue", {{L"-Duration"}}, {}},
        FailureCase{"LoopWithTwoCounts", {{L"-Loop 5 6"}}, {}},
        FailureCase{"CallWithoutNumber", {{L"-Call"}}, {}},
        FailureCase{"TTLLowWithoutBit", {{L"-TTLLow"}}, {}},
        FailureCase{"WordNotAtTheStart", {{L"x -On Blue"}}, {Error(Invalid(L"x -On Blue"))}},
        FailureCase{"OffAfterCall", {{L"-Call 2", L"-Off Blue"}}, {Error(Conflict(L"-Off", 5))}},
        FailureCase{"CallAfterTTL", {{L"-TTLLow 3", L"-Call 1"}}, {Error(Conflict(L"-Call", 7))}},
        FailureCase{"TTLLowAfterSetIntensityNamesTTLHigh",
                    {{L"-SetIntensity Blue 4", L"-TTLLow 3"}},
                    {Error(Conflict(L"-TTLHigh", 10))}},
        FailureCase{"OnAfterThirdIntensity",
                    {{L"-SetIntensity Red 4", L"-On Red"}},
                    {Error(Conflict(L"-On", 12))}},
        FailureCase{"LoopAfterOn", {{L"-On Blue", L"-Loop 2"}}, {Error(Conflict(L"-Loop", 1))}},
        FailureCase{
            "EndLoopAfterLoop", {{L"-Loop 3", L"-EndLoop"}}, {Error(Conflict(L"-EndLoop", 8))}},
        FailureCase{"SecondCallInASet", {{L"-Call 1", L"-Call 2"}}, {Error(Conflict(L"-Call", 5))}},
        FailureCase{"NestedLoopsAtTheStart",
                    {{L"-Loop 2"}, {L"-Loop 3"}, {L"-EndLoop"}, {L"-EndLoop"}},
                    {Error(L"Error, invalid start loop command found at index 0.")}},
        FailureCase{"NestedLoopIndexCountsTheFinalList",
                    {{L"-On Blue"}, {L"-Loop 2"}, {L"-On Red", L"-Duration 5"}, {L"-Loop 3"}},
                    {Error(L"Error, invalid start loop command found at index 3.")}},
        FailureCase{"EndLoopWithoutLoop",
                    {{L"-On Blue"}, {L"-EndLoop"}},
                    {Error(L"Error, invalid end loop command found at index 1.")}},
        FailureCase{"EndLoopAfterAnEmptyLoop",
                    {{L"-Loop 2"}, {L"-EndLoop"}, {L"-EndLoop"}},
                    {Warning(L"Warning, empty loop found at index 0."),
                     Error(L"Error, invalid end loop command found at index 0.")}},
        FailureCase{"LoopNeverClosed",
                    {{L"-On Blue"}, {L"-Loop 2"}, {L"-On Red"}},
                    {Error(L"Error, invalid start loop command found at index 1.  There is not "
                           L"a corresponding end loop command.")}},
        FailureCase{"FirstFailingSetEndsTheConversion",
                    {{L"-On Amber"}, {L"-On Violet"}},
                    {Error(UnknownLabel(L"Amber"))}}),
    [](const testing::TestParamInfo<FailureCase>& info) { return std::string(info.param.name); });

TEST_F(ConversionTest, EachConversionStartsFromAnEmptyList) {
    Bytes script;
    ASSERT_EQ(conversion_.Convert({{L"-Loop 2"}, {L"-On Blue"}}, script), -1);
    ASSERT_EQ(conversion_.Convert({{L"-On Blue"}, {L"-Loop 2"}, {L"-Off Blue"}}, script), -1);
    ASSERT_EQ(conversion_.Convert({{L"-TTLHigh 3"}}, script), 0);
    EXPECT_THAT(script, ElementsAreArray(Script({"07 08 08 00 00 00 00 00 00 00", kEnd})));
    ASSERT_EQ(conversion_.Convert({}, script), 0);
    EXPECT_THAT(script, ElementsAreArray(Script({kEnd})));
}

TEST(ConversionWithoutLog, FailsQuietly) {
    MicroControllerCommandConversion conversion;
    Bytes script;
    EXPECT_EQ(conversion.Convert({{L"-On Blue"}}, script), -1);
    EXPECT_EQ(conversion.Convert({{L"-EndLoop"}}, script), -1);
    EXPECT_THAT(script, IsEmpty());
}

// The op code table, one row per word: the op codes it accepts and what they become.
// Every other current op code is a conflict.
struct OpCodeRule {
    const wchar_t* word;
    std::vector<std::pair<std::uint8_t, std::uint8_t>> accepted;
};

void PrintTo(const OpCodeRule& rule, std::ostream* os) {
    *os << WideToNarrow(rule.word);
}

const std::vector<OpCodeRule> kOpCodeRules = {
    {L"-On", {{0x00, 0x01}, {0x07, 0x01}, {0x01, 0x01}}},
    {L"-Off", {{0x00, 0x01}, {0x07, 0x01}, {0x01, 0x01}}},
    {L"-Call", {{0x00, 0x05}}},
    {L"-Loop", {{0x00, 0x08}}},
    {L"-EndLoop", {{0x00, 0x06}}},
    {L"-TTLHigh", {{0x00, 0x07}, {0x01, 0x01}, {0x07, 0x07}}},
};

const std::vector<std::uint8_t> kAllOpCodes = {0x00, 0x01, 0x05, 0x06, 0x07,
                                               0x08, 0x0A, 0x0B, 0x0C, 0xFF};

class UpdateOpCodeTest : public ConversionTest, public testing::WithParamInterface<OpCodeRule> {};

TEST_P(UpdateOpCodeTest, AcceptsItsOpCodesAndConflictsWithEveryOther) {
    const OpCodeRule& rule = GetParam();
    for (const std::uint8_t current : kAllOpCodes) {
        log_.messages.clear();
        ScriptCommand record;
        record.opCode = current;
        std::uint8_t expected = current;
        bool accepted = false;
        for (const auto& [from, to] : rule.accepted) {
            if (from == current) {
                expected = to;
                accepted = true;
            }
        }
        SCOPED_TRACE(static_cast<int>(current));
        EXPECT_EQ(conversion_.UpdateOpCode(rule.word, record), accepted ? 0 : -1);
        EXPECT_EQ(record.opCode, expected);
        if (accepted) {
            EXPECT_THAT(log_.messages, IsEmpty());
        } else {
            EXPECT_THAT(log_.messages, ElementsAre(Error(Conflict(rule.word, current))));
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Words, UpdateOpCodeTest, testing::ValuesIn(kOpCodeRules),
                         [](const testing::TestParamInfo<OpCodeRule>& info) {
                             return WideToNarrow(std::wstring(info.param.word).substr(1));
                         });

TEST_F(ConversionTest, UpdateOpCodeComparesTheWordWithoutCase) {
    ScriptCommand record;
    EXPECT_EQ(conversion_.UpdateOpCode(L"-ttlhigh", record), 0);
    EXPECT_EQ(record.opCode, 0x07);
    EXPECT_EQ(conversion_.UpdateOpCode(L"-ON", record), 0);
    EXPECT_EQ(record.opCode, 0x01);
    EXPECT_EQ(conversion_.UpdateOpCode(L"-cALL", record), -1);
    EXPECT_THAT(log_.messages, ElementsAre(Error(Conflict(L"-cALL", 1))));
}

TEST_F(ConversionTest, UpdateOpCodeRefusesWordsWithoutAnOpCode) {
    for (const wchar_t* word : {L"-Duration", L"-SetIntensity", L"-TTLLow", L""}) {
        log_.messages.clear();
        ScriptCommand record;
        EXPECT_EQ(conversion_.UpdateOpCode(word, record), -1);
        EXPECT_EQ(record.opCode, 0x00);
        EXPECT_THAT(log_.messages,
                    ElementsAre(Error(L"Error updating Op Code, unrecognized command: " +
                                      std::wstring(word) + L".")));
    }
}

// Every layout with all its fields set, so a field in the wrong place or leaking into another
// op code's layout shows.
struct LayoutCase {
    const char* name;
    std::uint8_t opCode;
    std::string bytes;
};

void PrintTo(const LayoutCase& c, std::ostream* os) {
    *os << c.name;
}

class ScriptCommandLayout : public testing::TestWithParam<LayoutCase> {};

TEST_P(ScriptCommandLayout, SerializesOnlyItsOwnFieldsLittleEndian) {
    ScriptCommand record;
    record.opCode = GetParam().opCode;
    record.ledValueMask = 0x1234;
    record.ledChangeMask = 0x5678;
    record.ttlValueMask = 0x9A;
    record.ttlChangeMask = 0xBC;
    record.waitSteps = 0x0102030405060708;
    record.calledSequence = 0xDE;
    record.jumpTargetIndex = 0x11223344;
    record.loopCount = 0x55667788;
    record.intensity = 0xEF;
    const ScriptCommand::Bytes bytes = record.Serialize();
    EXPECT_THAT(Bytes(bytes.begin(), bytes.end()), ElementsAreArray(Script({GetParam().bytes})));
}

INSTANTIATE_TEST_SUITE_P(
    OpCodes, ScriptCommandLayout,
    testing::Values(LayoutCase{"WaitSteps", 0x00, "00 08 07 06 05 04 03 02 01 00"},
                    LayoutCase{"SetOutputs", 0x01, "01 34 12 78 56 9A BC 00 00 00"},
                    LayoutCase{"CallSequence", 0x05, "05 DE 00 00 00 00 00 00 00 00"},
                    LayoutCase{"EndLoop", 0x06, "06 00 44 33 22 11 88 77 66 55"},
                    LayoutCase{"SetTTLOutputs", 0x07, "07 9A BC 00 00 00 00 00 00 00"},
                    LayoutCase{"SetIntensity1", 0x0A, "0A EF 00 00 00 00 00 00 00 00"},
                    LayoutCase{"SetIntensity2", 0x0B, "0B EF 00 00 00 00 00 00 00 00"},
                    LayoutCase{"SetIntensity3", 0x0C, "0C EF 00 00 00 00 00 00 00 00"},
                    LayoutCase{"EndOfSequence", 0xFF, "FF 00 00 00 00 00 00 00 00 00"}),
    [](const testing::TestParamInfo<LayoutCase>& info) { return std::string(info.param.name); });

}  // namespace
