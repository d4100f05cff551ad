#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "device/MicroControllerDataPacket.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes PacketBytes(const MicroControllerDataPacket& packet) {
    const std::uint8_t* buffer = packet.GetPacketBuffer();
    return Bytes(buffer, buffer + packet.GetPacketLength());
}

template <typename Case>
std::string CaseName(const testing::TestParamInfo<Case>& info) {
    return info.param.name;
}

// ---- Command packets ----

struct FramingCase {
    std::string name;
    Bytes payload;
    Bytes packet;
};

void PrintTo(const FramingCase& c, std::ostream* os) {
    *os << c.name;
}

class CommandPacketFraming : public testing::TestWithParam<FramingCase> {};

TEST_P(CommandPacketFraming, MatchesTheWireLayout) {
    MicroControllerDataPacket packet;
    const Bytes& payload = GetParam().payload;
    ASSERT_EQ(
        packet.CreateCommandPacket(payload.data(), static_cast<std::uint16_t>(payload.size())), 0);
    EXPECT_EQ(PacketBytes(packet), GetParam().packet);
    EXPECT_EQ(packet.GetErrorMessage(), L"");
}

INSTANTIATE_TEST_SUITE_P(
    Payloads, CommandPacketFraming,
    testing::Values(
        FramingCase{"GetFirmwareVersion", {0x01}, {0x02, 0x01, 0x01, 0x00, 0x01, 0x03, 0x00}},
        FramingCase{"LedTwoFullIntensity",
                    {0x0B, 0x02, 0x00},
                    {0x02, 0x01, 0x03, 0x00, 0x0B, 0x02, 0x00, 0x03, 0x0A}},
        FramingCase{
            "StartSequence5", {0x14, 0x05}, {0x02, 0x01, 0x02, 0x00, 0x14, 0x05, 0x03, 0x13}},
        FramingCase{
            "PulseTrain",
            {0x1E, 0x00, 0x64, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x32,
             0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x03, 0x00, 0x00, 0x00},
            {0x02, 0x01, 0x16, 0x00, 0x1E, 0x00, 0x64, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
             0x32, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x03, 0x00, 0x00, 0x00, 0x03, 0x5D}},
        FramingCase{"ScriptCommand",
                    {0x17, 0x07, 0x02, 0x00, 0x01, 0x00, 0xF0, 0xF1, 0xF2, 0xF3, 0xF4, 0xF5, 0xF6,
                     0xF7, 0xF8, 0xF9},
                    {0x02, 0x01, 0x10, 0x00, 0x17, 0x07, 0x02, 0x00, 0x01, 0x00, 0xF0,
                     0xF1, 0xF2, 0xF3, 0xF4, 0xF5, 0xF6, 0xF7, 0xF8, 0xF9, 0x03, 0x02}}),
    CaseName<FramingCase>);

TEST(CommandPacket, SizeFieldIsLittleEndianForLongPayloads) {
    // 300 equal bytes cancel out in the checksum, leaving header and ETX: 02^01^2C^01^03.
    const Bytes payload(300, 0x17);
    MicroControllerDataPacket packet;
    ASSERT_EQ(packet.CreateCommandPacket(payload.data(), 300), 0);
    const Bytes bytes = PacketBytes(packet);
    ASSERT_EQ(bytes.size(), 306u);
    EXPECT_EQ(Bytes(bytes.begin(), bytes.begin() + 4), (Bytes{0x02, 0x01, 0x2C, 0x01}));
    EXPECT_EQ(Bytes(bytes.end() - 2, bytes.end()), (Bytes{0x03, 0x2D}));
}

TEST(CommandPacket, RebuildingReplacesTheEarlierPacket) {
    const Bytes longPayload = {0x0B, 0x02, 0x00};
    const Bytes shortPayload = {0x01};
    MicroControllerDataPacket packet;
    ASSERT_EQ(packet.CreateCommandPacket(longPayload.data(), 3), 0);
    ASSERT_EQ(packet.CreateCommandPacket(shortPayload.data(), 1), 0);
    EXPECT_EQ(PacketBytes(packet), (Bytes{0x02, 0x01, 0x01, 0x00, 0x01, 0x03, 0x00}));
}

