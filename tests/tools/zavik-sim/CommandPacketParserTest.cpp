#include <gtest/gtest.h>

#include <random>
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
    for (Result result; (result = parser.Next(packet)) != Result::NeedMoreBytes;) {
        packets.push_back((result == Result::ValidPacket ? "" : "bad ") + ToHex(packet));
    }
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
        for (const std::string& chunk : row.chunks) {
            for (const std::string& packet : Parse(parser, HexBytes(chunk))) {
                packets.push_back(packet);
            }
        }
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

// Random line noise in random read sizes: nothing is lost or invented, every valid packet
// really is one, and a run of zero bytes longer than any packet realigns the stream.
TEST(CommandPacketParser, RandomNoiseIsAccountedForAndRealigns) {
    std::mt19937 random(20240611);
    CommandPacketParser parser;
    std::size_t appended = 0;
    std::size_t inPackets = 0;
    for (int chunk = 0; chunk < 2000; ++chunk) {
        Bytes bytes(1 + random() % 40);
        for (std::uint8_t& byte : bytes) {
            // Plenty of STX and command-type bytes, so that candidates really occur.
            byte = static_cast<std::uint8_t>(random() % 4 == 0 ? random() % 3 : random());
        }
        appended += bytes.size();
        for (const std::string& hex : Parse(parser, bytes)) {
            const Bytes packet = HexBytes(hex.substr(hex[0] == 'b' ? 4 : 0));
            inPackets += packet.size();
            if (hex[0] != 'b') {
                EXPECT_EQ(CommandPacket(Bytes(packet.begin() + 4, packet.end() - 2)), packet);
            }
        }
    }
    EXPECT_EQ(inPackets + parser.DroppedBytes() + parser.PendingBytes(), appended);

    Parse(parser, Bytes(CommandPacketParser::kMaxDataSize + 6, 0x00));
    const std::vector<std::string> packets = Parse(parser, HexBytes(kQuery));
    ASSERT_FALSE(packets.empty());
    EXPECT_EQ(packets.back(), kQuery);
    EXPECT_EQ(parser.PendingBytes(), 0u);
}

}  // namespace
