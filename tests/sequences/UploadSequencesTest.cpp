#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "device/MicroController.h"
#include "foundation/LogFile.h"
#include "foundation/TextConversion.h"
#include "sequences/SequenceContainer.h"
#include "support/FileBytes.h"
#include "support/RecordingNotifier.h"
#include "support/TempDir.h"
#include "zavik-sim/ZavikSimulator.h"

namespace {

using testing::ElementsAre;
using testing::IsEmpty;

constexpr int kPortNumber = 52;
constexpr std::uint8_t kBeginSequenceUpload = 0x15;
const LocalTime kUploadTime{2024, 3, 7, 9, 5, 0, 0};
const char kSnapshotName[] = "TrivaneSettings_2024-03-07_09-05-00.cfg";

// Sequences 0 and 3 on a model of one LED, linked to an emulated driver in a private port
// directory; snapshots go into a directory of their own.
class UploadSequencesTest : public testing::Test {
  protected:
    void SetUp() override {
        setenv("OSTRA_PORT_DIR", dir_.Path().c_str(), 1);
        SimulatorConfig config;
        config.portNumber = kPortNumber;
        config.portDirectory = dir_.Path();
        simulator_ = std::make_unique<ZavikSimulator>(config);
        ASSERT_EQ(simulator_->Start(), 0);

        std::filesystem::create_directory(SnapshotDirectory());
        ASSERT_EQ(log_.SetLogFilename(dir_.File("upload.txt")), 0);
        log_.SetMessageReceiver(&receiver_);
        device_.SetPortNumber(kPortNumber);
        ASSERT_EQ(device_.AddLED(L"Blue", 0.0), 0);

        container_.SetLogFile(&log_);
        container_.SetMicroController(&device_);
        container_.SetColorLabels({L"Blue"});
        container_.SetSettingsDirectory(NarrowToWide(SnapshotDirectory().string()));
        container_.SetClock([] { return kUploadTime; });
        // Defined out of order: the upload goes by number.
        Define(3, L"Three", {L"-Off Blue", L"-Duration 10"});
        Define(0, L"Zero", {L"-On Blue"});
    }

    void TearDown() override {
        device_.GetConnection().Disconnect();
        simulator_->Stop();
        unsetenv("OSTRA_PORT_DIR");
    }

    void Define(std::uint32_t number, const std::wstring& name,
                const std::vector<std::wstring>& commands) {
        ASSERT_EQ(container_.AddSequence(number, name), 0);
        ASSERT_EQ(container_.AddCommandSet(number, 0), 0);
        for (const std::wstring& command : commands) {
            ASSERT_EQ(container_.AddCommand(number, 0, command), 0);
        }
    }

    void Connect() {
        ASSERT_EQ(device_.GetConnection().Connect(kPortNumber), 0);
        receiver_.messages.clear();
    }

    std::filesystem::path SnapshotDirectory() const { return dir_.Path() / "run"; }

    std::vector<std::string> Snapshots() const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(SnapshotDirectory())) {
            names.push_back(entry.path().filename().string());
        }
        return names;
    }

    // The sequence numbers of the BeginSequenceUpload packets, in the order received.
    std::vector<int> BegunUploads() const {
        std::vector<int> numbers;
        for (const PacketRecord& record : simulator_->Packets()) {
            const std::vector<std::uint8_t>& bytes = record.received;
            if (bytes.size() > 5 && bytes[4] == kBeginSequenceUpload) {
                numbers.push_back(bytes[5]);
            }
        }
        return numbers;
    }

    std::vector<int> SequencesOnDevice() const {
        std::vector<int> numbers;
        const DeviceState state = simulator_->State();
        for (const auto& [number, records] : state.Sequences()) {
            numbers.push_back(number);
        }
        return numbers;
    }

    TempDir dir_;
    LogFile log_;
    RecordingReceiver receiver_;
    MicroController device_{&log_};
    SequenceContainer container_;
    std::unique_ptr<ZavikSimulator> simulator_;
};

TEST_F(UploadSequencesTest, UploadsEverySequenceInOrderThenWritesTheSnapshot) {
    Connect();
    EXPECT_EQ(container_.UploadSequences(), 0);

    EXPECT_THAT(BegunUploads(), ElementsAre(0, 3));
    EXPECT_THAT(SequencesOnDevice(), ElementsAre(0, 3));
    EXPECT_THAT(Snapshots(), ElementsAre(kSnapshotName));
    EXPECT_EQ(ReadFileBytes(SnapshotDirectory() / kSnapshotName),
              "#Micro Controller Settings\r\n"
              "-SetMicroControllerPortNumber 52\r\n"
              "\r\n"
              "-SetIntensity \"Blue\" 26\r\n"
              "-SetLEDPulse \"Blue\" 10 90 0\r\n"
              "\r\n"
              "\r\n"
              "#Sequence Container Settings\r\n"
              "-AddSequence 0 \"Zero\"\r\n"
              "-AddSequence 3 \"Three\"\r\n"
              "\r\n"
              "#Sequence 0 commands.\r\n"
              "-AddSequenceCommandSet 0 0\r\n"
              "-AddSequenceCommand 0 0 \"-On Blue\"\r\n"
              "\r\n"
              "#Sequence 3 commands.\r\n"
              "-AddSequenceCommandSet 3 0\r\n"
              "-AddSequenceCommand 3 0 \"-Off Blue\"\r\n"
              "-AddSequenceCommand 3 0 \"-Duration 10\"\r\n"
              "\r\n"
              "\r\n");
}

// The first refusal ends the upload: the sequences before it stay on the device, none after
// it is sent, and no snapshot claims a state the device does not have.
TEST_F(UploadSequencesTest, FirstFailureStopsTheUploadWithoutSnapshot) {
    Define(7, L"Seven", {L"-On Blue"});
    FaultRule refuseSecond;
    refuseSecond.kind = FaultKind::Status;
    refuseSecond.status = 0xFB;
    refuseSecond.commandId = kBeginSequenceUpload;
    refuseSecond.occurrence = 2;
    simulator_->AddFault(refuseSecond);
    Connect();

    EXPECT_EQ(container_.UploadSequences(), -1);

    EXPECT_THAT(BegunUploads(), ElementsAre(0, 3));
    EXPECT_THAT(SequencesOnDevice(), ElementsAre(0));
    EXPECT_THAT(Snapshots(), IsEmpty());
}

TEST_F(UploadSequencesTest, DisconnectedDeviceGetsNothingAndNoSnapshotIsWritten) {
    EXPECT_EQ(container_.UploadSequences(), -1);
    EXPECT_THAT(simulator_->Packets(), IsEmpty());
    EXPECT_THAT(Snapshots(), IsEmpty());
}

}  // namespace
