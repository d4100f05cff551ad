#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "device/MicroControllerDataPacket.h"
#include "support/HexBytes.h"

namespace {

TEST(CommandPacket, FramesThePayloadWithLittleEndianSizeAndXorChecksum) {
    const struct {
        Bytes payload;
        std::string packet;
    } cases[] = {
        {{0x01}, "02 01 01 00 01 03 00"},
        {{0x0B, 0x02, 0x00}, "02 01 03 00 0B 02 00 03 0A"},
        {HexBytes("17 07 02 00 01 00 F0 F1 F2 F3 F4 F5 F6 F7 F8 F9"),
         "02 01 10 00 17 07 02 00 01 00 F0 F1 F2 F3 F4 F5 F6 F7 F8 F9 03 02"},
    };
    MicroControllerDataPacket packet;
    for (const auto& c : cases) {
        ASSERT_EQ(packet.CreateCommandPacket(c.payload.data(),
                                             static_cast<std::uint16_t>(c.payload.size())),
                  0);
        EXPECT_EQ(ToHex(Bytes(packet.GetPacketBuffer(),
                              packet.GetPacketBuffer() + packet.GetPacketLength())),
                  ToHex(HexBytes(c.packet)));
    }
    // 300 equal bytes cancel out in the checksum, leaving header and ETX: 02^01^2C^01^03.
    const Bytes payload(300, 0x17);
    ASSERT_EQ(packet.CreateCommandPacket(payload.data(), 300), 0);
    const Bytes bytes(packet.GetPacketBuffer(), packet.GetPacketBuffer() + 306);
    EXPECT_EQ(ToHex({bytes[0], bytes[1], bytes[2], bytes[3], bytes[304], bytes[305]}),
              "02 01 2C 01 03 2D");

    EXPECT_EQ(packet.CreateCommandPacket(payload.data(), 0), -1);
    EXPECT_EQ(packet.GetPacketLength(), 0u);
    EXPECT_EQ(packet.GetErrorMessage(),
              L"Error creating data packet.  The data buffer is NULL and the size is equal to 0.");
}

// Each part of a response fails at its first failing check, with the message below (empty:
// accepted); every refused footer follows "02 02 02 00", which announces two data bytes.
TEST(ResponseCheck, HeaderDataAndFooterNameTheirFirstFault) {
    const std::wstring header = L"Error validating command response header.  ";
    const std::wstring data = L"Error validating data section of response packet.  ";
    const std::wstring footer = L"Error validating command response footer.  ";
    const struct {
        std::string headerHex;
        std::string dataHex;  // the first byte is the command ID sent
        std::string footerHex;
        std::wstring message;
    } cases[] = {
        {"02 02 D0 07", "", "", L""},
        {"03 01 01 00", "", "", header + L"The STX field is invalid.  STX:3, Type:1, Size:1"},
        {"02 01 02 00", "", "",
         header + L"The packet type field is invalid.  STX:2, Type:1, Size:2"},
        {"02 02 01 00", "", "",
         header + L"The packet size field is invalid.  STX:2, Type:2, Size:1"},
        {"", "01 01 00", "", L""},
        {"", "01 01", "", data + L"The data section size(1) is invalid."},
        {"", "0B 0A 00", "", data + L"The command ID(11) is invalid."},
        {"", "15 15 FA", "", data + L"The command (21) failed to execute(Sequence In Progress)."},
        {"", "15 15 FB", "",
         data + L"The command (21) failed to execute(Sequence Already Exists)."},
        {"", "15 15 FC", "", data + L"The command (21) failed to execute(Sequence Not Found)."},
        {"", "15 15 FD", "", data + L"The command (21) failed to execute(Invalid Parameter)."},
        {"", "15 15 FE", "", data + L"The command (21) failed to execute(Unrecognized Command)."},
        {"", "15 15 FF", "", data + L"The command (21) failed to execute(General Failure)."},
        {"", "15 15 07", "", data + L"The command (21) failed to execute(General Failure)."},
        {"02 02 02 00", "0B 0B 00", "03 0A", L""},
        {"03 02 02 00", "0B 0B 00", "03 0B", L""},
        {"02 02 02 00", "0B 0B 00 41 42", "03 0A", L""},
        {"02 02 04 00", "0B 0B 00 41 42", "03 0F", L""},
        {"02 02 02 00", "0B 0B 00", "03 0B", footer + L"The CRC calculation(1) failed."},
        {"02 02 02 00", "0B 0B 80", "03 0A", footer + L"The CRC calculation(128) failed."},
        {"02 02 02 00", "0B 0B 00", "04 0B", footer + L"The ETX field(4) is invalid."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.headerHex + " | " + c.dataHex + " | " + c.footerHex);
        const Bytes head = HexBytes(c.headerHex);
        const Bytes body = HexBytes(c.dataHex);
        const Bytes foot = HexBytes(c.footerHex);
        MicroControllerDataPacket packet;
        int result = 0;
        if (!foot.empty()) {
            result = packet.ValidateResponseFooter(foot.data(), head.data(), body.data() + 1);
        } else if (!body.empty()) {
            result = packet.ValidateResponseData(
                body.data() + 1, static_cast<std::uint16_t>(body.size() - 1), body[0]);
        } else {
            result = packet.ValidateResponseHeader(head.data());
        }
        EXPECT_EQ(result, c.message.empty() ? 0 : -1);
        EXPECT_EQ(packet.GetErrorMessage(), c.message);
    }
}

}  // namespace
