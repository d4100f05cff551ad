#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <ostream>
#include <stdexcept>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "device/MicroControllerConnection.h"
#include "foundation/LogFile.h"
#include "foundation/TextConversion.h"
#include "support/RecordingNotifier.h"
#include "support/TempDir.h"

// Log levels by name in failure reports.
static void PrintTo(LogLevel level, std::ostream* os) {
    *os << WideToNarrow(LogLevelName(level));
}

namespace {

using Bytes = std::vector<std::uint8_t>;
using Message = std::pair<LogLevel, std::wstring>;
using Messages = std::vector<Message>;

constexpr int kPortNumber = 41;
// Only a bound so that a faulty connection cannot hang the suite; never reached when it works.
constexpr int kPeerPatienceMs = 10000;

const SerialTimeouts kPatientTimeouts{std::chrono::milliseconds(4000),
                                      std::chrono::milliseconds(10000),
                                      std::chrono::milliseconds(10)};
const SerialTimeouts kImpatientTimeouts{
    std::chrono::milliseconds(50), std::chrono::milliseconds(200), std::chrono::milliseconds(0)};

const std::wstring kDisconnected =
    L"Error, unable to execute command, the application is currently disconnected from the "
    L"micro controller.";
const std::wstring kDataError = L"Error validating data section of response packet.  ";
const std::wstring kHeaderError = L"Error validating command response header.  ";
const std::wstring kTimeout =
    L"Error reading data from device, the timeout has expired without receiving any data.";

// A response packet around the given data section, with a correct checksum.
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

const Bytes kFirmwareRequest = {0x02, 0x01, 0x01, 0x00, 0x01, 0x03, 0x00};
const Bytes kFirmwareResponse = Response({0x01, 0x00, 0x07, '2', '.', '1'});

bool ReadExactly(int fd, std::uint8_t* destination, std::size_t count) {
    std::size_t received = 0;
    while (received < count) {
        pollfd request{fd, POLLIN, 0};
        if (poll(&request, 1, kPeerPatienceMs) <= 0) {
            return false;
        }
        const ssize_t result = read(fd, destination + received, count - received);
        if (result <= 0) {
            return false;
        }
        received += static_cast<std::size_t>(result);
    }
    return true;
}

void WriteAll(int fd, const Bytes& bytes) {
    std::size_t written = 0;
    while (written < bytes.size()) {
        const ssize_t result = write(fd, bytes.data() + written, bytes.size() - written);
        if (result <= 0) {
            return;
        }
        written += static_cast<std::size_t>(result);
    }
}

// A pseudo-terminal pair. The test keeps its own raw descriptor on the device side, so that the
// line never hangs up between connects and the device side's input queue can be inspected.
class PseudoTerminal {
  public:
    PseudoTerminal() {
        master_ = posix_openpt(O_RDWR | O_NOCTTY);
        if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) {
            throw std::runtime_error("cannot create a pseudo-terminal");
        }
        devicePath_ = ptsname(master_);
        device_ = open(devicePath_.c_str(), O_RDWR | O_NOCTTY);
        termios settings{};
        if (device_ < 0 || tcgetattr(device_, &settings) != 0) {
            throw std::runtime_error("cannot open the pseudo-terminal's device side");
        }
        cfmakeraw(&settings);
        tcsetattr(device_, TCSANOW, &settings);
    }
    ~PseudoTerminal() {
        close(device_);
        close(master_);
    }
    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;

    int Master() const { return master_; }
    const std::string& DevicePath() const { return devicePath_; }

