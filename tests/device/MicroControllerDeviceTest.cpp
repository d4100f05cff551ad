#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "device/ModelOnDriverFixture.h"
#include "foundation/TextConversion.h"
#include "support/FaultRules.h"

namespace {

using testing::ElementsAre, testing::ElementsAreArray, testing::HasSubstr, testing::IsEmpty;
using MicroControllerOnDevice = ModelOnDriverFixture;

// The intensity travels inverted (255 - value), addressed by device ID.
Bytes Intensity(std::uint8_t deviceLedId, std::uint8_t carried) {
    return CommandPacket({0x0B, deviceLedId, carried});
}

// Widths in little-endian tenths of a millisecond, eight bytes each, then four of loop count.
Bytes PulseTrain(std::uint8_t id, const std::string& onOffLoops) {
    return CommandPacket(HexBytes("1E " + ToHex(Bytes{id}) + " " + onOffLoops));
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

// The mask keeps bit 7 and only what the device accepted. Stopping a pulse sends the zero train,
// then clears the output; a refused train sends no mask.
TEST_F(MicroControllerOnDevice, OutputMaskKeepsBitSevenAndOnlyWhatTheDeviceAccepted) {
    Connect();
    ASSERT_EQ(model_.TurnLEDOn(1), 0);
    ASSERT_EQ(model_.TurnLEDOn(2), 0);
    ASSERT_EQ(model_.TurnLEDOff(1), 0);
    ASSERT_EQ(model_.StopPulse(2), 0);
    ASSERT_EQ(model_.TurnLEDOn(0), 0);
    EXPECT_EQ(driver_->State().OutputMask(), 0x0081);
    driver_->AddFault(StatusFault(0x1E, 0xFF));
    EXPECT_EQ(model_.StopPulse(0), -1);
    driver_->AddFault(StatusFault(0x0A, 0xFF));
    EXPECT_EQ(model_.TurnLEDOn(2), -1);
    EXPECT_EQ(model_.TurnLEDOff(0), -1);
    EXPECT_EQ(model_.GetOutputMask(), 0x0081);
    EXPECT_THAT(Received(),
                ElementsAre(Outputs(0x0084), Outputs(0x0086), Outputs(0x0082),
                            PulseTrain(1, kZeroTrain), Outputs(0x0080), Outputs(0x0081),
                            PulseTrain(0, kZeroTrain), Outputs(0x0083), Outputs(0x0080)));
}

// Every packet of the upload of "-Off Blue -Duration 10" as sequence 3, in order: begin, the
// command count (little-endian), each script command with its index, end.
const std::vector<std::string> kOffBlueUpload = {
    "15 03",
    "16 03 03 00 00 00",
    "17 03 00 00 00 00 01 00 00 01 00 00 00 00 00 00",
    "17 03 01 00 00 00 00 63 00 00 00 00 00 00 00 00",
    "17 03 02 00 00 00 FF 00 00 00 00 00 00 00 00 00",
    "18 03",
};

std::vector<Bytes> Packets(std::size_t count) {
    std::vector<Bytes> packets;
    for (std::size_t i = 0; i < count; ++i)
        packets.push_back(CommandPacket(HexBytes(kOffBlueUpload[i])));
    return packets;
}

using SequenceOnDevice = ModelOnDriverFixture;

TEST_F(SequenceOnDevice, UploadSendsEveryScriptCommandInOrder) {
    Connect();
    EXPECT_EQ(model_.UploadSequence(3, {{L"-Off Blue", L"-Duration 10"}}), 0);
    EXPECT_THAT(Received(), ElementsAreArray(Packets(6)));
    EXPECT_EQ(log_.Without(LogLevel::Data),
              (Messages{{LogLevel::Notice, L"Converting sequence(3) commands to script commands."},
                        {LogLevel::Notice, L"Uploading sequence(3) commands."},
                        {LogLevel::Notice, L"Sequence 3 commands uploaded successfully."}}));
    EXPECT_EQ(driver_->State().Sequences().at(3).size(), 3u);
    MarkSent();
    EXPECT_EQ(model_.StartSequence(3), 0);
    EXPECT_EQ(model_.StartSequence(9), -1);
    EXPECT_THAT(Received(), ElementsAre(CommandPacket({0x14, 0x03}), CommandPacket({0x14, 0x09})));
    EXPECT_EQ(driver_->State().RunningSequence(), std::optional<std::uint8_t>(3));
}

// The upload stops at the first failure without the success line: a conversion error after the
// begin, a refused begin before converting, a refusal of any later command. A stop asked by the
// progress is honoured at the next transaction, the command count's too, as a Warning.
TEST_F(SequenceOnDevice, UploadStopsAtTheFirstFailureOrAskedStop) {
    constexpr std::uint32_t kNever = 99;
    const struct {
        std::uint8_t refusedId;  // 0: none
        unsigned occurrence;
        std::uint32_t stopAt;  // the progress asks to stop once this many commands are sent
        std::wstring command;
        std::size_t packetsSent;
        std::string lastMessage;
    } cases[] = {
        {0, 0, kNever, L"-Blink Blue", 1, "The command(-Blink Blue) was invalid."},
        {0x15, 0, kNever, L"-Blink Blue", 1, "(Sequence Already Exists)"},
        {0x16, 0, kNever, L"-Off Blue", 2, "(22) failed to execute(Invalid Parameter)"},
        {0x17, 1, kNever, L"-Off Blue", 3, "(23) failed to execute(Invalid Parameter)"},
        {0x18, 0, kNever, L"-Off Blue", 6, "(24) failed to execute(Invalid Parameter)"},
        {0, 0, 0, L"-Off Blue", 2, "cancelled after 0 of 3 script commands;"},
        {0, 0, 2, L"-Off Blue", 4,
         "The upload of sequence 3 was cancelled after 2 of 3 script commands; the device's copy "
         "is out of date."},
    };
    Connect();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.lastMessage);
        driver_->ClearFaults();
        if (c.refusedId != 0)
            driver_->AddFault(
                StatusFault(c.refusedId, c.refusedId == 0x15 ? 0xFB : 0xFD, c.occurrence));
        MarkSent();
        const auto progress = [&c](std::uint32_t sent, std::uint32_t) { return sent < c.stopAt; };
        EXPECT_EQ(model_.UploadSequence(3, {{c.command, L"-Duration 10"}}, progress), -1);
        EXPECT_THAT(Received(), ElementsAreArray(Packets(c.packetsSent)));
        const auto messages = log_.Without(LogLevel::Data);
        ASSERT_FALSE(messages.empty());
        EXPECT_EQ(messages.back().first, c.stopAt == kNever ? LogLevel::Error : LogLevel::Warning);
        EXPECT_THAT(WideToNarrow(messages.back().second), HasSubstr(c.lastMessage));
        EXPECT_EQ(driver_->State().Sequences().count(3), 0u);
    }
}

