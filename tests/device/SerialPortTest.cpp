#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "device/SerialPort.h"
#include "foundation/LogFile.h"
#include "support/RecordingNotifier.h"
#include "support/ScopedEnvironmentVariable.h"
#include "support/TempDir.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Messages = std::vector<std::pair<LogLevel, std::wstring>>;

constexpr int kPortNumber = 41;
constexpr int kMissingPortNumber = 987;

// Fail the test, rather than hang it, when an expected byte never comes.
constexpr int kPeerPatienceMs = 5000;
constexpr SerialTimeouts kPatientTimeouts{2000ms, 5000ms, 0ms};

std::string AllByteValues() {
    std::string bytes;
    for (int value = 0; value < 256; ++value) {
        bytes.push_back(static_cast<char>(value));
    }
    return bytes;
}

std::vector<std::uint8_t> AsBytes(const std::string& text) {
    return std::vector<std::uint8_t>(text.begin(), text.end());
}

// The device's end of the line: the master side of a pseudo-terminal whose slave the port opens.
class PseudoTerminal {
  public:
    PseudoTerminal() {
        master_ = posix_openpt(O_RDWR | O_NOCTTY);
        if (master_ >= 0 && grantpt(master_) == 0 && unlockpt(master_) == 0) {
            slavePath_ = ptsname(master_);
        }
    }
    ~PseudoTerminal() { CloseMaster(); }
    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;

    const std::string& SlavePath() const { return slavePath_; }

    // Hangs the line up, as an unplugged device does.
    void CloseMaster() {
        if (master_ >= 0) {
            close(master_);
            master_ = -1;
        }
    }

    void Send(const std::string& bytes) const {
        std::size_t sent = 0;
        while (sent < bytes.size()) {
            const ssize_t result = write(master_, bytes.data() + sent, bytes.size() - sent);
            ASSERT_GT(result, 0) << "the pseudo-terminal refused the bytes";
            sent += static_cast<std::size_t>(result);
        }
    }

    std::string Receive(std::size_t count) const {
        std::string bytes;
        char buffer[512];
        while (bytes.size() < count) {
            pollfd request{master_, POLLIN, 0};
            if (poll(&request, 1, kPeerPatienceMs) <= 0) {
                break;
            }
            const ssize_t result =
                read(master_, buffer, std::min(sizeof buffer, count - bytes.size()));
            if (result <= 0) {
                break;
            }
            bytes.append(buffer, static_cast<std::size_t>(result));
        }
        return bytes;
    }

    // Nothing the port wrote is waiting at the device's end. A closed line reads as an error,
    // which counts as nothing.
    bool NothingReceived() const {
        pollfd request{master_, POLLIN, 0};
        char byte = 0;
        return poll(&request, 1, 0) == 0 || (request.revents & POLLIN) == 0 ||
               read(master_, &byte, 1) <= 0;
    }

  private:
    int master_ = -1;
    std::string slavePath_;
};

// A port registered as "Test Port (COM41)" in a port directory of its own, with the port's log
// recorded. Tests that look at the tty themselves open it before the port takes it exclusively.
class SerialPortTest : public testing::Test {
  protected:
    void SetUp() override {
        ASSERT_FALSE(pty.SlavePath().empty()) << "no pseudo-terminal available";
        fs::create_directory(portDirectory);
        fs::create_symlink(pty.SlavePath(), registeredPath);
        ASSERT_EQ(log.SetLogFilename(dir.File("log")), 0);
        log.SetMessageReceiver(&receiver);
        // Short enough that a read that should have found its bytes fails instead of hanging.
        port.SetTimeouts(kPatientTimeouts);
    }

    void TearDown() override {
        if (monitor >= 0) {
            close(monitor);
        }
    }

    std::wstring PortName() const { return L"COM41 (" + registeredPath.wstring() + L")"; }