    // Bytes written by the device that the program has not read, once count of them have arrived
    // (or the bound has passed); pty transfers are asynchronous.
    int PendingInputAfterWaitingFor(int count) const {
        int pending = 0;
        for (int waited = 0; waited < kPeerPatienceMs; ++waited) {
            ioctl(device_, FIONREAD, &pending);
            if (pending >= count) {
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return pending;
    }
    // Writes from the program's side of the line, behind anything the program wrote.
    void WriteFromProgramSide(const Bytes& bytes) const { WriteAll(device_, bytes); }

  private:
    int master_ = -1;
    int device_ = -1;
    std::string devicePath_;
};

// Plays the device: for each scripted response it reads one command packet and answers with the
// response's bytes, however malformed they are.
class ScriptedDevice {
  public:
    explicit ScriptedDevice(int master) : master_(master) {}
    ~ScriptedDevice() { Finish(); }

    void Start(std::vector<Bytes> responses) {
        thread_ = std::thread([this, responses = std::move(responses)] {
            for (const Bytes& response : responses) {
                Bytes command;
                if (!ReadCommand(command)) {
                    return;
                }
                received_.push_back(std::move(command));
                WriteAll(master_, response);
            }
        });
    }
    // Waits for the script to end and returns the command packets received.
    std::vector<Bytes> Finish() {
        if (thread_.joinable()) {
            thread_.join();
        }
        return received_;
    }

  private:
    bool ReadCommand(Bytes& command) const {
        command.assign(4, 0);
        if (!ReadExactly(master_, command.data(), 4)) {
            return false;
        }
        const std::size_t rest = (command[2] | (command[3] << 8)) + 2u;
        command.resize(4 + rest);
        return ReadExactly(master_, command.data() + 4, rest);
    }

    int master_;
    std::thread thread_;
    std::vector<Bytes> received_;
};

class MicroControllerConnectionTest : public testing::Test {
  protected:
    MicroControllerConnectionTest() : device_(terminal_.Master()) {
        std::filesystem::create_directory_symlink(
            terminal_.DevicePath(),
            portDir_.Path() / ("Test Port (COM" + std::to_string(kPortNumber) + ")"));
        setenv("OSTRA_PORT_DIR", portDir_.Path().c_str(), 1);
        log_.SetLogFilename(logDir_.File("ConnectionLog"));
        log_.SetMessageReceiver(&receiver_);
        connection_.Port().SetTimeouts(kPatientTimeouts);
    }
    ~MicroControllerConnectionTest() override {
        connection_.Disconnect();
        device_.Finish();
        unsetenv("OSTRA_PORT_DIR");
    }

    // Connects with a firmware answer of "2.1" and forgets the messages of connecting.
    void ConnectQuietly() {
        ASSERT_EQ(connection_.Connect(kPortNumber), 0);
        receiver_.messages.clear();
    }

    Messages TakeMessages() { return std::exchange(receiver_.messages, {}); }

    Messages ErrorsOf(const Messages& messages) {
        Messages errors;
        for (const Message& message : messages) {
            if (message.first == LogLevel::Error) {
                errors.push_back(message);
            }
        }
        return errors;
    }

    int Execute(const Bytes& payload, std::uint16_t& responseSize) {
        return connection_.ExecuteCommand(payload.data(),
                                          static_cast<std::uint16_t>(payload.size()), responseSize);
    }

    Bytes ResponseData(std::uint16_t size) const {
        return Bytes(connection_.ResponseData(), connection_.ResponseData() + size);
    }

    TempDir portDir_;
    TempDir logDir_;
    PseudoTerminal terminal_;
    ScriptedDevice device_;
    RecordingReceiver receiver_;
    LogFile log_;
    MicroControllerConnection connection_{&log_};
};

Message Error(std::wstring text) {
    return {LogLevel::Error, std::move(text)};
}

// ---- Connecting ----

TEST_F(MicroControllerConnectionTest, ConnectLogsOpenDumpAndFirmwareVersion) {
    device_.Start({kFirmwareResponse});
    ASSERT_EQ(connection_.Connect(kPortNumber), 0);
    EXPECT_TRUE(connection_.IsConnected());
    const std::wstring portName = connection_.Port().Name();
    EXPECT_EQ(TakeMessages(),
              (Messages{{LogLevel::Notice,
                         L"Serial port connection created successfully on " + portName + L"."},
                        {LogLevel::Data, L"2-1-1-0-1-3-0-"},
                        {LogLevel::Notice, L"Microcontroller Firmware Version 2.1"}}));
    EXPECT_EQ(device_.Finish(), std::vector<Bytes>{kFirmwareRequest});
}

TEST_F(MicroControllerConnectionTest, DisconnectClosesThePort) {
    device_.Start({kFirmwareResponse});
    ConnectQuietly();
    connection_.Disconnect();
    EXPECT_FALSE(connection_.IsConnected());
    EXPECT_EQ(connection_.FirmwareVersion(), L"");
    EXPECT_EQ(TakeMessages(), (Messages{{LogLevel::Notice, L"Serial connection closed."}}));
}

TEST_F(MicroControllerConnectionTest, ConnectToAMissingPortFails) {
    EXPECT_EQ(connection_.Connect(kPortNumber + 1), -1);
    EXPECT_FALSE(connection_.IsConnected());
    const Messages messages = TakeMessages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].first, LogLevel::Error);
}

