#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "device/MicroControllerConnection.h"
#include "foundation/TextConversion.h"
#include "support/LogCapture.h"
#include "support/ScriptedPort.h"
#include "support/TempDir.h"

namespace {

using namespace std::chrono_literals;
using testing::HasSubstr;
using testing::IsEmpty;
using Messages = std::vector<std::pair<LogLevel, std::wstring>>;

// A response packet around the data section, with a correct checksum.
Bytes Response(const Bytes& data) {
    Bytes packet = {0x02, 0x02, static_cast<std::uint8_t>(data.size()),
                    static_cast<std::uint8_t>(data.size() >> 8)};
    packet.insert(packet.end(), data.begin(), data.end());
    packet.push_back(0x03);
    std::uint8_t crc = 0;
    for (const std::uint8_t byte : packet) {
        crc ^= byte;
    }
    packet.push_back(crc);
    return packet;
}

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
                if (command.size() < 4) {
                    return;
                }
                const Bytes rest = pty_.Receive((command[2] | (command[3] << 8)) + 2u);
                command.insert(command.end(), rest.begin(), rest.end());
                received_.push_back(command);
                pty_.Send(response);
            }
        });
    }
    // The command packets the device received, once its script has ended.
    std::vector<Bytes> Finish() {
        if (device_.joinable()) {
            device_.join();
        }
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
    Answer({Response({0x01, 0x00, 0x07, '2', '.', 0xE9, 0x00, 'x'})});
    ASSERT_EQ(connection_.Connect(41), 0);
    EXPECT_EQ(connection_.FirmwareVersion(), L"2.\u00e9");
    connection_.Disconnect();
    EXPECT_EQ(connection_.FirmwareVersion(), L"");
    EXPECT_EQ(log_.messages,
              (Messages{{LogLevel::Notice, L"Serial port connection created successfully on " +
                                               pty_.PortName() + L"."},
                        {LogLevel::Data, L"2-1-1-0-1-3-0-"},
                        {LogLevel::Notice, L"Microcontroller Firmware Version 2.\u00e9"},
                        {LogLevel::Notice, L"Serial connection closed."}}));
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
    Bytes largest(1028, 0x5A);
    largest[0] = 0x19;
    largest[1] = 0x00;
    const ExchangeCase cases[] = {
        {"FirmwareTooShort",
         {},
         -1,
         {"Error, the GetFirmwareVersion command returned an invalid response data buffer "
          "size(3)."},
         {0x01, 0x00, 0x07}},
        {"FirmwareRefused", {}, -1, {"(Unrecognized Command)"}, {0x01, 0xFE, 0x07, 'Z'}},
        {"LargestResponse", Response(largest), 0, {}},
        {"CommandTypeAndRefusal",
         HexBytes("02 01 02 00 19 FA 03 E1"),
         -1,
         {"packet type", "(Sequence In Progress)"}},
        {"SizeOne", HexBytes("02 02 01 00 19 03 1B"), -1, {"packet size", "size(1)"}},
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
            Answer({Response(c.firmware)});
            EXPECT_EQ(connection_.Connect(41), -1);
            EXPECT_FALSE(connection_.IsConnected());
            EXPECT_EQ(connection_.FirmwareVersion(), L"");
        } else {
            Answer({Response(c.firmware), c.answer, Response({0x0A, 0x00})});
            ConnectQuietly();
            std::uint16_t size = 77;
            EXPECT_EQ(Execute({0x19}, size), c.result);
        }
        const std::vector<std::wstring> errors = log_.Errors();
        ASSERT_EQ(errors.size(), c.errors.size());
        for (std::size_t i = 0; i < errors.size(); ++i) {
            EXPECT_THAT(WideToNarrow(errors[i]), HasSubstr(c.errors[i]));
        }
        log_.messages.clear();
        c.answer.empty() ? (void)Finish() : ExpectInStep();
        connection_.Disconnect();
        received_.clear();
    }
}

// A response cut off by a time-out leaves its tail to come late, and stray bytes may arrive
// while the line is idle: neither is taken for the start of the next response.
TEST_F(MicroControllerConnectionTest, LateTailAndStrayBytesAreNotTakenForTheNextResponse) {
    Answer({Response({0x01, 0x00, 0x07, '2'}), HexBytes("02 02 02 00 19"), Response({0x0A, 0x00}),
            Response({0x0A, 0x00})});
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

}  // namespace
