#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "app/DeviceSession.h"
#include "device/MicroController.h"
#include "device/SerialPort.h"
#include "device/SerialPortLister.h"
#include "foundation/LogFile.h"
#include "support/RecordingNotifier.h"
#include "support/ScopedEnvironmentVariable.h"
#include "support/TempDir.h"
#include "zavik-sim/ZavikSimulator.h"

namespace {

const std::pair<std::wstring, std::wstring> kConnectionBox{
    L"Zavik Driver Connection Error",
    L"Unable to connect to Zavik Driver.  Please verify the port number is valid and that the "
    L"device is connected to the PC."};

class ListedPorts final : public SerialPortLister {
  public:
    VlrDataTypes::VlrRetVal ListPorts(std::vector<SerialPortListing>& listed,
                                      std::string& /*reason*/) const override {
        listed = ports;
        return VlrDataTypes::VLR_SUCCESS;
    }
    std::vector<SerialPortListing> ports;
};

// The emulated driver registered as port 6 in a private port directory, and a device model
// of three LEDs whose own port number is 4.
class DeviceSessionTest : public testing::Test {
  protected:
    DeviceSessionTest()
        : portDirectory_("OSTRA_PORT_DIR", (dir_.Path() / "ports").string()),
          device_(&log_),
          session_(device_, lister_, notifier_, &log_) {
        log_.SetMessageReceiver(&receiver_);
        for (const wchar_t* label : {L"Blue", L"Green", L"Red"}) {
            device_.AddLED(label, 0.0);
        }
        device_.SetOutputMaskBit7();
        device_.SetIntensity(200, L"Green");
    }

    void StartDriver() {
        SimulatorConfig config;
        config.portNumber = 6;
        config.portDirectory = dir_.Path() / "ports";
        simulator_ = std::make_unique<ZavikSimulator>(config);
        ASSERT_EQ(simulator_->Start(), 0);
    }

    void ListTheDriver() {
        lister_.ports.push_back({simulator_->PortName(), simulator_->RegisteredPath()});
    }

    std::vector<std::uint8_t> CommandIds() const {
        std::vector<std::uint8_t> ids;
        for (const PacketRecord& packet : simulator_->Packets()) {
            ids.push_back(packet.received.at(4));
        }
        return ids;
    }

    bool Logged(const std::wstring& text) const {
        for (const auto& [level, message] : receiver_.messages) {
            if (level == LogLevel::Error && message == text) {
                return true;
            }
        }
        return false;
    }

    TempDir dir_;
    ScopedEnvironmentVariable portDirectory_;
    RecordingReceiver receiver_;
    RecordingNotifier notifier_;
    LogFile log_;
    MicroController device_;
    ListedPorts lister_;
    DeviceSession session_;
    std::unique_ptr<ZavikSimulator> simulator_;
};

TEST_F(DeviceSessionTest, ADiscoveredDriverReplacesThePortNumber) {
    StartDriver();
    ListTheDriver();
    EXPECT_EQ(session_.Connect(), 0);
    EXPECT_TRUE(session_.IsConnected());
    EXPECT_EQ(device_.GetPortNumber(), 6u);
    // The firmware query, then every intensity in table order (Green carries 255 - 200).
    EXPECT_EQ(CommandIds(), (std::vector<std::uint8_t>{0x01, 0x0B, 0x0B, 0x0B}));
    EXPECT_EQ(simulator_->State().CarriedIntensity(2), 55);
    EXPECT_TRUE(notifier_.boxes.empty());
}

TEST_F(DeviceSessionTest, WithoutADiscoveredDriverThePortNumberOfTheModelIsUsed) {
    StartDriver();
    device_.SetPortNumber(6);
    EXPECT_EQ(session_.Connect(), 0);
    EXPECT_EQ(device_.GetPortNumber(), 6u);
    EXPECT_TRUE(
        Logged(L"Error retrieving Zavik Driver device information.  Unable to determine "
               L"port number for device."));
    EXPECT_EQ(CommandIds().size(), 4u);
}

TEST_F(DeviceSessionTest, AFailedConnectTellsTheOperatorAndChangesNothing) {
    StartDriver();
    EXPECT_EQ(session_.Connect(), -1);
    EXPECT_FALSE(session_.IsConnected());
    EXPECT_FALSE(session_.LastConnectFoundPortInUse());
    EXPECT_EQ(notifier_.boxes,
              (std::vector<std::pair<std::wstring, std::wstring>>{kConnectionBox}));
    EXPECT_EQ(device_.GetPortNumber(), 4u);
    EXPECT_TRUE(simulator_->Packets().empty());
}

TEST_F(DeviceSessionTest, APortHeldByAnotherProgramIsToldApart) {
    StartDriver();
    ListTheDriver();
    SerialPort holder;
    ASSERT_EQ(holder.Open(6), 0);
    EXPECT_EQ(session_.Connect(), -1);
    EXPECT_TRUE(session_.LastConnectFoundPortInUse());
    EXPECT_EQ(notifier_.boxes.size(), 1u);
    holder.Close();
    EXPECT_EQ(session_.Connect(), 0);
    EXPECT_FALSE(session_.LastConnectFoundPortInUse());
}

TEST_F(DeviceSessionTest, ConnectingTwiceSendsNothingMore) {
    StartDriver();
    ListTheDriver();
    ASSERT_EQ(session_.Connect(), 0);
    EXPECT_EQ(session_.Connect(), 0);
    EXPECT_EQ(CommandIds().size(), 4u);
}

TEST_F(DeviceSessionTest, DisconnectClosesThePortWithoutACommand) {
    StartDriver();
    ListTheDriver();
    ASSERT_EQ(session_.Connect(), 0);
    session_.Disconnect();
    EXPECT_FALSE(session_.IsConnected());
    session_.Disconnect();
    EXPECT_EQ(CommandIds().size(), 4u);
    // The port is free again for anyone.
    SerialPort next;
    EXPECT_EQ(next.Open(6), 0);
}

}  // namespace