struct FirmwareCase {
    std::string name;
    Bytes data;
    // Empty when the connect must fail with the error messages below.
    std::wstring version;
    Messages errors;
};

void PrintTo(const FirmwareCase& c, std::ostream* os) {
    *os << c.name;
}

class FirmwareAnswers : public MicroControllerConnectionTest,
                        public testing::WithParamInterface<FirmwareCase> {};

TEST_P(FirmwareAnswers, DecideTheConnect) {
    const FirmwareCase& answer = GetParam();
    device_.Start({Response(answer.data)});
    const bool expectSuccess = answer.errors.empty();
    EXPECT_EQ(connection_.Connect(kPortNumber), expectSuccess ? 0 : -1);
    EXPECT_EQ(connection_.IsConnected(), expectSuccess);
    EXPECT_EQ(connection_.FirmwareVersion(), answer.version);
    const Messages messages = TakeMessages();
    ASSERT_FALSE(messages.empty());
    if (expectSuccess) {
        EXPECT_EQ(messages.back(),
                  Message(LogLevel::Notice, L"Microcontroller Firmware Version " + answer.version));
    } else {
        EXPECT_EQ(ErrorsOf(messages), answer.errors);
        EXPECT_EQ(messages.back(), Message(LogLevel::Notice, L"Serial connection closed."));
    }
}

std::vector<Message> InvalidFirmwareSize(int size) {
    return {Error(
        L"Error, the GetFirmwareVersion command returned an invalid response data buffer size(" +
        std::to_wstring(size) + L").")};
}

INSTANTIATE_TEST_SUITE_P(
    Answers, FirmwareAnswers,
    testing::Values(
        FirmwareCase{"OneCharacter", {0x01, 0x00, 0x07, 'Z'}, L"Z", {}},
        FirmwareCase{"ThreeBytes", {0x01, 0x00, 0x07}, L"", InvalidFirmwareSize(3)},
        FirmwareCase{"TwoBytes", {0x01, 0x00}, L"", InvalidFirmwareSize(2)},
        FirmwareCase{"ZeroEndsText", {0x01, 0x00, 0x00, '1', '.', '2', 0x00, 'x'}, L"1.2", {}},
        FirmwareCase{"ZeroFirst", {0x01, 0x00, 0x07, 0x00, 'x'}, L"", {}},
        FirmwareCase{"SingleByteText", {0x01, 0x00, 0x07, 'V', 0xE9}, L"V\u00e9", {}},
        FirmwareCase{
            "DeviceRefuses",
            {0x01, 0xFE, 0x07, 'Z'},
            L"",
            {Error(kDataError + L"The command (1) failed to execute(Unrecognized Command).")}}),
    [](const testing::TestParamInfo<FirmwareCase>& info) { return info.param.name; });

// ---- Commands ----

TEST_F(MicroControllerConnectionTest, DisconnectedCommandLogsAndSendsNothing) {
    MicroControllerConnection neverConnected(&log_);
    std::uint16_t responseSize = 77;
    const std::uint8_t payload[] = {0x19};
    EXPECT_EQ(neverConnected.ExecuteCommand(payload, 1, responseSize), -1);
    EXPECT_EQ(TakeMessages(), Messages{Error(kDisconnected)});

    device_.Start({kFirmwareResponse});
    ConnectQuietly();
    connection_.Disconnect();
    TakeMessages();
    EXPECT_EQ(connection_.ExecuteCommand(payload, 1, responseSize), -1);
    EXPECT_EQ(responseSize, 77);
    EXPECT_EQ(TakeMessages(), Messages{Error(kDisconnected)});

    // Anything written by the failed command would arrive before this marker.
    terminal_.WriteFromProgramSide({0xA5});
    std::uint8_t first = 0;
    ASSERT_TRUE(ReadExactly(terminal_.Master(), &first, 1));
    EXPECT_EQ(first, 0xA5);
}

struct CommandCase {
    std::string name;
    Bytes payload;
    Bytes packet;
    std::wstring dump;
};

void PrintTo(const CommandCase& c, std::ostream* os) {
    *os << c.name;
}