// Stopping switches every LED off in table order (Blue, Green, Red: device IDs 0, 2, 1) and
// ends at the first refusal, keeping what was accepted; a refused stop sends nothing more.
TEST_F(SequenceOnDevice, StopSwitchesEachLEDOffInTableOrderUntilARefusal) {
    Connect();
    for (int index = 0; index < 3; ++index)
        ASSERT_EQ(model_.TurnLEDOn(index), 0);
    MarkSent();
    driver_->AddFault(StatusFault(0x0A, 0xFF, 2));
    EXPECT_EQ(model_.StopSequenceExecution(), -1);
    EXPECT_EQ(model_.GetOutputMask(), 0x0086);
    driver_->ClearFaults();
    EXPECT_EQ(model_.StopSequenceExecution(), 0);
    EXPECT_EQ(model_.GetOutputMask(), 0x0080);
    driver_->AddFault(StatusFault(0x19, 0xFF));
    EXPECT_EQ(model_.StopSequenceExecution(), -1);
    EXPECT_THAT(Received(), ElementsAre(CommandPacket({0x19}), Outputs(0x0086), Outputs(0x0082),
                                        CommandPacket({0x19}), Outputs(0x0086), Outputs(0x0082),
                                        Outputs(0x0080), CommandPacket({0x19})));
}

}  // namespace
