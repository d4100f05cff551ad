#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "device/ModelOnDriverFixture.h"
#include "support/FaultRules.h"

namespace {

using testing::ElementsAre;
using testing::IsEmpty;
using MicroControllerOnDevice = ModelOnDriverFixture;

// The intensity travels inverted (255 - value), addressed by device ID.
Bytes Intensity(std::uint8_t deviceLedId, std::uint8_t carried) {
    return CommandPacket({0x0B, deviceLedId, carried});
}

// Widths in little-endian tenths of a millisecond, eight bytes each, then four of loop count.
Bytes PulseTrain(std::uint8_t id, const std::string& onOffLoops) {
    Bytes payload{0x1E, id};
    const Bytes rest = HexBytes(onOffLoops);
    payload.insert(payload.end(), rest.begin(), rest.end());
    return CommandPacket(payload);
}

const std::string kDefaultTrain = "64 00 00 00 00 00 00 00 84 03 00 00 00 00 00 00 00 00 00 00";
const std::string kZeroTrain = "00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00";

TEST_F(MicroControllerOnDevice, IntensitiesGoByDeviceIdAndOnlyWhenChanged) {
    ASSERT_EQ(model_.SetIntensity(200, L"Green"), 0);
    ASSERT_EQ(model_.SetIntensity(255, L"Red"), 0);
    Connect();
    EXPECT_EQ(model_.SetIntensity(26, L"Blue"), 0);
    EXPECT_EQ(model_.SetIntensity(256, L"Blue"), -1);
    EXPECT_THAT(Received(), IsEmpty());
    EXPECT_EQ(model_.SendAllIntensities(), 0);
    EXPECT_EQ(model_.SetIntensity(0, L"red"), 0);
    EXPECT_THAT(Received(), ElementsAre(Intensity(0, 0xE5), Intensity(2, 0x37), Intensity(1, 0x00),
                                        Intensity(1, 0xFF)));

    MarkSent();
    driver_->AddFault(StatusFault(0x0B, 0xFF, 2));
    EXPECT_EQ(model_.SendAllIntensities(), -1);
    EXPECT_THAT(Received(), ElementsAre(Intensity(0, 0xE5), Intensity(2, 0x37)));
}

TEST_F(MicroControllerOnDevice, OutputMaskKeepsBitSevenAndOnlyWhatTheDeviceAccepted) {
    Connect();
    ASSERT_EQ(model_.TurnLEDOn(1), 0);
    ASSERT_EQ(model_.TurnLEDOn(2), 0);
    ASSERT_EQ(model_.TurnLEDOff(1), 0);
    EXPECT_EQ(model_.GetOutputMask(), 0x0082);
    EXPECT_EQ(driver_->State().OutputMask(), 0x0082);
    driver_->AddFault(StatusFault(0x0A, 0xFF));
    EXPECT_EQ(model_.TurnLEDOn(0), -1);
    EXPECT_EQ(model_.TurnLEDOff(2), -1);
    EXPECT_EQ(model_.GetOutputMask(), 0x0082);
    EXPECT_THAT(Received(), ElementsAre(Outputs(0x0084), Outputs(0x0086), Outputs(0x0082),
                                        Outputs(0x0083), Outputs(0x0080)));
}

TEST_F(MicroControllerOnDevice, PulseTrainCarriesWidthsInWholeTenthsOfAMillisecond) {
    ASSERT_EQ(model_.SetLEDPulse(L"Red", {1000000, 1234.567, 0.25}), 0);
    Connect();
    ASSERT_EQ(model_.StartPulse(0), 0);
    ASSERT_EQ(model_.StartPulse(2), 0);
    EXPECT_THAT(Received(),
                ElementsAre(PulseTrain(0, kDefaultTrain),
                            PulseTrain(1,
                                       "39 30 00 00 00 00 00 00 02 00 00 00 00 00 00 00 "
                                       "40 42 0F 00")));
    EXPECT_EQ(model_.GetOutputMask(), 0x0080);
}

// Stopping sends the zero train, then clears the output; a refused train sends no mask.
TEST_F(MicroControllerOnDevice, StopPulseSendsTheZeroTrainThenClearsTheOutput) {
    Connect();
    ASSERT_EQ(model_.TurnLEDOn(0), 0);
    ASSERT_EQ(model_.TurnLEDOn(2), 0);
    ASSERT_EQ(model_.StopPulse(2), 0);
    EXPECT_EQ(model_.GetOutputMask(), 0x0081);
    driver_->AddFault(StatusFault(0x1E, 0xFF));
    EXPECT_EQ(model_.StopPulse(0), -1);
    EXPECT_EQ(model_.GetOutputMask(), 0x0081);
    EXPECT_THAT(Received(), ElementsAre(Outputs(0x0081), Outputs(0x0083), PulseTrain(1, kZeroTrain),
                                        Outputs(0x0081), PulseTrain(0, kZeroTrain)));
}

}  // namespace
