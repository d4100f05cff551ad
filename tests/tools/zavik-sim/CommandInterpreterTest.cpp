#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/HexBytes.h"
#include "zavik-sim/CommandInterpreter.h"
#include "zavik-sim/PacketDecoder.h"

namespace {

// Steps are a command's data section, then " =" and the status it must be answered with when
// that is not success.
const std::string kBegin = "15 03";
const std::string kCount1 = "16 03 01 00 00 00";
const std::string kCount2 = "16 03 02 00 00 00";
const std::string kRecord0 = "17 03 00 00 00 00 01 05 00 05 00 00 00 00 00 00";
const std::string kRecord1 = "17 03 01 00 00 00 FF 00 00 00 00 00 00 00 00 00";
const std::string kEnd = "18 03";
const std::string kStart = "14 03";
const std::string kPulse = "1E 01 E8 03 00 00 00 00 00 00 D0 07 00 00 00 00 00 00 05 00 00 00";
const std::string kRefused = " =FD";

TEST(CommandInterpreter, AnswersEachStepAndKeepsTheState) {
    const struct {
        const char* name;
        std::vector<std::string> steps;
        // A part of what DeviceState::Describe() reads afterwards; empty: nothing changed.
        std::wstring state;
    } rows[] = {
        {"UploadThenStart",
         {kBegin, kCount2, kRecord1, kRecord0, kEnd, kStart},
         L"\nsequence 3 records 2\nupload none\nrunning 3\n"},
        {"StartNeverUploadedOrUnfinished",
         {kStart + " =FC", kBegin, kCount2, kStart + " =FC"},
         L"running none"},
        {"NoBegin", {kRecord0 + kRefused, kCount2 + kRefused, kEnd + kRefused}, L"upload none"},
        {"RecordBeforeCountAtTheCountOrOfAnotherNumber",
         {kBegin, kRecord0 + kRefused, kCount2, "17 03 02 00 00 00 FF" + kRefused,
          "17 04 00 00 00 00 FF" + kRefused},
         L"received 0"},
        {"EndARecordShort",
         {kBegin, kCount2, kRecord1, kEnd + kRefused},
         L"\nupload 3 count 2 received 1\n"},
        {"EndWithoutCount", {kBegin, kEnd + kRefused}, L"\nupload 3 count none received 0\n"},
        {"BeginAgainDiscardsTheUnfinishedUpload",
         {kBegin, kCount2, kRecord0, kRecord1, kBegin, kEnd + kRefused},
         L"received 0"},
        {"ReuploadReplacesOnlyWhenComplete",
         {kBegin, kCount2, kRecord0, kRecord1, kEnd, kBegin, kCount1, kStart, kRecord0, kEnd},
         L"\nsequence 3 records 1\nupload none\nrunning 3\n"},
        {"Sequence255OrCountBeyondTheMemory",
         {"15 FF =FD", kBegin, "16 03 01 00 01 00 =FD"},
         L"count none"},
        {"StopEndsTheRun", {kBegin, kCount1, kRecord0, kEnd, kStart, "19"}, L"running none"},
        {"ManualCommandsAreStoredAsCarried",
         {"0A 85 00", "0B 02 37", "0B 00 FF", kPulse},
         L"outputs 0x0087 (Blue on, Green on, Red on)\n"
         L"ttl 0x00 (TTL 3 low, TTL 4 low, TTL 5 low, TTL 6 low)\n"
         L"led 0 carried 255 intensity 0 pulse none\n"
         L"led 1 carried none pulse on 1000 off 2000 loops 5\n"
         L"led 2 carried 55 intensity 200 pulse none\n"},
        {"AllZeroPulseTrainStopsIt",
         {kPulse, "1E 01 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00"},
         L"outputs 0x0002 (Blue off, Green off, Red on)\nttl 0x00 (TTL 3 low, TTL 4 low, "
         L"TTL 5 low, TTL 6 low)\nled 0 carried none pulse none\nled 1 carried none pulse none"},
        {"LedIdsBeyondTheThreeLeds",
         {"0B 03 00" + kRefused,
          "1E 03 01 00 00 00 00 00 00 00 01 00 00 00 00 00 00 00 00 00 00 00" + kRefused},
         L"outputs 0x0000"},
        {"UnknownCommandIds", {"33 =FE", "00 01 02 =FE", "FF =FE"}, L""},
        {"WrongLengthsOfKnownCommands",
         {"01 00 =FD", "0A 85 =FD", "0B 02 37 00 =FD", "14 =FD", "16 03 02 00 00 =FD", "19 00 =FD",
          "1E 01 =FD"},
         L""},
    };
    const CommandInterpreter interpreter(L"ZVK-SIM 1.0");
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        DeviceState state;
        for (const std::string& step : row.steps) {
            const std::size_t mark = step.find(" =");
            Bytes data = HexBytes(step.substr(0, mark));
            if (data[0] == 0x17) {
                data.resize(16);  // a record's trailing zeros are left out above
            }
            const Answer answer = interpreter.Execute(data.data(), data.size(), state);
            EXPECT_EQ(answer.commandId, data[0]) << step;
            EXPECT_EQ(ToHex(Bytes{answer.status}),
                      mark == std::string::npos ? "00" : step.substr(mark + 2));
            EXPECT_TRUE(answer.result.empty()) << step;
        }
        if (row.state.empty()) {
            EXPECT_EQ(state.Describe(), DeviceState().Describe());
        }
        EXPECT_NE(state.Describe().find(row.state), std::wstring::npos) << state.Describe();
    }
}

