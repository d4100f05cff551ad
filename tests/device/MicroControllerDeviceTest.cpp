#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "device/ExpectedPackets.h"
#include "device/MicroController.h"
#include "foundation/LogFile.h"
#include "foundation/TextConversion.h"
#include "support/RecordingNotifier.h"
#include "support/TempDir.h"
#include "zavik-sim/ZavikSimulator.h"

namespace {

using testing::ElementsAre;
using testing::IsEmpty;
using Bytes = std::vector<std::uint8_t>;
using ExpectedPackets::Outputs;
using ExpectedPackets::Packet;
using ExpectedPackets::StatusFault;

constexpr int kPortNumber = 47;

Bytes Intensity(std::uint8_t deviceLedId, std::uint8_t carried) {
    return Packet({0x0B, deviceLedId, carried});
}

Bytes PulseTrain(std::uint8_t deviceLedId, std::uint64_t on, std::uint64_t off,
                 std::uint32_t loops) {
    Bytes payload{0x1E, deviceLedId};
    for (const std::uint64_t width : {on, off}) {
        for (int i = 0; i < 8; ++i) {
            payload.push_back(static_cast<std::uint8_t>(width >> (8 * i)));
        }
    }
    for (int i = 0; i < 4; ++i) {
        payload.push_back(static_cast<std::uint8_t>(loops >> (8 * i)));
    }
    return Packet(payload);
}

// The model with Blue (ID 0), Green (ID 2) and Red (ID 1), and an emulated driver registered
// under the model's port number in a private port directory.
class MicroControllerOnDevice : public testing::Test {
  protected:
    void SetUp() override {
        setenv("OSTRA_PORT_DIR", dir_.Path().c_str(), 1);
        SimulatorConfig config;
        config.portNumber = kPortNumber;
        config.portDirectory = dir_.Path();
        simulator_ = std::make_unique<ZavikSimulator>(config);
        ASSERT_EQ(simulator_->Start(), 0);

        ASSERT_EQ(log_.SetLogFilename(dir_.File("model")), 0);
        log_.SetMessageReceiver(&receiver_);
        model_.SetOutputMaskBit7();
        model_.SetPortNumber(kPortNumber);
        for (const wchar_t* label : {L"Blue", L"Green", L"Red"}) {
            ASSERT_EQ(model_.AddLED(label, 0.0), 0);
        }
    }

    void TearDown() override {
        model_.GetConnection().Disconnect();
        simulator_->Stop();
        unsetenv("OSTRA_PORT_DIR");
    }

    void Connect() {
        ASSERT_EQ(model_.GetConnection().Connect(static_cast<int>(model_.GetPortNumber())), 0)
            << WideToNarrow(LoggedText());
        handled_ = simulator_->Packets().size();
        receiver_.messages.clear();
    }

    // The packets the device received since the connect, byte for byte. Transactions are
    // synchronous, so everything sent has been handled when an operation returns.
    std::vector<Bytes> Received() const {
        std::vector<Bytes> packets;
        const std::vector<PacketRecord> records = simulator_->Packets();
        for (std::size_t i = handled_; i < records.size(); ++i) {
            packets.push_back(records[i].received);
        }
        return packets;
    }

    std::wstring LoggedText() const {
        std::wstring text;
        for (const auto& message : receiver_.messages) {
            text += message.second + L"\n";
        }
        return text;
    }

    // The link also logs every packet at Data level; only failures matter here.
    std::vector<std::wstring> Errors() const {
        std::vector<std::wstring> errors;
        for (const auto& [level, message] : receiver_.messages) {
            if (level == LogLevel::Error) {
                errors.push_back(message);
            }
        }
        return errors;
    }

