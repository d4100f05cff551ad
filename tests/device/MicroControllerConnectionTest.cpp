#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "device/MicroControllerConnection.h"
#include "device/MicroControllerDataPacket.h"
#include "foundation/TextConversion.h"
#include "support/HexBytes.h"
#include "support/LogCapture.h"
#include "support/ScriptedPort.h"
#include "support/TempDir.h"

namespace {

using namespace std::chrono_literals;
using testing::HasSubstr, testing::IsEmpty;

const Bytes kFirmwareRequest = HexBytes("02 01 01 00 01 03 00");
const Bytes kSetOutputs80 = HexBytes("02 01 03 00 0A 80 00 03 89");

// A connection on a pseudo-terminal whose device answers each command packet it reads with
// the next scripted response, however malformed.
class MicroControllerConnectionTest : public testing::Test {
  protected:
    MicroControllerConnectionTest() { connection_.Port().SetTimeouts({4000ms, 10000ms, 10ms}); }
    ~MicroControllerConnectionTest() override {
        connection_.Disconnect();
        Finish();
    }

    void Answer(std::vector<Bytes> responses) {
        device_ = std::thread([this, responses = std::move(responses)] {
            for (const Bytes& response : responses) {
                Bytes command = pty_.Receive(4);
                if (command.size() < 4)
                    return;
                const Bytes rest = pty_.Receive((command[2] | (command[3] << 8)) + 2u);
                command.insert(command.end(), rest.begin(), rest.end());
                received_.push_back(command);
                pty_.Send(response);
            }
        });
    }
    // The command packets the device received, once its script has ended.
    std::vector<Bytes> Finish() {
        if (device_.joinable())
            device_.join();
        return received_;
    }
    void ConnectQuietly() {
        ASSERT_EQ(connection_.Connect(41), 0);
        log_.messages.clear();
    }
    int Execute(const Bytes& payload, std::uint16_t& size) {
        return connection_.ExecuteCommand(payload.data(),
                                          static_cast<std::uint16_t>(payload.size()), size);
    }
    // The next command gets its own response: the stream is back in step.
    void ExpectInStep() {
        std::uint16_t size = 0;
        EXPECT_EQ(Execute({0x0A, 0x80, 0x00}, size), 0);
        EXPECT_EQ(Bytes(connection_.ResponseData(), connection_.ResponseData() + size),
                  (Bytes{0x0A, 0x00}));
        EXPECT_THAT(log_.Errors(), IsEmpty());
        EXPECT_EQ(Finish().back(), kSetOutputs80);
    }