class CommandsOnTheWire : public MicroControllerConnectionTest,
                          public testing::WithParamInterface<CommandCase> {};

TEST_P(CommandsOnTheWire, AreFramedDumpedAndAnswered) {
    const CommandCase& command = GetParam();
    device_.Start({kFirmwareResponse, Response({command.payload[0], 0x00})});
    ConnectQuietly();
    std::uint16_t responseSize = 0;
    EXPECT_EQ(Execute(command.payload, responseSize), 0);
    EXPECT_EQ(responseSize, 2);
    EXPECT_EQ(ResponseData(2), (Bytes{command.payload[0], 0x00}));
    EXPECT_EQ(TakeMessages(), (Messages{{LogLevel::Data, command.dump}}));
    EXPECT_EQ(device_.Finish(), (std::vector<Bytes>{kFirmwareRequest, command.packet}));
}

INSTANTIATE_TEST_SUITE_P(
    Payloads, CommandsOnTheWire,
    testing::Values(CommandCase{"StopSequence",
                                {0x19},
                                {0x02, 0x01, 0x01, 0x00, 0x19, 0x03, 0x18},
                                L"2-1-1-0-25-3-24-"},
                    CommandCase{"LedOutputs",
                                {0x0A, 0x85, 0x00},
                                {0x02, 0x01, 0x03, 0x00, 0x0A, 0x85, 0x00, 0x03, 0x8C},
                                L"2-1-3-0-10-133-0-3-140-"},
                    CommandCase{
                        "CommandCount",
                        {0x16, 0xFE, 0x10, 0x27, 0x00, 0x00},
                        {0x02, 0x01, 0x06, 0x00, 0x16, 0xFE, 0x10, 0x27, 0x00, 0x00, 0x03, 0xD9},
                        L"2-1-6-0-22-254-16-39-0-0-3-217-"}),
    [](const testing::TestParamInfo<CommandCase>& info) { return info.param.name; });

TEST_F(MicroControllerConnectionTest, LedIntensityIsSentAsGiven) {
    device_.Start({kFirmwareResponse, Response({0x0B, 0x00})});
    ConnectQuietly();
    EXPECT_EQ(connection_.SendLEDIntensity(2, 0), 0);
    EXPECT_EQ(device_.Finish().back(),
              (Bytes{0x02, 0x01, 0x03, 0x00, 0x0B, 0x02, 0x00, 0x03, 0x0A}));
}

TEST_F(MicroControllerConnectionTest, LargestResponseIsReadWhole) {
    Bytes data(1028, 0x5A);
    data[0] = 0x19;
    data[1] = 0x00;
    data[1027] = 0xC3;
    device_.Start({kFirmwareResponse, Response(data)});
    ConnectQuietly();
    std::uint16_t responseSize = 0;
    EXPECT_EQ(Execute({0x19}, responseSize), 0);
    EXPECT_EQ(responseSize, 1028);
    EXPECT_EQ(ResponseData(1028), data);
    EXPECT_EQ(ErrorsOf(TakeMessages()), Messages{});
}

TEST_F(MicroControllerConnectionTest, EmptyPayloadIsRefusedBeforeSending) {
    device_.Start({kFirmwareResponse});
    ConnectQuietly();
    std::uint16_t responseSize = 77;
    EXPECT_EQ(connection_.ExecuteCommand(nullptr, 0, responseSize), -1);
    EXPECT_EQ(responseSize, 77);
    EXPECT_EQ(TakeMessages(),
              Messages{Error(L"Error creating data packet.  The data buffer is NULL and the size "
                             L"is equal to 0.")});
}

// A response that fails a check is still read to its end; every failed check is logged.
struct FaultyResponseCase {
    std::string name;
    Bytes payload;
    Bytes response;
    std::uint16_t responseSize;
    Messages errors;
};

void PrintTo(const FaultyResponseCase& c, std::ostream* os) {
    *os << c.name;
}

class FaultyResponses : public MicroControllerConnectionTest,
                        public testing::WithParamInterface<FaultyResponseCase> {};

