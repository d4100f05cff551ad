#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <string>
#include <tuple>
#include <vector>

#include "app/SequenceFiles.h"
#include "app/SequenceUpload.h"
#include "app/UploadState.h"
#include "device/MicroController.h"
#include "foundation/TextConversion.h"
#include "sequences/ContainerFixture.h"
#include "sequences/SequenceContainer.h"
#include "support/DirectoryEntries.h"
#include "support/EmulatedDriver.h"
#include "support/FaultRules.h"
#include "support/FileBytes.h"

namespace {

using testing::ElementsAre, testing::IsEmpty;

constexpr int kPortNumber = 52;
constexpr std::uint8_t kBeginSequenceUpload = 0x15;
const char kSnapshotName[] = "TrivaneSettings_2024-03-07_09-05-00.cfg";

// Sequences 0 and 3 on a model of one LED, linked to an emulated driver in a private port
// directory; snapshots go into a directory of their own.
class UploadSequencesTest : public ContainerFixture {
  protected:
    void SetUp() override {
        ASSERT_EQ(driver_.Start(), 0);
        std::filesystem::create_directory(SnapshotDirectory());
        device_.SetPortNumber(kPortNumber);
        ASSERT_EQ(device_.AddLED(L"Blue", 0.0), 0);

        container.SetColorLabels({L"Blue"});
        // Defined out of order: the upload goes by number.
        Define(3, L"Three", {{L"-Off Blue", L"-Duration 10"}});
        Define(0, L"Zero", {{L"-On Blue"}});
    }

    void Connect() {
        ASSERT_EQ(device_.GetConnection().Connect(kPortNumber), 0);
        log.messages.clear();
    }

    std::filesystem::path SnapshotDirectory() const { return dir.Path() / "run"; }

    SequenceUpload::Result Upload(const SequenceUpload::ProgressCallback& progress = nullptr,
                                  const std::atomic<bool>* cancel = nullptr) {
        SequenceUpload upload(device_, container, &log);
        return upload.Upload(NarrowToWide((SnapshotDirectory() / kSnapshotName).string()), progress,
                             cancel);
    }

    // The sequence numbers of the BeginSequenceUpload packets, in the order received.
    std::vector<int> BegunUploads() const {
        std::vector<int> numbers;
        for (const Bytes& bytes : driver_.Received())
            if (bytes.size() > 5 && bytes[4] == kBeginSequenceUpload)
                numbers.push_back(bytes[5]);
        return numbers;
    }

    std::vector<int> SequencesOnDevice() const {
        std::vector<int> numbers;
        const DeviceState state = driver_->State();
        for (const auto& [number, records] : state.Sequences())
            numbers.push_back(number);
        return numbers;
    }