TEST(CommandInterpreter, FirmwareVersionIsAReservedZeroThenTheText) {
    const CommandInterpreter interpreter(L"ZVK-SIM 1.0 \u00e9");
    DeviceState state;
    const std::uint8_t query = 0x01;
    const Answer answer = interpreter.Execute(&query, 1, state);
    EXPECT_EQ(answer.status, 0x00);
    EXPECT_EQ(ToHex(answer.result), "00 5A 56 4B 2D 53 49 4D 20 31 2E 30 20 E9");
}

TEST(PacketDecoder, DescribesAValidPacket) {
    const std::pair<std::string, std::wstring> rows[] = {
        {"01", L"GetFirmwareVersion"},
        {"0A 85 00", L"SetLEDOutputs mask 0x0085"},
        {"14 07", L"StartSequence sequence 7"},
        {"15 FE", L"BeginSequenceUpload sequence 254"},
        {"16 03 0A 01 00 00", L"SetSequenceCommandCount sequence 3 count 266"},
        {"17 03 02 01 00 00 00 E7 03 00 00 00 00 00 00 00",
         L"SetSequenceScriptCommand sequence 3 index 258 record "
         L"00 E7 03 00 00 00 00 00 00 00 = WaitSteps 999"},
        {"18 03", L"EndSequenceUpload sequence 3"},
        {"19", L"StopSequence"},
        {"1E 01 E8 03 00 00 00 00 00 00 D0 07 00 00 00 00 00 00 05 00 00 00",
         L"SetLEDPulseTrain LED 1 on 1000 off 2000 loops 5"},
        {"1E 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00",
         L"SetLEDPulseTrain LED 0 stop"},
        {"33 01 02", L"unknown command 0x33 with 3 data bytes"},
        {"0B 02", L"SetLEDIntensity with 2 data bytes (expects 3)"},
        {"17", L"SetSequenceScriptCommand with 1 data bytes (expects 16)"},
    };
    for (const auto& [data, description] : rows)
        EXPECT_EQ(PacketDecoder::Describe(CommandPacket(HexBytes(data)), true), description);
}

// Each record as sequence 0's record 1: its bytes, then what they mean.
TEST(PacketDecoder, DescribesEachScriptRecord) {
    const std::pair<std::string, std::wstring> rows[] = {
        {"01 05 00 05 00 00 00 00 00 00",
         L"SetOutputs LED value 0x0005 change 0x0005 TTL value 0x00 change 0x00"},
        {"05 02 00 00 00 00 00 00 00 00", L"CallSequence 2"},
        {"06 00 01 00 00 00 05 00 00 00", L"EndLoop to 1 loops 5"},
        {"07 00 10 00 00 00 00 00 00 00", L"SetTTLOutputs value 0x00 change 0x10"},
        {"0B C8 00 00 00 00 00 00 00 00", L"SetIntensity2 200"},
        {"FF 00 00 00 00 00 00 00 00 00", L"EndOfSequence"},
        {"08 05 00 00 00 00 00 00 00 00", L"unknown op code 0x08"},
    };
    for (const auto& [record, meaning] : rows)
        EXPECT_EQ(
            PacketDecoder::Describe(CommandPacket(HexBytes("17 00 01 00 00 00 " + record)), true),
            L"SetSequenceScriptCommand sequence 0 index 1 record " +
                std::wstring(record.begin(), record.end()) + L" = " + meaning);
}

TEST(PacketDecoder, NamesTheFramingFaultOfAnInvalidPacket) {
    const std::pair<std::string, std::wstring> rows[] = {
        {"02 05 01 00 01 03 04", L"invalid packet (bad type 0x05) for GetFirmwareVersion"},
        {"02 01 01 00 19 04 1F", L"invalid packet (bad ETX 0x04) for StopSequence"},
        {"02 01 01 00 01 03 01",
         L"invalid packet (bad checksum 0x01, expected 0x00) for GetFirmwareVersion"},
        {"02 01 01 00 77 03 77", L"invalid packet (bad checksum 0x77, expected 0x76) for 0x77"},
    };
    for (const auto& [packet, description] : rows)
        EXPECT_EQ(PacketDecoder::Describe(HexBytes(packet), false), description);
}

}  // namespace
