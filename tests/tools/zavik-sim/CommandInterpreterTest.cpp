#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/HexBytes.h"
#include "zavik-sim/CommandInterpreter.h"

namespace {

// One command's data section and the status the firmware must answer it with.
struct Step {
    std::string data;
    std::uint8_t status;
};

struct Scenario {
    std::string name;
    std::vector<Step> steps;
    // A part of what DeviceState::Describe() reads afterwards.
    std::wstring state;
};

void PrintTo(const Scenario& test, std::ostream* out) {
    *out << test.name;
}

const Step kBegin{"15 03", 0x00};
const Step kCount2{"16 03 02 00 00 00", 0x00};
const Step kCount1{"16 03 01 00 00 00", 0x00};
const Step kRecord0{"17 03 00 00 00 00 01 05 00 05 00 00 00 00 00 00", 0x00};
const Step kRecord1{"17 03 01 00 00 00 FF 00 00 00 00 00 00 00 00 00", 0x00};
const Step kEnd{"18 03", 0x00};
const Step kStart{"14 03", 0x00};

Step Refused(const Step& step, std::uint8_t status = 0xFD) {
    return Step{step.data, status};
}

Answer ExecuteHex(const CommandInterpreter& interpreter, DeviceState& state,
                  const std::string& hex) {
    const Bytes data = HexBytes(hex);
    return interpreter.Execute(data.data(), data.size(), state);
}

class CommandInterpreterScenario : public testing::TestWithParam<Scenario> {};

TEST_P(CommandInterpreterScenario, AnswersEachStep) {
    const CommandInterpreter interpreter(L"ZVK-SIM 1.0");
    DeviceState state;
    for (const Step& step : GetParam().steps) {
        const Answer answer = ExecuteHex(interpreter, state, step.data);
        EXPECT_EQ(answer.commandId, HexBytes(step.data)[0]) << step.data;
        EXPECT_EQ(static_cast<int>(answer.status), static_cast<int>(step.status)) << step.data;
        EXPECT_TRUE(answer.result.empty()) << step.data;
    }
    EXPECT_NE(state.Describe().find(GetParam().state), std::wstring::npos) << state.Describe();
}

INSTANTIATE_TEST_SUITE_P(
    Commands, CommandInterpreterScenario,
    testing::Values(
        Scenario{"UploadThenStart",
                 {kBegin, kCount2, kRecord1, kRecord0, kEnd, kStart},
                 L"outputs 0x0005 (Blue on, Green on, Red off)\n"
                 L"ttl 0x00 (TTL 3 low, TTL 4 low, TTL 5 low, TTL 6 low)\n"
                 L"led 0 carried none pulse none\nled 1 carried none pulse none\n"
                 L"led 2 carried none pulse none\nsequence 3 records 2\nupload none\nrunning 3\n"},
        Scenario{"StartOfANumberNeverUploaded", {Refused(kStart, 0xFC)}, L"running none"},
        Scenario{"StartOfAnUnfinishedUpload",
                 {kBegin, kCount2, kRecord0, Refused(kStart, 0xFC)},
                 L"running none"},
        Scenario{"UploadStepsWithoutBegin",
                 {Refused(kRecord0), Refused(kCount2), Refused(kEnd)},
                 L"upload none"},
        Scenario{"ScriptCommandBeforeCount", {kBegin, Refused(kRecord0)}, L"received 0"},
        Scenario{"IndexAtTheCount",
                 {kBegin, kCount2, {"17 03 02 00 00 00 FF 00 00 00 00 00 00 00 00 00", 0xFD}},
                 L"received 0"},
        Scenario{"ScriptCommandForAnotherNumber",
                 {kBegin, kCount2, {"17 04 00 00 00 00 FF 00 00 00 00 00 00 00 00 00", 0xFD}},
                 L"received 0"},
        Scenario{"EndWithARecordMissing",
                 {kBegin, kCount2, kRecord1, Refused(kEnd)},
                 L"\nupload 3 count 2 received 1\n"},
        Scenario{"EndWithoutCount", {kBegin, Refused(kEnd)}, L"\nupload 3 count none received 0\n"},
        Scenario{"BeginAgainDiscardsTheUnfinishedUpload",
                 {kBegin, kCount2, kRecord0, kRecord1, kBegin, Refused(kEnd)},
                 L"received 0"},
        Scenario{
            "ReuploadReplacesOnlyWhenComplete",
            {kBegin, kCount2, kRecord0, kRecord1, kEnd, kBegin, kCount1, kStart, kRecord0, kEnd},
            L"\nsequence 3 records 1\nupload none\nrunning 3\n"},
        Scenario{"SequenceNumber255IsRefused", {{"15 FF", 0xFD}}, L"upload none"},
        Scenario{
            "CountBeyondTheScriptMemory", {kBegin, {"16 03 01 00 01 00", 0xFD}}, L"count none"},
        Scenario{"StopEndsTheRunningSequence",
                 {kBegin, kCount1, kRecord0, kEnd, kStart, {"19", 0x00}},
                 L"running none"},
        Scenario{"ManualCommandsAreStoredAsCarried",
                 {{"0A 85 00", 0x00},
                  {"0B 02 37", 0x00},
                  {"0B 00 FF", 0x00},
                  {"1E 01 E8 03 00 00 00 00 00 00 D0 07 00 00 00 00 00 00 05 00 00 00", 0x00}},
                 L"outputs 0x0087 (Blue on, Green on, Red on)\n"
                 L"ttl 0x00 (TTL 3 low, TTL 4 low, TTL 5 low, TTL 6 low)\n"
                 L"led 0 carried 255 intensity 0 pulse none\n"
                 L"led 1 carried none pulse on 1000 off 2000 loops 5\n"
                 L"led 2 carried 55 intensity 200 pulse none\n"},
        Scenario{
            "AllZeroPulseTrainStopsIt",
            {{"1E 01 E8 03 00 00 00 00 00 00 D0 07 00 00 00 00 00 00 00 00 00 00", 0x00},
             {"1E 01 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00", 0x00}},
            L"outputs 0x0002 (Blue off, Green off, Red on)\nttl 0x00 (TTL 3 low, TTL 4 low, "
            L"TTL 5 low, TTL 6 low)\nled 0 carried none pulse none\nled 1 carried none pulse none"},
        Scenario{"LedIdsBeyondTheThreeLeds",
                 {{"0B 03 00", 0xFD},
                  {"1E 03 01 00 00 00 00 00 00 00 01 00 00 00 00 00 00 00 00 00 00 00", 0xFD}},
                 L"outputs 0x0000"},
        Scenario{"UnknownCommandIds", {{"33", 0xFE}, {"00 01 02", 0xFE}, {"FF", 0xFE}}, L""},
        Scenario{"WrongLengthsOfKnownCommands",
                 {{"01 00", 0xFD},
                  {"0A 85", 0xFD},
                  {"0B 02 37 00", 0xFD},
                  {"14", 0xFD},
                  {"16 03 02 00 00", 0xFD},
                  {"19 00", 0xFD},
                  {"1E 01", 0xFD}},
                 L"outputs 0x0000 (Blue off, Green off, Red off)\nttl 0x00 (TTL 3 low, TTL 4 "
                 L"low, TTL 5 low, TTL 6 low)\nled 0 carried none pulse none\nled 1 carried "
                 L"none pulse none\nled 2 carried none pulse none\nupload none\nrunning none\n"}),
    [](const testing::TestParamInfo<Scenario>& info) { return info.param.name; });

TEST(CommandInterpreter, FirmwareVersionIsAReservedZeroThenTheText) {
    const CommandInterpreter interpreter(L"ZVK-SIM 1.0 \u00e9");
    DeviceState state;
    const Answer answer = ExecuteHex(interpreter, state, "01");
    EXPECT_EQ(answer.status, 0x00);
    EXPECT_EQ(ToHex(answer.result), "00 5A 56 4B 2D 53 49 4D 20 31 2E 30 20 E9");
}

}  // namespace