    TempDir dir_;
    ScriptedPort pty_{dir_.Path(), 41};
    LogCapture log_;
    MicroControllerConnection connection_{&log_};
    std::thread device_;
    std::vector<Bytes> received_;
};

TEST_F(MicroControllerConnectionTest, ConnectLogsOpenDumpAndFirmwareVersion) {
    Answer({ResponsePacket({0x01, 0x00, 0x07, '2', '.', 0xE9, 0x00, 'x'})});
    ASSERT_EQ(connection_.Connect(41), 0);
    EXPECT_EQ(connection_.FirmwareVersion(), L"2.\u00e9");
    connection_.Disconnect();
    EXPECT_EQ(connection_.FirmwareVersion(), L"");
    // Between the port's opening and closing lines, pinned with the port.
    ASSERT_EQ(log_.messages.size(), 4u);
    EXPECT_EQ(Messages(log_.messages.begin() + 1, log_.messages.end() - 1),
              (Messages{{LogLevel::Data, L"2-1-1-0-1-3-0-"},
                        {LogLevel::Notice, L"Microcontroller Firmware Version 2.\u00e9"}}));
    EXPECT_EQ(Finish(), std::vector<Bytes>{kFirmwareRequest});
}

TEST_F(MicroControllerConnectionTest, DisconnectedCommandLogsAndSendsNothing) {
    std::uint16_t size = 77;
    EXPECT_EQ(Execute({0x19}, size), -1);
    EXPECT_EQ(size, 77);
    EXPECT_EQ(log_.Errors(),
              std::vector<std::wstring>{L"Error, unable to execute command, the application is "
                                        L"currently disconnected from the micro controller."});
}

// A response that fails a check is still read to its end and every failed check is logged;
// whatever the answer leaves behind, the next command finds its own response. A refused
// firmware answer (no answer to a command given) refuses the connect.
struct ExchangeCase {
    const char* name;
    Bytes answer;
    int result;
    std::vector<std::string> errors;  // a part of each error logged
    Bytes firmware = {0x01, 0x00, 0x07, '2'};
};

TEST_F(MicroControllerConnectionTest, AnswersAreCheckedAndTheNextCommandIsBackInStep) {
    Bytes largest = HexBytes("19 00");
    largest.resize(1028, 0x5A);
    const ExchangeCase cases[] = {
        {"FirmwareTooShort",
         {},
         -1,
         {"Error, the GetFirmwareVersion command returned an invalid response data buffer "
          "size(3)."},
         {0x01, 0x00, 0x07}},
        {"FirmwareRefused", {}, -1, {"(Unrecognized Command)"}, {0x01, 0xFE, 0x07, 'Z'}},
        {"LargestResponse", ResponsePacket(largest), 0, {}},
        {"CommandTypeAndRefusal",
         HexBytes("02 01 02 00 19 FA 03 E1"),
         -1,
         {"packet type", "(Sequence In Progress)"}},
        {"ChecksumOneOff", HexBytes("02 02 02 00 19 00 03 19"), -1, {"CRC calculation(1)"}},
        {"FailureAndWrongEtx", HexBytes("02 02 02 00 19 FF 04 00"), -1, {"General", "ETX"}},
        {"Oversized",
         HexBytes("02 02 05 04 19 00 AA BB CC"),
         -1,
         {"Invalid data size(1029) returned from microcontroller.  Unable to receive packet."}},
        {"BytesBehindAWholeResponse", HexBytes("02 02 02 00 19 00 03 18 02 02 02"), 0, {}},
        {"SpoiltHeaderOneByteShort",
         HexBytes("07 02 01 00 19 00 03 18"),
         -1,
         {"STX", "size(1)", "ETX field(0)"}},
    };
    for (const ExchangeCase& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.answer.empty()) {
            Answer({ResponsePacket(c.firmware)});
            EXPECT_EQ(connection_.Connect(41), -1);
            EXPECT_FALSE(connection_.IsConnected());
            EXPECT_EQ(connection_.FirmwareVersion(), L"");
        } else {
            Answer({ResponsePacket(c.firmware), c.answer, ResponsePacket({0x0A, 0x00})});
            ConnectQuietly();
            std::uint16_t size = 77;
            EXPECT_EQ(Execute({0x19}, size), c.result);
        }
        const std::vector<std::wstring> errors = log_.Errors();
        ASSERT_EQ(errors.size(), c.errors.size());
        for (std::size_t i = 0; i < errors.size(); ++i)
            EXPECT_THAT(WideToNarrow(errors[i]), HasSubstr(c.errors[i]));
        log_.messages.clear();
        c.answer.empty() ? (void)Finish() : ExpectInStep();
        connection_.Disconnect();
        received_.clear();
    }
}

// A response cut off by a time-out leaves its tail to come late, and stray bytes may arrive
// while the line is idle: neither is taken for the start of the next response.
TEST_F(MicroControllerConnectionTest, LateTailAndStrayBytesAreNotTakenForTheNextResponse) {
    Answer({ResponsePacket({0x01, 0x00, 0x07, '2'}), HexBytes("02 02 02 00 19"),
            ResponsePacket({0x0A, 0x00}), ResponsePacket({0x0A, 0x00})});
    ConnectQuietly();
    connection_.Port().SetTimeouts({50ms, 200ms, 0ms});
    std::uint16_t size = 77;
    EXPECT_EQ(Execute({0x19}, size), -1);
    EXPECT_EQ(log_.Errors().size(), 1u);
    log_.messages.clear();
    pty_.Send(HexBytes("00 03 18"));
    ASSERT_EQ(pty_.PendingForProgram(3), 3);
    connection_.Port().SetTimeouts({4000ms, 10000ms, 10ms});
    ASSERT_EQ(Execute({0x0A, 0x80, 0x00}, size), 0);

    pty_.Send(HexBytes("02 02 02"));
    ASSERT_EQ(pty_.PendingForProgram(3), 3);
    std::this_thread::sleep_for(MicroControllerConnection::kBackToBackGap * 2);
    ExpectInStep();
}

// Every packet the device tests see is compared with the framing of support/HexBytes; what
// only this shows: a size above 255, and no payload at all.
TEST(CommandPacket, FramesThePayloadWithLittleEndianSizeAndXorChecksum) {
    MicroControllerDataPacket packet;
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
        {"", "15 15 FC", "", data + L"The command (21) failed to execute(Sequence Not Found)."},
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
