#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <ostream>
#include <string>
#include <vector>

#include "CoreOnEmulator.h"
#include "app/DeviceSession.h"
#include "app/SequenceFiles.h"
#include "support/ListedPorts.h"

namespace {

using namespace std::chrono_literals;

// The first sequence has several script commands, so a fault on the second script command
// strikes in the middle of the upload.
const std::string kSettingsFile =
    "-SetMicroControllerPortNumber 6\r\n-SetIntensity \"Red\" 100\r\n-AddSequence 1 \"Flash\"\r\n"
    "-AddSequence 5 \"Marker\"\r\n-AddSequenceCommandSet 1 0\r\n"
    "-AddSequenceCommand 1 0 \"-On Red\"\r\n-AddSequenceCommand 1 0 \"-TTLHigh 4\"\r\n"
    "-AddSequenceCommandSet 1 1\r\n-AddSequenceCommand 1 1 \"-Off Red\"\r\n"
    "-AddSequenceCommandSet 5 0\r\n-AddSequenceCommand 5 0 \"-Call 1\"\r\n";

struct FaultScenario {
    std::string name;
    std::wstring rule;
    // The first error logged once the fault struck.
    std::wstring logged;
    // The device was unplugged: reconnecting means plugging in a device on the same port.
    bool unplugs = false;
};

void PrintTo(const FaultScenario& scenario, std::ostream* out) {
    *out << scenario.name;
}

class FaultScenarioTest : public CoreOnEmulator, public testing::TestWithParam<FaultScenario> {
  protected:
    FaultScenarioTest() : CoreOnEmulator(6) {}
    void SetUp() override {
        WriteSettings(kSettingsFile);
        ASSERT_NO_FATAL_FAILURE(Start(core_));
        // Short read time-outs, so a silent device costs a fraction of a second.
        core_.GetMicroController().GetConnection().Port().SetTimeouts({150ms, 300ms, 0ms});
        PlugInDriver();
    }

    void PlugInDriver() {
        ASSERT_EQ(driver_.Start(), 0);
        lister_.ports = {driver_.Listing()};
    }

    ListedPorts lister_;
};

// A fault in the middle of an upload fails it with the fault's own message and stops it at the
// faulty answer; after reconnecting the upload goes through, and no sequence or setting is lost.
TEST_P(FaultScenarioTest, UploadFailsReportsAndRecovers) {
    const FaultScenario& scenario = GetParam();
    const auto settings = [&] {
        return core_.GetMicroController().GetSettingsSection() +
               SequenceFiles::SettingsSection(core_.GetSequenceContainer());
    };
    const std::wstring settingsBefore = settings();
    DeviceSession session(core_.GetMicroController(), lister_, notifier_, &core_.GetLogFile());
    ASSERT_EQ(session.Connect(), 0);
    FaultRule rule;
    std::wstring problem;
    ASSERT_EQ(FaultRule::Parse(scenario.rule, rule, problem), 0) << WideToNarrow(problem);
    driver_->AddFault(rule);

    const std::size_t logBefore = receiver_.messages.size();
    EXPECT_FALSE(core_.UploadSequences().status.Ok());
    // The upload stopped at the second script command, the one the fault hit.
    const std::vector<PacketRecord> packets = driver_->Packets();
    ASSERT_FALSE(packets.empty());
    EXPECT_EQ(packets.back().faults.size(), 1u);
    EXPECT_EQ(std::count_if(packets.begin(), packets.end(),
                            [](const PacketRecord& p) { return p.received.at(4) == 0x17; }),
              2);
    const std::vector<std::wstring> errors = receiver_.Errors(logBefore);
    ASSERT_FALSE(errors.empty());
    EXPECT_EQ(errors.front(), scenario.logged);

    session.Disconnect();
    if (scenario.unplugs) {
        // The line drops before the emulator has finished unplugging; only then may the same
        // port be registered again.
        ASSERT_TRUE(driver_->WaitForHangup(10s));
        driver_.Unplug();
        ASSERT_NO_FATAL_FAILURE(PlugInDriver());
    } else {
        driver_->ClearFaults();
    }
    ASSERT_EQ(session.Connect(), 0);
    const std::size_t logAfterReconnect = receiver_.messages.size();
    EXPECT_TRUE(core_.UploadSequences().status.Ok());
    EXPECT_TRUE(receiver_.Errors(logAfterReconnect).empty());
    session.Disconnect();
    EXPECT_EQ(settings(), settingsBefore);
}

// The essential device faults end to end; each fault's message is pinned with the connection.
INSTANTIATE_TEST_SUITE_P(
    Faults, FaultScenarioTest,
    testing::Values(
        FaultScenario{"Silence", L"silent:0x17@2",
                      L"Error reading data from device, the timeout has expired without "
                      L"receiving any data."},
        FaultScenario{"Unplugged", L"hangup:0x17@2",
                      L"Error(5) reading data from device. Byte Count: 4.", true}),
    [](const testing::TestParamInfo<FaultScenario>& info) { return info.param.name; });

}  // namespace
