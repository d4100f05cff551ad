#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "app/DeviceSession.h"
#include "device/MicroController.h"
#include "device/SerialPort.h"
#include "foundation/TextConversion.h"
#include "support/EmulatedDriver.h"
#include "support/ListedPorts.h"
#include "support/LogCapture.h"
#include "support/RecordingNotifier.h"
#include "support/TempDir.h"

namespace {

using testing::Contains;
using testing::ElementsAre;

const std::pair<std::wstring, std::wstring> kConnectionBox{
    L"Zavik Driver Connection Error",
    L"Unable to connect to Zavik Driver.  Please verify the port number is valid and that the "
    L"device is connected to the PC."};

// The emulated driver registered as port 6 in a private port directory, and a device model
// of three LEDs whose own port number is 4.
class DeviceSessionTest : public testing::Test {
  protected:
    DeviceSessionTest() {
        for (const wchar_t* label : {L"Blue", L"Green", L"Red"}) {
            device_.AddLED(label, 0.0);
        }
        device_.SetOutputMaskBit7();
        device_.SetIntensity(200, L"Green");
    }

    void SetUp() override { ASSERT_EQ(driver_.Start(), 0); }

    void ListTheDriver() { lister_.ports.push_back(driver_.Listing()); }

    TempDir dir_;
    EmulatedDriver driver_{dir_.Path() / "ports", 6};
    RecordingNotifier notifier_;
    LogCapture log_;
    MicroController device_{&log_};
    ListedPorts lister_;
    DeviceSession session_{device_, lister_, notifier_, &log_};
};

// Connecting twice sends nothing more; disconnecting (twice) closes the port without a command.
TEST_F(DeviceSessionTest, ADiscoveredDriverReplacesThePortNumber) {
    ListTheDriver();
    EXPECT_EQ(session_.Connect(), 0);
    EXPECT_EQ(session_.Connect(), 0);
    EXPECT_TRUE(session_.IsConnected());
    EXPECT_EQ(device_.GetPortNumber(), 6u);
    // The firmware query, then every intensity in table order (Green carries 255 - 200).
    EXPECT_EQ(driver_.CommandIds(), (std::vector<std::uint8_t>{0x01, 0x0B, 0x0B, 0x0B}));
    EXPECT_EQ(driver_->State().CarriedIntensity(2), 55);
    session_.Disconnect();
    session_.Disconnect();
    EXPECT_FALSE(session_.IsConnected());
    EXPECT_EQ(driver_.CommandIds().size(), 4u);
    SerialPort next;
    EXPECT_EQ(next.Open(6), 0);  // free again for anyone
    EXPECT_TRUE(notifier_.boxes.empty());
}

TEST_F(DeviceSessionTest, WithoutADiscoveredDriverThePortNumberOfTheModelIsUsed) {
    device_.SetPortNumber(6);
    EXPECT_EQ(session_.Connect(), 0);
    EXPECT_EQ(device_.GetPortNumber(), 6u);
    EXPECT_THAT(log_.Errors(),
                Contains(L"Error retrieving Zavik Driver device information.  Unable to determine "
                         L"port number for device."));
    EXPECT_EQ(driver_.CommandIds().size(), 4u);
}

// Only what this session started is stopped: a quiet device is left alone; a pulse train ends
// with its own stop, then the sequence stop and every LED off go before the port closes.
TEST_F(DeviceSessionTest, StopAndDisconnectLeavesTheDeviceQuiet) {
    ListTheDriver();
    ASSERT_EQ(session_.Connect(), 0);
    const std::size_t connectCommands = driver_.CommandIds().size();
    EXPECT_TRUE(session_.StopAndDisconnect().Ok());
    EXPECT_FALSE(session_.IsConnected());
    EXPECT_EQ(driver_.CommandIds().size(), connectCommands);

    ASSERT_EQ(session_.Connect(), 0);
    ASSERT_EQ(device_.StartPulse(1), 0);
    const std::size_t before = driver_.CommandIds().size();
    EXPECT_TRUE(session_.StopAndDisconnect().Ok());
    const std::vector<std::uint8_t> ids = driver_.CommandIds();
    EXPECT_EQ(
        std::vector<std::uint8_t>(ids.begin() + static_cast<std::ptrdiff_t>(before), ids.end()),
        (std::vector<std::uint8_t>{0x1E, 0x0A, 0x19, 0x0A, 0x0A, 0x0A}));
    EXPECT_EQ(driver_->State().OutputMask(), 0x0080);
    EXPECT_FALSE(device_.IsPulsing(1));
}

// A failed connect tells the operator and changes nothing; a port held by another program is
// told apart, and freed it connects.
TEST_F(DeviceSessionTest, AFailedConnectTellsTheOperatorAndChangesNothing) {
    EXPECT_EQ(session_.Connect(), -1);
    EXPECT_FALSE(session_.IsConnected());
    EXPECT_EQ(session_.LastError(), L"");
    EXPECT_THAT(notifier_.boxes, ElementsAre(kConnectionBox));
    EXPECT_EQ(device_.GetPortNumber(), 4u);
    EXPECT_TRUE(driver_->Packets().empty());

    ListTheDriver();
    SerialPort holder;
    ASSERT_EQ(holder.Open(6), 0);
    EXPECT_EQ(session_.Connect(), -1);
    EXPECT_EQ(session_.LastError(), L"The port COM6 (" +
                                        NarrowToWide(driver_.Listing().devicePath.string()) +
                                        L") is in use by another program.");
    EXPECT_EQ(notifier_.boxes.size(), 2u);
    holder.Close();
    EXPECT_EQ(session_.Connect(), 0);
    EXPECT_EQ(session_.LastError(), L"");
}

}  // namespace