    void OpenMonitor() {
        monitor = open(pty.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        ASSERT_GE(monitor, 0);
    }

    void OpenPort() {
        ASSERT_EQ(port.Open(kPortNumber), 0);
        receiver.messages.clear();
    }

    // Waits until the tty holds the given number of received bytes not yet read.
    void WaitForPendingInput(int count) const {
        int pending = 0;
        for (int waited = 0; waited < kPeerPatienceMs; ++waited) {
            if (ioctl(monitor, FIONREAD, &pending) == 0 && pending >= count) {
                return;
            }
            std::this_thread::sleep_for(1ms);
        }
        FAIL() << "only " << pending << " bytes reached the tty";
    }

    TempDir dir;
    fs::path portDirectory = dir.Path() / "ports";
    fs::path registeredPath = portDirectory / "Test Port (COM41)";
    ScopedEnvironmentVariable portDirectoryVariable{"OSTRA_PORT_DIR", portDirectory.string()};
    PseudoTerminal pty;
    LogFile log;
    RecordingReceiver receiver;
    SerialPort port{&log};
    int monitor = -1;
};

TEST_F(SerialPortTest, OpenAndCloseReportTheRegisteredPortByNumberAndPath) {
    EXPECT_EQ(port.Open(kPortNumber), 0);
    EXPECT_TRUE(port.IsOpen());
    EXPECT_EQ(port.Name(), PortName());

    port.Close();
    EXPECT_FALSE(port.IsOpen());
    EXPECT_EQ(port.Name(), L"");
    port.Close();

    EXPECT_EQ(receiver.messages,
              (Messages{{LogLevel::Notice,
                         L"Serial port connection created successfully on " + PortName() + L"."},
                        {LogLevel::Notice, L"Serial connection closed."}}));
}

TEST_F(SerialPortTest, OpeningAnOpenPortChangesNothingAndLogsNothing) {
    OpenPort();
    EXPECT_EQ(port.Open(kPortNumber), 0);
    EXPECT_EQ(port.Open(kMissingPortNumber), 0);
    EXPECT_TRUE(port.IsOpen());
    EXPECT_EQ(port.Name(), PortName());
    EXPECT_TRUE(receiver.messages.empty());
}

TEST_F(SerialPortTest, MissingPortNumberLogsTheSystemErrorAndStaysClosed) {
    EXPECT_EQ(port.Open(kMissingPortNumber), -1);
    EXPECT_FALSE(port.IsOpen());
    port.Close();
    EXPECT_EQ(receiver.messages,
              (Messages{{LogLevel::Error,
                         L"Error(2) creating serial port interface on COM987 (/dev/ttyACM987), an "
                         L"invalid handle to the device was returned."}}));
}

// The pty of another user's emulator, registered under the user's port number, is a device that
// the other user answers for.
TEST_F(SerialPortTest, AnotherUsersTerminalIsRefused) {
    if (geteuid() != 0) {
        GTEST_SKIP() << "only root can give a terminal to another user";
    }
    ASSERT_EQ(chown(pty.SlavePath().c_str(), 65534, 65534), 0);
    EXPECT_EQ(port.Open(kPortNumber), -1);
    EXPECT_EQ(
        receiver.messages,
        (Messages{{LogLevel::Error, L"Error(13) creating serial port interface on " + PortName() +
                                        L", an invalid handle to the device was returned."}}));
}

TEST_F(SerialPortTest, WithoutALogResultsAreTheSame) {
    SerialPort silent;
    EXPECT_EQ(silent.Open(kMissingPortNumber), -1);
    EXPECT_EQ(silent.Open(kPortNumber), 0);
    silent.Close();
}

TEST_F(SerialPortTest, SecondPortOnTheSameTtyIsRefusedUntilTheFirstCloses) {
    OpenPort();
    SerialPort second(&log);
    EXPECT_EQ(second.Open(kPortNumber), -1);
    EXPECT_FALSE(second.IsOpen());
    EXPECT_EQ(
        receiver.messages,
        (Messages{{LogLevel::Error, L"Error(16) creating serial port interface on " + PortName() +
                                        L", an invalid handle to the device was returned."}}));

    // The refused attempt left the first port's hold and line intact.
    const std::string bytes = "\x01\x02\x03";
    EXPECT_EQ(port.Write(AsBytes(bytes).data(), 3), 0);
    EXPECT_EQ(pty.Receive(3), bytes);

    port.Close();
    EXPECT_EQ(second.Open(kPortNumber), 0);
}

TEST_F(SerialPortTest, DestroyingAnOpenPortReleasesTheTty) {
    {
        SerialPort first(&log);
        ASSERT_EQ(first.Open(kPortNumber), 0);
    }
    EXPECT_EQ(port.Open(kPortNumber), 0);
}

TEST_F(SerialPortTest, ReopenedPortCarriesDataAgain) {
    OpenPort();
    port.Close();
    ASSERT_EQ(port.Open(kPortNumber), 0);

    pty.Send("\x10\x20");
    std::uint8_t received[2] = {};
    EXPECT_EQ(port.Read(received, 2), 0);
    EXPECT_EQ(received[0], 0x10);
    EXPECT_EQ(received[1], 0x20);
}

TEST_F(SerialPortTest, ClosedPortRefusesReadAndWriteSilently) {
    std::uint8_t bytes[4] = {1, 2, 3, 4};
    EXPECT_EQ(port.Read(bytes, 4), -1);
    EXPECT_EQ(port.Write(bytes, 4), -1);
    EXPECT_EQ(port.Read(bytes, 0), -1);

    ASSERT_EQ(port.Open(kPortNumber), 0);
    port.Close();
    receiver.messages.clear();
    EXPECT_EQ(port.Read(bytes, 4), -1);
    EXPECT_EQ(port.Write(bytes, 4), -1);
    EXPECT_TRUE(receiver.messages.empty());
    EXPECT_TRUE(pty.NothingReceived());
}

TEST_F(SerialPortTest, ReadingNothingReturnsAtOnceAndLeavesTheInput) {
    OpenPort();
    pty.Send("AB");
    std::uint8_t received[2] = {};
    EXPECT_EQ(port.Read(received, 0), 0);
    EXPECT_EQ(port.Read(received, 2), 0);
    EXPECT_EQ(std::string(received, received + 2), "AB");
    EXPECT_TRUE(receiver.messages.empty());
}

TEST_F(SerialPortTest, EveryByteValueArrivesUnchanged) {
    OpenPort();
    const std::string bytes = AllByteValues() + "\r\n\n\r\x11\x13\x03\x04\x1a\x7f";
    pty.Send(bytes);
    std::vector<std::uint8_t> received(bytes.size());
    EXPECT_EQ(port.Read(received.data(), static_cast<std::uint32_t>(received.size())), 0);
    EXPECT_EQ(received, AsBytes(bytes));
    EXPECT_TRUE(receiver.messages.empty());
}

TEST_F(SerialPortTest, EveryByteValueIsWrittenUnchanged) {
    OpenPort();
    const std::string bytes = AllByteValues() + "\n\r\n\x11\x13";
    EXPECT_EQ(port.Write(AsBytes(bytes).data(), static_cast<std::uint32_t>(bytes.size())), 0);
    EXPECT_EQ(pty.Receive(bytes.size()), bytes);
    EXPECT_TRUE(pty.NothingReceived());
    EXPECT_TRUE(receiver.messages.empty());
}

TEST_F(SerialPortTest, WritingNothingSucceedsAndSendsNothing) {
    OpenPort();
    const std::uint8_t byte = 0x55;
    EXPECT_EQ(port.Write(&byte, 0), 0);
    EXPECT_TRUE(pty.NothingReceived());
}

// The peer sends only part of what is asked for, or nothing, then stays silent; with time-outs
// shorter than the port's read tick, and with time-outs that span several ticks (an empty tick
// is a silence, not a hang-up).
struct SilenceCase {
    int bytesBeforeSilence;
    SerialTimeouts timeouts;
    friend void PrintTo(const SilenceCase& silence, std::ostream* os) {
        *os << silence.bytesBeforeSilence << " bytes, interval "
            << silence.timeouts.interval.count() << " ms";
    }
};

class SerialPortSilence : public SerialPortTest, public testing::WithParamInterface<SilenceCase> {};

TEST_P(SerialPortSilence, EndsTheReadWithTheTimeoutMessage) {
    OpenPort();
    port.SetTimeouts(GetParam().timeouts);
    pty.Send(std::string(static_cast<std::size_t>(GetParam().bytesBeforeSilence), '\x5a'));
    std::uint8_t received[6] = {};
    EXPECT_EQ(port.Read(received, 6), -1);
    EXPECT_EQ(receiver.messages,
              (Messages{{LogLevel::Error,
                         L"Error reading data from device, the timeout has expired without "
                         L"receiving any data."}}));
}

const SerialTimeouts kShorterThanATick{30ms, 60ms, 1ms};
const SerialTimeouts kSeveralTicks{250ms, 350ms, 1ms};
INSTANTIATE_TEST_SUITE_P(
    BytesBeforeSilence, SerialPortSilence,
    testing::Values(SilenceCase{0, kShorterThanATick}, SilenceCase{1, kShorterThanATick},
                    SilenceCase{4, kShorterThanATick}, SilenceCase{5, kShorterThanATick},
                    SilenceCase{0, kSeveralTicks}, SilenceCase{4, kSeveralTicks}));

// Gaps shorter than the interval keep the read going, also when a gap spans a read tick.
class SerialPortPieces : public SerialPortTest,
                         public testing::WithParamInterface<std::chrono::milliseconds> {};

TEST_P(SerialPortPieces, BytesArrivingWithinTheGapAreAssembled) {
    OpenPort();
    std::thread peer([this] {
        for (const char* piece : {"\x01\x02", "\x03", "\x04\x05\x06"}) {
            pty.Send(piece);
            std::this_thread::sleep_for(GetParam());
        }
    });
    std::uint8_t received[6] = {};
    const int result = port.Read(received, 6);
    peer.join();
    EXPECT_EQ(result, 0);
    EXPECT_EQ(std::string(received, received + 6), "\x01\x02\x03\x04\x05\x06");
    EXPECT_TRUE(receiver.messages.empty());
}

INSTANTIATE_TEST_SUITE_P(GapBetweenPieces, SerialPortPieces, testing::Values(20ms, 150ms));

const std::wstring kTimeoutMessage =
    L"Error reading data from device, the timeout has expired without receiving any data.";

// The total time-out bounds the whole read: a byte every 90 ms, inside the 100 ms interval,
// does not stretch a 250 ms read to the 540 ms the six bytes take.
TEST_F(SerialPortTest, ATricklingDeviceCannotStretchTheRead) {
    OpenPort();
    port.SetTimeouts({100ms, 250ms, 0ms});
    std::thread peer([this] {
        for (int i = 0; i < 6; ++i) {
            pty.Send("\x01");
            std::this_thread::sleep_for(90ms);
        }
    });
    std::uint8_t received[6] = {};
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(port.Read(received, 6), -1);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 400ms);
    peer.join();
    EXPECT_EQ(receiver.messages, (Messages{{LogLevel::Error, kTimeoutMessage}}));
}