TEST(CommandPacket, NoPayloadOrZeroSizeFailsAndLeavesNoPacket) {
    const std::wstring expected =
        L"Error creating data packet.  The data buffer is NULL and the size is equal to 0.";
    const Bytes payload = {0x01};
    struct Attempt {
        const std::uint8_t* bytes;
        std::uint16_t size;
    };
    for (const Attempt attempt :
         {Attempt{nullptr, 1}, Attempt{payload.data(), 0}, Attempt{nullptr, 0}}) {
        MicroControllerDataPacket packet;
        ASSERT_EQ(packet.CreateCommandPacket(payload.data(), 1), 0);
        EXPECT_EQ(packet.CreateCommandPacket(attempt.bytes, attempt.size), -1);
        EXPECT_EQ(packet.GetErrorMessage(), expected);
        EXPECT_EQ(packet.GetPacketLength(), 0u);
    }
}

// ---- Response header ----

const std::wstring kHeaderPrefix = L"Error validating command response header.  ";

struct HeaderCase {
    std::string name;
    Bytes header;
    int result;
    std::wstring message;
};

void PrintTo(const HeaderCase& c, std::ostream* os) {
    *os << c.name;
}

class ResponseHeaderCheck : public testing::TestWithParam<HeaderCase> {};

TEST_P(ResponseHeaderCheck, FirstFailingCheckWins) {
    MicroControllerDataPacket packet;
    EXPECT_EQ(packet.ValidateResponseHeader(GetParam().header.data()), GetParam().result);
    EXPECT_EQ(packet.GetErrorMessage(), GetParam().message);
}

HeaderCase HeaderOk(std::string name, Bytes header) {
    return {std::move(name), std::move(header), 0, L""};
}

HeaderCase HeaderRefused(std::string name, Bytes header, const std::wstring& reason) {
    return {std::move(name), std::move(header), -1, kHeaderPrefix + reason};
}

INSTANTIATE_TEST_SUITE_P(
    Headers, ResponseHeaderCheck,
    testing::Values(HeaderOk("Minimal", {0x02, 0x02, 0x02, 0x00}),
                    HeaderOk("LargestBuffer", {0x02, 0x02, 0x04, 0x04}),
                    // The upper bound is left to the receiver.
                    HeaderOk("Size2000", {0x02, 0x02, 0xD0, 0x07}),
                    HeaderRefused("WrongStx", {0x03, 0x02, 0x02, 0x00},
                                  L"The STX field is invalid.  STX:3, Type:2, Size:2"),
                    HeaderRefused("CommandType", {0x02, 0x01, 0x02, 0x00},
                                  L"The packet type field is invalid.  STX:2, Type:1, Size:2"),
                    HeaderRefused("SizeOne", {0x02, 0x02, 0x01, 0x00},
                                  L"The packet size field is invalid.  STX:2, Type:2, Size:1"),
                    HeaderRefused("SizeZero", {0x02, 0x02, 0x00, 0x00},
                                  L"The packet size field is invalid.  STX:2, Type:2, Size:0"),
                    HeaderRefused("StxBeforeTypeAndSize", {0x03, 0x01, 0x01, 0x00},
                                  L"The STX field is invalid.  STX:3, Type:1, Size:1"),
                    HeaderRefused("TypeBeforeSize", {0x02, 0x00, 0x00, 0x00},
                                  L"The packet type field is invalid.  STX:2, Type:0, Size:0"),
                    HeaderRefused("AllOnes", {0xFF, 0xFF, 0xFF, 0xFF},
                                  L"The STX field is invalid.  STX:255, Type:255, Size:65535")),
    CaseName<HeaderCase>);

// ---- Response data section ----

const std::wstring kDataPrefix = L"Error validating data section of response packet.  ";

struct DataCase {
    std::string name;
    Bytes data;
    std::uint8_t sentId;
    int result;
    std::wstring message;
};

void PrintTo(const DataCase& c, std::ostream* os) {
    *os << c.name;
}

