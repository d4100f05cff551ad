#include <gtest/gtest.h>

#include <string>

#include "support/HexBytes.h"
#include "zavik-sim/PacketDecoder.h"

namespace {

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
    for (const auto& [data, description] : rows) {
        EXPECT_EQ(PacketDecoder::Describe(CommandPacket(HexBytes(data)), true), description);
    }
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
    for (const auto& [record, meaning] : rows) {
        EXPECT_EQ(
            PacketDecoder::Describe(CommandPacket(HexBytes("17 00 01 00 00 00 " + record)), true),
            L"SetSequenceScriptCommand sequence 0 index 1 record " +
                std::wstring(record.begin(), record.end()) + L" = " + meaning);
    }
}

TEST(PacketDecoder, NamesTheFramingFaultOfAnInvalidPacket) {
    const std::pair<std::string, std::wstring> rows[] = {
        {"02 05 01 00 01 03 04", L"invalid packet (bad type 0x05) for GetFirmwareVersion"},
        {"02 01 01 00 19 04 1F", L"invalid packet (bad ETX 0x04) for StopSequence"},
        {"02 01 01 00 01 03 01",
         L"invalid packet (bad checksum 0x01, expected 0x00) for GetFirmwareVersion"},
        {"02 01 01 00 77 03 77", L"invalid packet (bad checksum 0x77, expected 0x76) for 0x77"},
    };
    for (const auto& [packet, description] : rows) {
        EXPECT_EQ(PacketDecoder::Describe(HexBytes(packet), false), description);
    }
}

}  // namespace