    EmulatedDriver driver_{dir.Path(), kPortNumber};
    // Destroyed first: the port closes before the emulator goes.
    MicroController device_{&log};
};

TEST_F(UploadSequencesTest, UploadsEverySequenceInOrderThenWritesTheSnapshot) {
    Connect();
    std::vector<std::string> steps;
    const SequenceUpload::Result result = Upload([&](const SequenceUpload::Progress& step) {
        steps.push_back(
            std::to_string(step.sequenceIndex) + "/" + std::to_string(step.sequenceCount) + " #" +
            std::to_string(step.sequenceNumber) + " " + std::to_string(step.commandsSent) + "/" +
            std::to_string(step.commandCount));
    });
    ASSERT_TRUE(result.status.Ok());
    EXPECT_THAT(steps, ElementsAre("1/2 #0 0/2", "1/2 #0 1/2", "1/2 #0 2/2", "2/2 #3 0/3",
                                   "2/2 #3 1/3", "2/2 #3 2/3", "2/2 #3 3/3"));
    EXPECT_EQ(result.snapshotPath, NarrowToWide((SnapshotDirectory() / kSnapshotName).string()));

    EXPECT_THAT(BegunUploads(), ElementsAre(0, 3));
    EXPECT_THAT(SequencesOnDevice(), ElementsAre(0, 3));
    EXPECT_THAT(DirectoryEntries(SnapshotDirectory()), ElementsAre(kSnapshotName));
    // The settings as the device and sequence sections write them, pinned with each.
    EXPECT_EQ(
        ReadFileBytes(SnapshotDirectory() / kSnapshotName),
        WideToNarrow(device_.GetSettingsSection() + SequenceFiles::SettingsSection(container)));
}

// A refusal by the device, or a cancel (honoured between two transactions), ends the upload:
// the sequences before it stay on the device, none after it is sent, and no snapshot claims a
// state the device does not have. A cancel warns that the device's copy is out of date.
TEST_F(UploadSequencesTest, FailureOrCancelStopsTheUploadWithoutSnapshot) {
    Define(7, L"Seven", {{L"-On Blue"}});
    for (const bool cancelled : {false, true}) {
        driver_->ClearFaults();
        if (!cancelled)
            driver_->AddFault(StatusFault(kBeginSequenceUpload, 0xFB, 2));
        Connect();
        driver_.MarkHandled();
        std::atomic<bool> cancel{false};
        const SequenceUpload::Result result = Upload(
            [&](const SequenceUpload::Progress& step) {
                cancel = cancelled && step.sequenceNumber == 3 && step.commandsSent == 1;
            },
            &cancel);
        EXPECT_FALSE(result.status.Ok());
        EXPECT_EQ(result.cancelled, cancelled);
        EXPECT_THAT(BegunUploads(), ElementsAre(0, 3));
        EXPECT_THAT(SequencesOnDevice(), ElementsAre(0));
        EXPECT_THAT(DirectoryEntries(SnapshotDirectory()), IsEmpty());
        EXPECT_EQ(log.messages.back().first, cancelled ? LogLevel::Warning : LogLevel::Error);
        EXPECT_EQ(log.messages.back().second.find(L"out of date") != std::wstring::npos, cancelled);
        device_.GetConnection().Disconnect();
    }
}

// Nothing goes to a disconnected device, and a sequence that cannot be converted stops the
// upload before anything is sent.
TEST_F(UploadSequencesTest, NothingIsSentDisconnectedOrForAnUnconvertibleSequence) {
    EXPECT_FALSE(Upload().status.Ok());
    EXPECT_THAT(driver_.Received(), IsEmpty());
    Define(9, L"Nine", {{L"-EndLoop"}});
    Connect();
    const std::size_t packetsBefore = driver_.Received().size();
    const SequenceUpload::Result result = Upload();
    EXPECT_FALSE(result.status.Ok());
    EXPECT_NE(result.status.Message().find(L"Sequence 9 (Nine) cannot be converted"),
              std::wstring::npos);
    EXPECT_EQ(driver_.Received().size(), packetsBefore);
    EXPECT_THAT(DirectoryEntries(SnapshotDirectory()), IsEmpty());
}

// The latest step is shown from Begin to Finish; a step is reported when it ends a sequence or
// once 40 ms passed since the last report.
TEST(UploadStateTest, ShowsTheLatestStepAndReportsAFewTimesASecond) {
    using std::chrono::milliseconds;
    // At ms: sequence, commands sent of count, reported.
    const std::tuple<int, std::size_t, std::size_t, std::size_t, bool> steps[] = {
        {0, 1, 0, 3, true},   {10, 1, 1, 3, false}, {50, 1, 2, 3, true},  {60, 1, 3, 3, true},
        {61, 2, 0, 2, false}, {99, 2, 1, 2, false}, {100, 2, 1, 2, true}, {101, 2, 2, 2, true}};
    UploadState state(milliseconds(40));
    state.Begin();
    const UploadState::Clock::time_point start = UploadState::Clock::now();
    for (const auto& [atMs, sequence, sent, count, reported] : steps) {
        SCOPED_TRACE(atMs);
        EXPECT_EQ(state.Record({sequence, 2, 0, sent, count}, start + milliseconds(atMs)),
                  reported);
        EXPECT_EQ(state.Current().progress.commandsSent, sent);
    }
    EXPECT_TRUE(state.Current().running);
    state.Finish();
    EXPECT_FALSE(state.Current().running);
    // A new upload starts afresh: nothing shown, its first step reported.
    state.Begin();
    EXPECT_EQ(state.Current().progress.sequenceCount, 0u);
    EXPECT_TRUE(state.Record({1, 1, 0, 0, 5}, start + milliseconds(102)));
}

}  // namespace
