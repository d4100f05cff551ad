#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "app/DeviceSession.h"
#include "device/ModelOnDriverFixture.h"
#include "device/SerialPort.h"
#include "foundation/TextConversion.h"
#include "support/ListedPorts.h"
#include "support/RecordingNotifier.h"

namespace {

using testing::ElementsAre;

const std::pair<std::wstring, std::wstring> kConnectionBox{
    L"Zavik Driver Connection Error",
    L"Unable to connect to Zavik Driver.  Please verify the port number is valid and that the "
    L"device is connected to the PC."};

// The model of the device tests on an emulated driver registered as port 47, with its own port
// number 4 and Green's intensity 200.
class DeviceSessionTest : public ModelOnDriverFixture {
  protected:
    void SetUp() override {
        ModelOnDriverFixture::SetUp();
        model_.SetPortNumber(4);
        model_.SetIntensity(200, L"Green");
    }

    void ListTheDriver() { lister_.ports.push_back(driver_.Listing()); }

    RecordingNotifier notifier_;
    ListedPorts lister_;
    DeviceSession session_{model_, lister_, notifier_, &log_};
};

// Connecting twice sends nothing more; disconnecting (twice) closes the port without a command.
TEST_F(DeviceSessionTest, ADiscoveredDriverReplacesThePortNumber) {
    ListTheDriver();
    EXPECT_EQ(session_.Connect(), 0);
    EXPECT_EQ(session_.Connect(), 0);
    EXPECT_TRUE(session_.IsConnected());
    EXPECT_EQ(model_.GetPortNumber(), 47u);
    // The firmware query, then every intensity in table order (Green carries 255 - 200).
    EXPECT_EQ(driver_.CommandIds(), (std::vector<std::uint8_t>{0x01, 0x0B, 0x0B, 0x0B}));
    EXPECT_EQ(driver_->State().CarriedIntensity(2), 55);
    session_.Disconnect();
    session_.Disconnect();
    EXPECT_FALSE(session_.IsConnected());
    EXPECT_EQ(driver_.CommandIds().size(), 4u);
    SerialPort next;
    EXPECT_EQ(next.Open(47), 0);  // free again for anyone
    EXPECT_TRUE(notifier_.boxes.empty());
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
    ASSERT_EQ(model_.StartPulse(1), 0);
    driver_.MarkHandled();
    EXPECT_TRUE(session_.StopAndDisconnect().Ok());
    EXPECT_EQ(driver_.CommandIds(),
              (std::vector<std::uint8_t>{0x1E, 0x0A, 0x19, 0x0A, 0x0A, 0x0A}));
    EXPECT_EQ(driver_->State().OutputMask(), 0x0080);
    EXPECT_FALSE(model_.IsPulsing(1));
}

// A failed connect tells the operator and changes nothing; a port held by another program is
// told apart, and freed it connects.
TEST_F(DeviceSessionTest, AFailedConnectTellsTheOperatorAndChangesNothing) {
    EXPECT_EQ(session_.Connect(), -1);
    EXPECT_FALSE(session_.IsConnected());
    EXPECT_EQ(session_.LastError(), L"");
    EXPECT_THAT(notifier_.boxes, ElementsAre(kConnectionBox));
    EXPECT_EQ(model_.GetPortNumber(), 4u);
    EXPECT_TRUE(driver_->Packets().empty());

    ListTheDriver();
    SerialPort holder;
    ASSERT_EQ(holder.Open(47), 0);
    EXPECT_EQ(session_.Connect(), -1);
    EXPECT_EQ(session_.LastError(), L"The port COM47 (" +
                                        NarrowToWide(driver_.Listing().devicePath.string()) +
                                        L") is in use by another program.");
    EXPECT_EQ(notifier_.boxes.size(), 2u);
    holder.Close();
    EXPECT_EQ(session_.Connect(), 0);
    EXPECT_EQ(session_.LastError(), L"");
}

}  // namespace
