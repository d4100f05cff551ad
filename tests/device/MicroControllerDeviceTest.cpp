#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>
#include <vector>

#include "device/ModelOnDriverFixture.h"
#include "support/FaultRules.h"
#include "support/LedInfo.h"

namespace {

using testing::ElementsAre;
using testing::IsEmpty;

Bytes Intensity(std::uint8_t deviceLedId, std::uint8_t carried) {
    return CommandPacket({0x0B, deviceLedId, carried});
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
    return CommandPacket(payload);
}

using MicroControllerOnDevice = ModelOnDriverFixture;

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
    EXPECT_THAT(log_.Errors(), IsEmpty());
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
    driver_->AddFault(StatusFault(0x0B, 0xFF, 2));
    Connect();
    EXPECT_EQ(model_.SendAllIntensities(), -1);
    EXPECT_THAT(Received(), ElementsAre(Intensity(0, 0xE5), Intensity(2, 0xE5)));
}

TEST_F(MicroControllerOnDevice, RefusedIntensityStaysStored) {
    driver_->AddFault(StatusFault(0x0B, 0xFD));
    Connect();
    EXPECT_EQ(model_.SetIntensity(100, L"Blue"), -1);
    EXPECT_EQ(LedInfo(model_, 0).intensity, 100);
    EXPECT_THAT(Received(), ElementsAre(Intensity(0, 155)));
    EXPECT_THAT(log_.Errors(), testing::SizeIs(1));
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
    EXPECT_EQ(driver_->State().OutputMask(), 0x0080);
    EXPECT_THAT(log_.Errors(), IsEmpty());
}

TEST_F(MicroControllerOnDevice, RefusedMaskIsNotStored) {
    Connect();
    ASSERT_EQ(model_.TurnLEDOn(0), 0);
    driver_->AddFault(StatusFault(0x0A, 0xFF));
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
    EXPECT_THAT(Received(), ElementsAre(CommandPacket(payload)));
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
    driver_->AddFault(StatusFault(0x1E, 0xFF));
    EXPECT_EQ(model_.StopPulse(0), -1);
    EXPECT_EQ(model_.GetOutputMask(), 0x0081);
    EXPECT_THAT(Received(), ElementsAre(Outputs(0x0081), PulseTrain(0, 0, 0, 0)));
}

TEST_F(MicroControllerOnDevice, RefusedMaskAfterStoppingTheTrainKeepsTheMask) {
    Connect();
    ASSERT_EQ(model_.TurnLEDOn(0), 0);
    driver_->AddFault(StatusFault(0x0A, 0xFF));
    EXPECT_EQ(model_.StopPulse(0), -1);
    EXPECT_EQ(model_.GetOutputMask(), 0x0081);
    EXPECT_THAT(Received(), ElementsAre(Outputs(0x0081), PulseTrain(0, 0, 0, 0), Outputs(0x0080)));
}

TEST_F(MicroControllerOnDevice, RefusedStartOfTheTrainFails) {
    driver_->AddFault(StatusFault(0x1E, 0xFD));
    Connect();
    EXPECT_EQ(model_.StartPulse(0), -1);
    EXPECT_THAT(Received(), ElementsAre(PulseTrain(0, 100, 900, 0)));
}

}  // namespace