class ResponseDataCheck : public testing::TestWithParam<DataCase> {};

TEST_P(ResponseDataCheck, FirstFailingCheckWins) {
    MicroControllerDataPacket packet;
    const Bytes& data = GetParam().data;
    EXPECT_EQ(packet.ValidateResponseData(data.data(), static_cast<std::uint16_t>(data.size()),
                                          GetParam().sentId),
              GetParam().result);
    EXPECT_EQ(packet.GetErrorMessage(), GetParam().message);
}

DataCase DataOk(std::string name, Bytes data, std::uint8_t sentId) {
    return {std::move(name), std::move(data), sentId, 0, L""};
}

DataCase DataRefused(std::string name, Bytes data, std::uint8_t sentId,
                     const std::wstring& reason) {
    return {std::move(name), std::move(data), sentId, -1, kDataPrefix + reason};
}

DataCase StatusCase(std::string name, std::uint8_t status, const std::wstring& text) {
    return DataRefused(std::move(name), {0x15, status}, 0x15,
                       L"The command (21) failed to execute(" + text + L").");
}

INSTANTIATE_TEST_SUITE_P(
    DataSections, ResponseDataCheck,
    testing::Values(DataOk("Success", {0x01, 0x00}, 0x01),
                    DataOk("ExtraBytesIgnored", {0x0B, 0x00, 0xFF, 0x00}, 0x0B),
                    DataRefused("SizeOne", {0x01}, 0x01, L"The data section size(1) is invalid."),
                    DataRefused("SizeZero", {}, 0x01, L"The data section size(0) is invalid."),
                    // The message names the command that was sent, not the echoed one.
                    DataRefused("OtherCommandEchoed", {0x0A, 0x00}, 0x0B,
                                L"The command ID(11) is invalid."),
                    DataRefused("IdCheckedBeforeStatus", {0x0A, 0xFC}, 0xFF,
                                L"The command ID(255) is invalid."),
                    StatusCase("InProgress", 0xFA, L"Sequence In Progress"),
                    StatusCase("AlreadyExists", 0xFB, L"Sequence Already Exists"),
                    StatusCase("NotFound", 0xFC, L"Sequence Not Found"),
                    StatusCase("InvalidParameter", 0xFD, L"Invalid Parameter"),
                    StatusCase("Unrecognized", 0xFE, L"Unrecognized Command"),
                    StatusCase("GeneralFailure", 0xFF, L"General Failure"),
                    StatusCase("Unknown7", 0x07, L"General Failure"),
                    StatusCase("Unknown1", 0x01, L"General Failure"),
                    StatusCase("Unknown249", 0xF9, L"General Failure")),
    CaseName<DataCase>);

TEST(DeviceStatusText, EveryCodeHasItsText) {
    const std::map<int, std::wstring> named = {
        {0, L""},
        {0xFA, L"Sequence In Progress"},
        {0xFB, L"Sequence Already Exists"},
        {0xFC, L"Sequence Not Found"},
        {0xFD, L"Invalid Parameter"},
        {0xFE, L"Unrecognized Command"},
        {0xFF, L"General Failure"},
    };
    for (int code = 0; code < 256; ++code) {
        const auto found = named.find(code);
        const std::wstring expected = found == named.end() ? L"General Failure" : found->second;
        EXPECT_EQ(MicroControllerDataPacket::DeviceStatusText(static_cast<std::uint8_t>(code)),
                  expected)
            << "status " << code;
    }
}

// ---- Response footer ----

const std::wstring kFooterPrefix = L"Error validating command response footer.  ";

struct FooterCase {
    std::string name;
    Bytes header;
    Bytes data;
    Bytes footer;
    int result;
    std::wstring message;
};

void PrintTo(const FooterCase& c, std::ostream* os) {
    *os << c.name;
}

class ResponseFooterCheck : public testing::TestWithParam<FooterCase> {};

TEST_P(ResponseFooterCheck, EtxThenChecksum) {
    MicroControllerDataPacket packet;
    EXPECT_EQ(packet.ValidateResponseFooter(GetParam().footer.data(), GetParam().header.data(),
                                            GetParam().data.data()),
              GetParam().result);
    EXPECT_EQ(packet.GetErrorMessage(), GetParam().message);
}

