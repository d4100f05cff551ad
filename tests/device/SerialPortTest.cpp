#include <gtest/gtest.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "device/SerialPort.h"
#include "support/LogCapture.h"
#include "support/ScriptedPort.h"
#include "support/TempDir.h"

namespace {

using namespace std::chrono_literals;

const std::wstring kTimeout =
    L"Error reading data from device, the timeout has expired without receiving any data.";

// A port on a pseudo-terminal registered as COM41, with its log recorded.
class SerialPortTest : public testing::Test {
  protected:
    void SetUp() override { port.SetTimeouts({2000ms, 5000ms, 0ms}); }

    void OpenPort() {
        ASSERT_EQ(port.Open(41), 0);
        log.messages.clear();
    }

    Bytes Read(std::uint32_t count) {
        Bytes bytes(count);
        EXPECT_EQ(port.Read(bytes.data(), count), 0);
        return bytes;
    }

    TempDir dir;
    ScriptedPort pty{dir.Path() / "ports", 41};
    LogCapture log;
    SerialPort port{&log};
};

Messages OpenRefused(int error, const std::wstring& portName) {
    return {{LogLevel::Error, L"Error(" + std::to_wstring(error) +
                                  L") creating serial port interface on " + portName +
                                  L", an invalid handle to the device was returned."}};
}

TEST_F(SerialPortTest, OpenHoldsTheTtyAloneUntilClosedOrDestroyed) {
    std::uint8_t bytes[4] = {};
    EXPECT_EQ(port.Read(bytes, 4), -1);  // a closed port refuses silently
    EXPECT_EQ(port.Write(bytes, 4), -1);
    EXPECT_EQ(port.Open(987), -1);
    EXPECT_EQ(log.messages, OpenRefused(2, L"COM987 (/dev/ttyACM987)"));
    log.messages.clear();
    ASSERT_EQ(port.Open(41), 0);
    EXPECT_EQ(port.Open(987), 0) << "opening an open port changes nothing";
    EXPECT_EQ(port.Name(), pty.PortName());
    SerialPort second(&log);
    EXPECT_EQ(second.Open(41), -1);
    // Root opens an exclusive tty anyway, so the mode itself is what shows the release.
    int exclusive = 0;
    ASSERT_EQ(ioctl(pty.ProgramSide(), TIOCGEXCL, &exclusive), 0);
    EXPECT_EQ(exclusive, 1);
    port.Close();
    ASSERT_EQ(ioctl(pty.ProgramSide(), TIOCGEXCL, &exclusive), 0);
    EXPECT_EQ(exclusive, 0);
    port.Close();
    EXPECT_FALSE(port.IsOpen());
    EXPECT_EQ(port.Name(), L"");
    EXPECT_EQ(log.messages,
              (Messages{{LogLevel::Notice, L"Serial port connection created successfully on " +
                                               pty.PortName() + L"."},
                        OpenRefused(16, pty.PortName())[0],
                        {LogLevel::Notice, L"Serial connection closed."}}));
    {
        SerialPort destroyedOpen(&log);
        ASSERT_EQ(destroyedOpen.Open(41), 0);
    }
    EXPECT_EQ(second.Open(41), 0);
}

// The pty of another user's emulator under the user's port number is a device they answer for.
TEST_F(SerialPortTest, AnotherUsersTerminalIsRefused) {
    if (geteuid() != 0)
        GTEST_SKIP() << "only root can give a terminal to another user";
    ASSERT_EQ(fchown(pty.ProgramSide(), 65534, 65534), 0);
    EXPECT_EQ(port.Open(41), -1);
    EXPECT_EQ(log.messages, OpenRefused(13, pty.PortName()));
}

TEST_F(SerialPortTest, OpenSetsRaw9600EightNoneOneAndKeepsFlowControl) {
    termios t{};
    ASSERT_EQ(tcgetattr(pty.ProgramSide(), &t), 0);
    t.c_cflag |= CSTOPB | CRTSCTS | PARENB;
    t.c_iflag |= ICRNL | IXON | IXOFF | ISTRIP;
    t.c_oflag |= OPOST;
    t.c_lflag |= ICANON | ECHO | ISIG;
    cfsetspeed(&t, B4800);
    ASSERT_EQ(tcsetattr(pty.ProgramSide(), TCSANOW, &t), 0);
    OpenPort();
    ASSERT_EQ(tcgetattr(pty.ProgramSide(), &t), 0);
    EXPECT_EQ(cfgetospeed(&t), static_cast<speed_t>(B9600));
    EXPECT_EQ(t.c_cflag & (CSIZE | PARENB | CSTOPB | CLOCAL | CREAD | CRTSCTS),
              static_cast<tcflag_t>(CS8 | CLOCAL | CREAD | CRTSCTS));
    EXPECT_EQ(t.c_iflag & (ICRNL | IXON | ISTRIP | IXOFF), static_cast<tcflag_t>(IXOFF));
    EXPECT_EQ((t.c_oflag & OPOST) | (t.c_lflag & (ICANON | ECHO | ISIG)), 0u);
}

// Each byte value passes unchanged both ways; bytes that arrived together come out of reads in
// sections (header, data, footer) in order, whatever each read takes ahead.
TEST_F(SerialPortTest, EveryByteValuePassesBothWaysAndInSections) {
    OpenPort();
    Bytes bytes;
    for (int i = 0; i < 4000; ++i)
        bytes.push_back(static_cast<std::uint8_t>(i * 7 % 256));
    ASSERT_EQ(port.Write(bytes.data(), 256), 0);
    EXPECT_EQ(pty.Receive(256), Bytes(bytes.begin(), bytes.begin() + 256));
    pty.Send(bytes);
    ASSERT_EQ(pty.PendingForProgram(4000), 4000);
    Bytes received;
    for (const std::uint32_t section : {4u, 1u, 1028u, 2u, 2965u}) {
        const Bytes part = Read(section);
        received.insert(received.end(), part.begin(), part.end());
    }
    EXPECT_EQ(received, bytes);
    EXPECT_FALSE(port.HasBufferedInput());
    EXPECT_TRUE(log.messages.empty());
}

// A device sends count bytes one by one, gap apart, into a read of six.
struct ReadCase {
    const char* name;
    int count;
    std::chrono::milliseconds gap;
    SerialTimeouts timeouts;
    bool completes;
};

TEST_F(SerialPortTest, ReadEndsAtTheIntervalAfterTheLastByteOrTheTotalTimeout) {
    const ReadCase cases[] = {
        {"Silence", 0, 0ms, {30ms, 60ms, 1ms}, false},
        {"SilenceAfterSomeBytes", 4, 0ms, {250ms, 350ms, 1ms}, false},
        {"GapsWithinTheIntervalAreAssembled", 6, 60ms, {100ms, 2000ms, 0ms}, true},
        {"TricklingCannotStretchTheTotal", 6, 90ms, {100ms, 250ms, 0ms}, false},
    };
    OpenPort();
    for (const ReadCase& c : cases) {
        SCOPED_TRACE(c.name);
        port.SetTimeouts(c.timeouts);
        std::thread device([&] {
            for (int i = 0; i < c.count; ++i) {
                pty.Send({static_cast<std::uint8_t>(i)});
                std::this_thread::sleep_for(c.gap);
            }
        });
        std::uint8_t received[6] = {};
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(port.Read(received, 6), c.completes ? 0 : -1);
        EXPECT_LT(std::chrono::steady_clock::now() - start, c.timeouts.totalConstant + 150ms);
        device.join();
        EXPECT_EQ(log.messages, c.completes ? Messages() : Messages({{LogLevel::Error, kTimeout}}));
        log.messages.clear();
        port.DiscardInput();
    }
    // A pseudo-terminal master ignores the tty's read time-outs; the read still ends on time.
    std::filesystem::create_symlink("/dev/ptmx", dir.Path() / "ports" / "Master (COM42)");
    port.Close();
    ASSERT_EQ(port.Open(42), 0);
    std::uint8_t byte = 0;
    EXPECT_EQ(port.Read(&byte, 1), -1);
    EXPECT_EQ(log.messages.back(), std::make_pair(LogLevel::Error, kTimeout));
}

TEST_F(SerialPortTest, HangUpDuringAReadIsAReadAndWriteErrorNotASilence) {
    OpenPort();
    pty.Send({0x01});
    std::thread device([this] {
        std::this_thread::sleep_for(50ms);
        pty.HangUp();
    });
    std::uint8_t bytes[4] = {};
    EXPECT_EQ(port.Read(bytes, 4), -1);
    device.join();
    EXPECT_EQ(port.Write(bytes, 3), -1);
    EXPECT_EQ(log.messages,
              (Messages{{LogLevel::Error, L"Error(5) reading data from device. Byte Count: 4."},
                        {LogLevel::Error, L"Error(5) writing data to device. Byte Count: 3."}}));
}

}  // namespace