// A pseudo-terminal master ignores the tty's read time-outs; the read still ends on time.
TEST_F(SerialPortTest, AReadFromAnEntryThatIgnoresTtyTimeoutsEnds) {
    fs::create_symlink("/dev/ptmx", portDirectory / "Master (COM42)");
    SerialPort master{&log};
    ASSERT_EQ(master.Open(42), 0);
    master.SetTimeouts({50ms, 100ms, 0ms});
    receiver.messages.clear();
    std::uint8_t byte = 0;
    EXPECT_EQ(master.Read(&byte, 1), -1);
    EXPECT_EQ(receiver.messages, (Messages{{LogLevel::Error, kTimeoutMessage}}));
}

TEST_F(SerialPortTest, HangUpIsAReadAndWriteErrorNotASilence) {
    OpenPort();
    pty.CloseMaster();

    std::uint8_t bytes[4] = {};
    EXPECT_EQ(port.Read(bytes, 4), -1);
    EXPECT_EQ(port.Write(bytes, 3), -1);
    port.Close();
    EXPECT_EQ(receiver.messages,
              (Messages{{LogLevel::Error, L"Error(5) reading data from device. Byte Count: 4."},
                        {LogLevel::Error, L"Error(5) writing data to device. Byte Count: 3."},
                        {LogLevel::Notice, L"Serial connection closed."}}));
}

