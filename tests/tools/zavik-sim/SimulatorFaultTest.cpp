#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "foundation/TextConversion.h"
#include "tools/zavik-sim/SimulatorFixture.h"
#include "zavik-sim/ZavikSimulator.h"

namespace {

namespace fs = std::filesystem;

FaultRule Parsed(const std::wstring& text) {
    FaultRule rule;
    std::wstring problem;
    EXPECT_EQ(FaultRule::Parse(text, rule, problem), 0) << problem;
    return rule;
}

using SimulatorFaultTest = SimulatorFixture;

// The faulty answer is exactly the promised bytes: the next command's answer follows them
// directly, so nothing more was sent.
TEST_F(SimulatorFaultTest, SendsExactlyThePromisedBytes) {
    const std::pair<std::wstring, std::string> rows[] = {
        {L"status=0xFA:0x0B", "02 02 02 00 0B FA 03 F0"},
        {L"silent:0x0B", ""},
        {L"half:0x0B", "02 02 02 00"},
    };
    for (const auto& [rule, sent] : rows) {
        SimulatorConfig config = Config();
        config.faults.push_back(Parsed(rule));
        StartWith(config);
        ASSERT_TRUE(client_->Write(kIntensityCommand));
        EXPECT_EQ(ToHex(client_->Read(HexBytes(sent).size())), sent);
        ASSERT_TRUE(simulator_->WaitForPackets(1, kPatience));
        EXPECT_EQ(ToHex(client_->Exchange(kFirmwareQuery)), ToHex(kFirmwareAnswer));
    }
}

TEST_F(SimulatorFaultTest, RefusedCommandIsNotCarriedOutButALostAnswerIs) {
    Start();
    simulator_->AddFault(Parsed(L"status=0xFF:0x0B@1"));
    simulator_->AddFault(Parsed(L"silent:0x0A"));
    client_->Exchange(kIntensityCommand);
    ASSERT_TRUE(client_->Write(HexBytes("02 01 03 00 0A 85 00 03 8C")));
    ASSERT_TRUE(simulator_->WaitForPackets(2, kPatience));
    const DeviceState state = simulator_->State();
    EXPECT_EQ(state.CarriedIntensity(2), std::nullopt);
    EXPECT_EQ(state.OutputMask(), 0x0085);
}

// Paced answers keep their bytes; cleared faults no longer hit.
TEST_F(SimulatorFaultTest, PacedAnswerAfterClearedFaults) {
    SimulatorConfig config = Config();
    config.pace = true;
    config.faults.push_back(Parsed(L"half"));
    StartWith(config);
    simulator_->ClearFaults();
    EXPECT_EQ(ToHex(client_->Exchange(kFirmwareQuery)), ToHex(kFirmwareAnswer));
}

TEST_F(SimulatorFaultTest, HangupUnplugsTheDevice) {
    Start();
    simulator_->AddFault(Parsed(L"hangup:0x0B"));
    EXPECT_EQ(ToHex(client_->Exchange(kFirmwareQuery)), ToHex(kFirmwareAnswer));
    ASSERT_TRUE(client_->Write(kIntensityCommand));

    ASSERT_TRUE(simulator_->WaitForHangup(kPatience));
    EXPECT_TRUE(client_->SeesHangup());
    EXPECT_FALSE(fs::exists(fs::symlink_status(simulator_->RegisteredPath())));
    const std::wstring line = simulator_->Packets().at(1).ToLine();
    EXPECT_TRUE(line.ends_with(L"; tx none; faults hangup")) << WideToNarrow(line);
    EXPECT_EQ(simulator_->State().CarriedIntensity(2), std::optional<std::uint8_t>(0x37));
}

}  // namespace