    TempDir dir_;
    LogFile log_;
    RecordingReceiver receiver_;
    MicroController model_{&log_};
    std::unique_ptr<ZavikSimulator> simulator_;
    std::size_t handled_ = 0;
};

struct WireIntensityCase {
    std::uint32_t intensity;
    std::uint8_t carried;
};

void PrintTo(const WireIntensityCase& c, std::ostream* os) {
    *os << c.intensity;
}

class IntensityOnTheWire : public MicroControllerOnDevice,
                           public testing::WithParamInterface<WireIntensityCase> {};

TEST_P(IntensityOnTheWire, IsInvertedAndAddressedByDeviceId) {
    Connect();
    EXPECT_EQ(model_.SetIntensity(GetParam().intensity, L"green"), 0);
    EXPECT_THAT(Received(), ElementsAre(Intensity(2, GetParam().carried)));
    EXPECT_THAT(Errors(), IsEmpty());
}

INSTANTIATE_TEST_SUITE_P(Cases, IntensityOnTheWire,
                         testing::Values(WireIntensityCase{255, 0x00}, WireIntensityCase{0, 0xFF},
                                         WireIntensityCase{200, 0x37},
                                         WireIntensityCase{27, 0xE4}));

TEST_F(MicroControllerOnDevice, UnchangedOrRefusedIntensitySendsNothing) {
    Connect();
    EXPECT_EQ(model_.SetIntensity(26, L"Blue"), 0);
    EXPECT_EQ(model_.SetIntensity(256, L"Blue"), -1);
    EXPECT_EQ(model_.SetIntensity(10, L"Amber"), -1);
    EXPECT_THAT(Received(), IsEmpty());
}

TEST_F(MicroControllerOnDevice, IntensitySetWhileDisconnectedIsSentAfterConnecting) {
    ASSERT_EQ(model_.SetIntensity(200, L"Green"), 0);
    ASSERT_EQ(model_.SetIntensity(255, L"Red"), 0);
    Connect();
    EXPECT_THAT(Received(), IsEmpty());

    EXPECT_EQ(model_.SendAllIntensities(), 0);
    EXPECT_THAT(Received(),
                ElementsAre(Intensity(0, 0xE5), Intensity(2, 0x37), Intensity(1, 0x00)));
}

TEST_F(MicroControllerOnDevice, SendAllIntensitiesStopsAtTheFirstRefusal) {
    simulator_->AddFault(StatusFault(0x0B, 0xFF, 2));
    Connect();
    EXPECT_EQ(model_.SendAllIntensities(), -1);
    EXPECT_THAT(Received(), ElementsAre(Intensity(0, 0xE5), Intensity(2, 0xE5)));
}

TEST_F(MicroControllerOnDevice, RefusedIntensityStaysStored) {
    simulator_->AddFault(StatusFault(0x0B, 0xFD));
    Connect();
    EXPECT_EQ(model_.SetIntensity(100, L"Blue"), -1);
    LEDRecord record;
    ASSERT_EQ(model_.GetLEDInfo(0, record), 0);
    EXPECT_EQ(record.intensity, 100);
    EXPECT_THAT(Received(), ElementsAre(Intensity(0, 155)));
    EXPECT_THAT(Errors(), testing::SizeIs(1));
}

TEST_F(MicroControllerOnDevice, TurningAnLEDOnAndOffSendsTheMaskWithBitSeven) {
    Connect();
    ASSERT_EQ(model_.TurnLEDOn(1), 0);
    EXPECT_EQ(model_.GetOutputMask(), 0x0084);
    ASSERT_EQ(model_.TurnLEDOn(2), 0);
    EXPECT_EQ(model_.GetOutputMask(), 0x0086);
    ASSERT_EQ(model_.TurnLEDOff(1), 0);
    EXPECT_EQ(model_.GetOutputMask(), 0x0082);
    ASSERT_EQ(model_.TurnLEDOff(2), 0);
    EXPECT_EQ(model_.GetOutputMask(), 0x0080);
    EXPECT_THAT(Received(),
                ElementsAre(Outputs(0x0084), Outputs(0x0086), Outputs(0x0082), Outputs(0x0080)));
    EXPECT_EQ(simulator_->State().OutputMask(), 0x0080);
    EXPECT_THAT(Errors(), IsEmpty());
}

TEST_F(MicroControllerOnDevice, RefusedMaskIsNotStored) {
    Connect();
    ASSERT_EQ(model_.TurnLEDOn(0), 0);
    simulator_->AddFault(StatusFault(0x0A, 0xFF));
    EXPECT_EQ(model_.TurnLEDOn(1), -1);
    EXPECT_EQ(model_.GetOutputMask(), 0x0081);
    EXPECT_EQ(model_.TurnLEDOff(0), -1);
    EXPECT_EQ(model_.GetOutputMask(), 0x0081);
    EXPECT_THAT(Received(), ElementsAre(Outputs(0x0081), Outputs(0x0085), Outputs(0x0080)));
}

struct PulseWireCase {
    PulseParameters pulse;
    std::uint64_t on;
    std::uint64_t off;
};

void PrintTo(const PulseWireCase& c, std::ostream* os) {
    *os << "on " << c.pulse.widthOn << " off " << c.pulse.widthOff << " loops "
        << c.pulse.loopCount;
}

class PulseOnTheWire : public MicroControllerOnDevice,
                       public testing::WithParamInterface<PulseWireCase> {};

TEST_P(PulseOnTheWire, CarriesWidthsInTenthsOfAMillisecond) {
    ASSERT_EQ(model_.SetLEDPulse(L"Red", GetParam().pulse), 0);
    Connect();
    EXPECT_EQ(model_.StartPulse(2), 0);
    EXPECT_THAT(Received(), ElementsAre(PulseTrain(1, GetParam().on, GetParam().off,
                                                   GetParam().pulse.loopCount)));
    EXPECT_EQ(Received()[0].size(), 22u + 6u);
    EXPECT_EQ(model_.GetOutputMask(), 0x0080);
}

INSTANTIATE_TEST_SUITE_P(Cases, PulseOnTheWire,
                         testing::Values(PulseWireCase{{5, 10.0, 90.0}, 100, 900},
                                         PulseWireCase{{0, 1234.567, 0.1}, 12345, 1},
                                         PulseWireCase{{1000000, 1800000.0, 0.25}, 18000000, 2}));

TEST_F(MicroControllerOnDevice, StartPulseSendsTheExactTrainBytes) {
    ASSERT_EQ(model_.SetLEDPulse(L"Green", {5, 10.0, 90.0}), 0);
    Connect();
    ASSERT_EQ(model_.StartPulse(1), 0);
    const Bytes payload{0x1E, 0x02, 0x64, 0, 0, 0, 0, 0,    0, 0, 0x84,
                        0x03, 0,    0,    0, 0, 0, 0, 0x05, 0, 0, 0};
    EXPECT_THAT(Received(), ElementsAre(Packet(payload)));
}

TEST_F(MicroControllerOnDevice, StopPulseSendsTheZeroTrainThenClearsTheOutput) {
    Connect();
    ASSERT_EQ(model_.TurnLEDOn(0), 0);
    ASSERT_EQ(model_.TurnLEDOn(2), 0);
    ASSERT_EQ(model_.StartPulse(2), 0);
    ASSERT_EQ(model_.StopPulse(2), 0);
    EXPECT_EQ(model_.GetOutputMask(), 0x0081);
    EXPECT_THAT(Received(),
                ElementsAre(Outputs(0x0081), Outputs(0x0083), PulseTrain(1, 100, 900, 0),
                            PulseTrain(1, 0, 0, 0), Outputs(0x0081)));
}

TEST_F(MicroControllerOnDevice, RefusedStopOfTheTrainSendsNoMask) {
    Connect();
    ASSERT_EQ(model_.TurnLEDOn(0), 0);
    simulator_->AddFault(StatusFault(0x1E, 0xFF));
    EXPECT_EQ(model_.StopPulse(0), -1);
    EXPECT_EQ(model_.GetOutputMask(), 0x0081);
    EXPECT_THAT(Received(), ElementsAre(Outputs(0x0081), PulseTrain(0, 0, 0, 0)));
}

TEST_F(MicroControllerOnDevice, RefusedMaskAfterStoppingTheTrainKeepsTheMask) {
    Connect();
    ASSERT_EQ(model_.TurnLEDOn(0), 0);
    simulator_->AddFault(StatusFault(0x0A, 0xFF));
    EXPECT_EQ(model_.StopPulse(0), -1);
    EXPECT_EQ(model_.GetOutputMask(), 0x0081);
    EXPECT_THAT(Received(), ElementsAre(Outputs(0x0081), PulseTrain(0, 0, 0, 0), Outputs(0x0080)));
}

TEST_F(MicroControllerOnDevice, RefusedStartOfTheTrainFails) {
    simulator_->AddFault(StatusFault(0x1E, 0xFD));
    Connect();
    EXPECT_EQ(model_.StartPulse(0), -1);
    EXPECT_THAT(Received(), ElementsAre(PulseTrain(0, 100, 900, 0)));
}

}  // namespace