TEST_F(SerialPortTest, HangUpDuringAWaitingReadEndsIt) {
    OpenPort();
    pty.Send("\x01");
    std::thread peer([this] {
        std::this_thread::sleep_for(50ms);
        pty.CloseMaster();
    });
    std::uint8_t bytes[4] = {};
    const int result = port.Read(bytes, 4);
    peer.join();
    EXPECT_EQ(result, -1);
    EXPECT_EQ(receiver.messages,
              (Messages{{LogLevel::Error, L"Error(5) reading data from device. Byte Count: 4."}}));
}

TEST_F(SerialPortTest, DiscardInputDropsBytesThatWereNeverRead) {
    OpenMonitor();
    OpenPort();
    pty.Send("stale");
    WaitForPendingInput(5);
    port.DiscardInput();
    pty.Send("fresh");
    std::uint8_t received[5] = {};
    EXPECT_EQ(port.Read(received, 5), 0);
    EXPECT_EQ(std::string(received, received + 5), "fresh");
}

// A response is read in sections (header, data, footer) that arrive together; whatever a read
// takes beyond its section must come out of the next reads in order, however many there are.
TEST_F(SerialPortTest, SectionsOfBytesThatArrivedTogetherComeOutInOrder) {
    OpenMonitor();
    OpenPort();
    std::string bytes;
    for (int i = 0; i < 4000; ++i) {
        bytes += static_cast<char>(i * 7 % 251);
    }
    pty.Send(bytes);
    WaitForPendingInput(4000);
    std::string received;
    for (const std::uint32_t section : {4u, 1u, 1028u, 2u, 2965u}) {
        std::vector<std::uint8_t> part(section);
        ASSERT_EQ(port.Read(part.data(), section), 0);
        received.append(part.begin(), part.end());
    }
    EXPECT_EQ(received, bytes);
    EXPECT_FALSE(port.HasBufferedInput());
    EXPECT_TRUE(receiver.messages.empty());
}