const Bytes kHeader2 = {0x02, 0x02, 0x02, 0x00};

FooterCase FooterOk(std::string name, Bytes header, Bytes data, Bytes footer) {
    return {std::move(name), std::move(header), std::move(data), std::move(footer), 0, L""};
}

// Every refused footer follows kHeader2, which announces two data bytes.
FooterCase FooterRefused(std::string name, Bytes data, Bytes footer, const std::wstring& reason) {
    FooterCase refused = FooterOk(std::move(name), kHeader2, std::move(data), std::move(footer));
    refused.result = -1;
    refused.message = kFooterPrefix + reason;
    return refused;
}

INSTANTIATE_TEST_SUITE_P(
    Footers, ResponseFooterCheck,
    testing::Values(
        FooterOk("Correct", kHeader2, {0x0B, 0x00}, {0x03, 0x0A}),
        FooterOk("LongerData", {0x02, 0x02, 0x04, 0x00}, {0x0B, 0x00, 0x41, 0x42}, {0x03, 0x0F}),
        // Only as many data bytes as the header announces take part.
        FooterOk("LengthFromHeader", kHeader2, {0x0B, 0x00, 0x41, 0x42}, {0x03, 0x0A}),
        FooterOk("HeaderBytesTakePart", {0x03, 0x02, 0x02, 0x00}, {0x0B, 0x00}, {0x03, 0x0B}),
        FooterRefused("CrcOneOff", {0x0B, 0x00}, {0x03, 0x0B}, L"The CRC calculation(1) failed."),
        FooterRefused("CrcFarOff", {0x0B, 0x00}, {0x03, 0xFF}, L"The CRC calculation(245) failed."),
        FooterRefused("DataByteChanged", {0x0B, 0x80}, {0x03, 0x0A},
                      L"The CRC calculation(128) failed."),
        // A wrong ETX is reported alone; the checksum is not looked at.
        FooterRefused("WrongEtx", {0x0B, 0x00}, {0x04, 0x0B}, L"The ETX field(4) is invalid."),
        FooterRefused("EtxZero", {0x0B, 0x00}, {0x00, 0x0A}, L"The ETX field(0) is invalid.")),
    CaseName<FooterCase>);

TEST(PacketMessage, EachFailureReplacesThePreviousMessage) {
    MicroControllerDataPacket packet;
    EXPECT_EQ(packet.GetErrorMessage(), L"");
    const Bytes header = {0x02, 0x01, 0x02, 0x00};
    const Bytes data = {0x0A, 0x00};
    const Bytes footer = {0x04, 0x00};
    ASSERT_EQ(packet.ValidateResponseHeader(header.data()), -1);
    ASSERT_EQ(packet.ValidateResponseData(data.data(), 2, 0x01), -1);
    EXPECT_EQ(packet.GetErrorMessage(), kDataPrefix + L"The command ID(1) is invalid.");
    ASSERT_EQ(packet.ValidateResponseFooter(footer.data(), header.data(), data.data()), -1);
    EXPECT_EQ(packet.GetErrorMessage(), kFooterPrefix + L"The ETX field(4) is invalid.");
}

TEST(PacketMessage, MissingBuffersFailWithoutReadingThem) {
    MicroControllerDataPacket packet;
    const Bytes header = kHeader2;
    const Bytes footer = {0x03, 0x0A};
    EXPECT_EQ(packet.ValidateResponseHeader(nullptr), -1);
    EXPECT_EQ(packet.ValidateResponseData(nullptr, 2, 0x01), -1);
    EXPECT_EQ(packet.ValidateResponseFooter(nullptr, header.data(), nullptr), -1);
    EXPECT_EQ(packet.ValidateResponseFooter(footer.data(), nullptr, nullptr), -1);
    EXPECT_EQ(packet.ValidateResponseFooter(footer.data(), header.data(), nullptr), -1);
    EXPECT_NE(packet.GetErrorMessage(), L"");
}

}  // namespace