TEST_P(FaultyResponses, AreReadCompletelyAndLogged) {
    const FaultyResponseCase& fault = GetParam();
    device_.Start({kFirmwareResponse, fault.response, Response({0x0A, 0x00})});
    ConnectQuietly();
    std::uint16_t responseSize = 77;
    EXPECT_EQ(Execute(fault.payload, responseSize), -1);
    EXPECT_EQ(responseSize, fault.responseSize);
    EXPECT_EQ(ErrorsOf(TakeMessages()), fault.errors);
    EXPECT_EQ(terminal_.PendingInputAfterWaitingFor(0), 0);

    // The next command finds its own response.
    EXPECT_EQ(Execute({0x0A, 0x80, 0x00}, responseSize), 0);
    EXPECT_EQ(ErrorsOf(TakeMessages()), Messages{});
}

INSTANTIATE_TEST_SUITE_P(
    Responses, FaultyResponses,
    testing::Values(
        FaultyResponseCase{
            "SequenceNotFound",
            {0x14, 0x03},
            {0x02, 0x02, 0x02, 0x00, 0x14, 0xFC, 0x03, 0xE9},
            2,
            {Error(kDataError + L"The command (20) failed to execute(Sequence Not Found).")}},
        FaultyResponseCase{
            "WrongStxOtherwiseSound",
            {0x19},
            {0x03, 0x02, 0x02, 0x00, 0x19, 0x00, 0x03, 0x19},
            2,
            {Error(kHeaderError + L"The STX field is invalid.  STX:3, Type:2, Size:2")}},
        FaultyResponseCase{
            "CommandTypeAndRefusal",
            {0x19},
            {0x02, 0x01, 0x02, 0x00, 0x19, 0xFA, 0x03, 0xE1},
            2,
            {Error(kHeaderError + L"The packet type field is invalid.  STX:2, Type:1, Size:2"),
             Error(kDataError + L"The command (25) failed to execute(Sequence In Progress).")}},
        FaultyResponseCase{
            "SizeOne",
            {0x19},
            {0x02, 0x02, 0x01, 0x00, 0x19, 0x03, 0x1B},
            1,
            {Error(kHeaderError + L"The packet size field is invalid.  STX:2, Type:2, Size:1"),
             Error(kDataError + L"The data section size(1) is invalid.")}},
        FaultyResponseCase{
            "SizeZero",
            {0x19},
            {0x02, 0x02, 0x00, 0x00, 0x03, 0x03},
            0,
            {Error(kHeaderError + L"The packet size field is invalid.  STX:2, Type:2, Size:0"),
             Error(kDataError + L"The data section size(0) is invalid.")}},
        FaultyResponseCase{"OtherCommandEchoed",
                           {0x0A, 0x80, 0x00},
                           {0x02, 0x02, 0x02, 0x00, 0x0B, 0x00, 0x03, 0x0A},
                           2,
                           {Error(kDataError + L"The command ID(10) is invalid.")}},
        FaultyResponseCase{
            "ChecksumOneOff",
            {0x19},
            {0x02, 0x02, 0x02, 0x00, 0x19, 0x00, 0x03, 0x19},
            2,
            {Error(L"Error validating command response footer.  The CRC calculation(1) failed.")}},
        FaultyResponseCase{
            "FailureAndWrongEtx",
            {0x19},
            {0x02, 0x02, 0x02, 0x00, 0x19, 0xFF, 0x04, 0x00},
            2,
            {Error(kDataError + L"The command (25) failed to execute(General Failure)."),
             Error(L"Error validating command response footer.  The ETX field(4) is invalid.")}}),
    [](const testing::TestParamInfo<FaultyResponseCase>& info) { return info.param.name; });

// A first answer that leaves bytes behind: the next command must not take them for the start
// of its own response.
struct LeftoverCase {
    const char* name;
    Bytes answer;
    int result;
    Messages errors;
    friend void PrintTo(const LeftoverCase& leftover, std::ostream* os) { *os << leftover.name; }
};

class MicroControllerConnectionLeftovers : public MicroControllerConnectionTest,
                                           public testing::WithParamInterface<LeftoverCase> {};

TEST_P(MicroControllerConnectionLeftovers, NextCommandIsBackInStep) {
    device_.Start({kFirmwareResponse, GetParam().answer, Response({0x0A, 0x00})});
    ConnectQuietly();
    std::uint16_t responseSize = 77;
    EXPECT_EQ(Execute({0x19}, responseSize), GetParam().result);
    EXPECT_EQ(ErrorsOf(TakeMessages()), GetParam().errors);

    EXPECT_EQ(Execute({0x0A, 0x80, 0x00}, responseSize), 0);
    EXPECT_EQ(ResponseData(responseSize), (Bytes{0x0A, 0x00}));
    EXPECT_EQ(ErrorsOf(TakeMessages()), Messages{});
    EXPECT_EQ(device_.Finish().back(),
              (Bytes{0x02, 0x01, 0x03, 0x00, 0x0A, 0x80, 0x00, 0x03, 0x89}));
}