// Bytes the port has read ahead are input that was never read too.
TEST_F(SerialPortTest, DiscardAndCloseDropBytesReadAhead) {
    OpenMonitor();
    OpenPort();
    pty.Send("stale tail");
    WaitForPendingInput(10);
    std::uint8_t received[5] = {};
    ASSERT_EQ(port.Read(received, 5), 0);
    ASSERT_TRUE(port.HasBufferedInput());
    port.DiscardInput();
    EXPECT_FALSE(port.HasBufferedInput());
    pty.Send("fresh");
    EXPECT_EQ(port.Read(received, 5), 0);
    EXPECT_EQ(std::string(received, received + 5), "fresh");

    pty.Send("older input");
    WaitForPendingInput(11);
    ASSERT_EQ(port.Read(received, 5), 0);
    port.Close();
    EXPECT_FALSE(port.HasBufferedInput());
    ASSERT_EQ(port.Open(kPortNumber), 0);
    pty.Send("newer");
    EXPECT_EQ(port.Read(received, 5), 0);
    EXPECT_EQ(std::string(received, received + 5), "newer");
}

TEST_F(SerialPortTest, OpenSetsRaw9600EightNoneOneAndKeepsFlowControl) {
    OpenMonitor();
    termios before{};
    ASSERT_EQ(tcgetattr(monitor, &before), 0);
    before.c_cflag |= CSTOPB | CRTSCTS;
    before.c_cflag &= ~(CLOCAL);
    before.c_iflag |= ICRNL | IXON | IXOFF | ISTRIP;
    before.c_oflag |= OPOST | ONLCR;
    before.c_lflag |= ICANON | ECHO | ISIG | IEXTEN;
    cfsetispeed(&before, B4800);
    cfsetospeed(&before, B4800);
    ASSERT_EQ(tcsetattr(monitor, TCSANOW, &before), 0);

    OpenPort();
    termios after{};
    ASSERT_EQ(tcgetattr(monitor, &after), 0);
    EXPECT_EQ(cfgetispeed(&after), static_cast<speed_t>(B9600));
    EXPECT_EQ(cfgetospeed(&after), static_cast<speed_t>(B9600));
    EXPECT_EQ(after.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_EQ(after.c_cflag & (PARENB | CSTOPB), 0u);
    EXPECT_EQ(after.c_cflag & (CLOCAL | CREAD), static_cast<tcflag_t>(CLOCAL | CREAD));
    EXPECT_EQ(after.c_iflag & (ICRNL | IXON | ISTRIP | INLCR | IGNCR), 0u);
    EXPECT_EQ(after.c_oflag & OPOST, 0u);
    EXPECT_EQ(after.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), 0u);
    EXPECT_NE(after.c_cflag & CRTSCTS, 0u);
    EXPECT_NE(after.c_iflag & IXOFF, 0u);
}

}  // namespace
