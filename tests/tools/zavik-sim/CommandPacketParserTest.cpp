#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/HexBytes.h"
#include "zavik-sim/CommandPacketParser.h"

namespace {

using Result = CommandPacketParser::Result;

const std::string kQuery = "02 01 01 00 01 03 00";
const std::string kIntensity = "02 01 03 00 0B 02 37 03 3D";

// Appends the bytes and returns the packets the parser hands out, an invalid one marked "bad ".
std::vector<std::string> Parse(CommandPacketParser& parser, const Bytes& bytes) {
    parser.Append(bytes.data(), bytes.size());
    std::vector<std::string> packets;
    Bytes packet;
    for (Result result; (result = parser.Next(packet)) != Result::NeedMoreBytes;)
        packets.push_back((result == Result::ValidPacket ? "" : "bad ") + ToHex(packet));
    return packets;
}

// The packets handed out, and the bytes the parser still holds and has dropped.
TEST(CommandPacketParser, SplitsTheStreamIntoPackets) {
    const struct {
        const char* name;
        std::vector<std::string> chunks;
        std::vector<std::string> packets;
        std::size_t pending;
        std::size_t dropped;
    } rows[] = {
        {"LeadingNoiseDropped", {"41 42 FF 03 00 " + kQuery}, {kQuery}, 0, 5},
        {"PacketSplitAcrossReads", {"02", "01 03", "00 0B 02 37 03", "3D"}, {kIntensity}, 0, 0},
        {"TwoInOneRead", {kIntensity + " " + kQuery}, {kIntensity, kQuery}, 0, 0},
        {"BadChecksumIsConsumedWhole",
         {"02 01 01 00 01 03 01 " + kQuery},
         {"bad 02 01 01 00 01 03 01", kQuery},
         0,
         0},
        {"BadEtxIsInvalid", {"02 01 01 00 01 04 07"}, {"bad 02 01 01 00 01 04 07"}, 0, 0},
        {"ResponseTypeIsInvalid", {"02 02 01 00 01 03 03"}, {"bad 02 02 01 00 01 03 03"}, 0, 0},
        {"ZeroSizeIsNoPacketStart", {"02 01 00 00 " + kQuery}, {kQuery}, 0, 4},
        // Every size is a packet's: its bytes are awaited, never scanned for packets.
        {"AnySizeWaitsForItsBytes", {"02 01 41 00 " + kQuery}, {}, 11, 0},
        {"OnlyNoise", {"00 FF 03 01"}, {}, 0, 4},
    };
    for (const auto& row : rows) {
        CommandPacketParser parser;
        std::vector<std::string> packets;
        for (const std::string& chunk : row.chunks)
            for (const std::string& packet : Parse(parser, HexBytes(chunk)))
                packets.push_back(packet);
        EXPECT_EQ(packets, row.packets) << row.name;
        EXPECT_EQ(parser.PendingBytes(), row.pending) << row.name;
        EXPECT_EQ(parser.DroppedBytes(), row.dropped) << row.name;
    }
}

TEST(CommandPacketParser, GivingUpAPartialPacketFindsThePacketInsideIt) {
    CommandPacketParser parser;
    const Bytes bytes = HexBytes("02 01 10 00 " + kQuery);
    parser.Append(bytes.data(), bytes.size());
    Bytes packet;
    ASSERT_EQ(parser.Next(packet), Result::NeedMoreBytes);

    parser.DropPartialPacket();

    ASSERT_EQ(parser.Next(packet), Result::ValidPacket);
    EXPECT_EQ(ToHex(packet), kQuery);
    EXPECT_EQ(parser.DroppedBytes(), 4u);
}

}  // namespace