INSTANTIATE_TEST_SUITE_P(
    MicroControllerConnectionTest, MicroControllerConnectionLeftovers,
    testing::Values(
        // The reading stops after a header whose size is beyond the buffer.
        LeftoverCase{"OversizedResponse",
                     {0x02, 0x02, 0x05, 0x04, 0x19, 0x00, 0xAA, 0xBB, 0xCC},
                     -1,
                     {Error(L"Invalid data size(1029) returned from microcontroller.  Unable to "
                            L"receive packet.")}},
        LeftoverCase{"BytesBehindAWholeResponse",
                     {0x02, 0x02, 0x02, 0x00, 0x19, 0x00, 0x03, 0x18, 0x02, 0x02, 0x02},
                     0,
                     {}},
        // The size field of a spoilt header is one byte short of the frame.
        LeftoverCase{"SpoiltHeader",
                     {0x07, 0x02, 0x01, 0x00, 0x19, 0x00, 0x03, 0x18},
                     -1,
                     {Error(kHeaderError + std::wstring(L"The STX field is invalid.  ") +
                            L"STX:7, Type:2, Size:1"),
                      Error(kDataError + std::wstring(L"The data section size(1) is invalid.")),
                      Error(L"Error validating command response footer.  The ETX field(0) is "
                            L"invalid.")}}),
    [](const testing::TestParamInfo<LeftoverCase>& info) { return info.param.name; });

// Stray bytes that arrive while the line is idle after a whole response are no answer either.
TEST_F(MicroControllerConnectionTest, StrayBytesAfterAPauseAreNotTakenForTheNextResponse) {
    device_.Start({kFirmwareResponse, Response({0x19, 0x00}), Response({0x0A, 0x00})});
    ConnectQuietly();
    std::uint16_t responseSize = 77;
    ASSERT_EQ(Execute({0x19}, responseSize), 0);

    WriteAll(terminal_.Master(), {0x02, 0x02, 0x02});
    ASSERT_EQ(terminal_.PendingInputAfterWaitingFor(3), 3);
    std::this_thread::sleep_for(MicroControllerConnection::kBackToBackGap * 2);

    EXPECT_EQ(Execute({0x0A, 0x80, 0x00}, responseSize), 0);
    EXPECT_EQ(ResponseData(responseSize), (Bytes{0x0A, 0x00}));
    EXPECT_EQ(ErrorsOf(TakeMessages()), Messages{});
}

// A response cut off by a time-out leaves its tail in the input queue; the next command must not
// take that tail for the start of its own response.
TEST_F(MicroControllerConnectionTest, CommandAfterTimeOutIsBackInStep) {
    const Bytes cutOff = {0x02, 0x02, 0x02, 0x00, 0x19};
    const Bytes lateTail = {0x00, 0x03, 0x18};
    device_.Start({kFirmwareResponse, cutOff, Response({0x0A, 0x00})});
    ConnectQuietly();
    connection_.Port().SetTimeouts(kImpatientTimeouts);
    std::uint16_t responseSize = 77;
    EXPECT_EQ(Execute({0x19}, responseSize), -1);
    EXPECT_EQ(responseSize, 0);
    EXPECT_EQ(ErrorsOf(TakeMessages()), Messages{Error(kTimeout)});

    // The device finishes its answer too late; the bytes wait unread on the program's side.
    WriteAll(terminal_.Master(), lateTail);
    ASSERT_EQ(terminal_.PendingInputAfterWaitingFor(3), 3);

    connection_.Port().SetTimeouts(kPatientTimeouts);
    EXPECT_EQ(Execute({0x0A, 0x80, 0x00}, responseSize), 0);
    EXPECT_EQ(responseSize, 2);
    EXPECT_EQ(ErrorsOf(TakeMessages()), Messages{});
    EXPECT_EQ(device_.Finish().back(),
              (Bytes{0x02, 0x01, 0x03, 0x00, 0x0A, 0x80, 0x00, 0x03, 0x89}));
}

}  // namespace
