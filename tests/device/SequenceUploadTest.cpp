#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "device/ModelOnDriverFixture.h"
#include "support/FaultRules.h"

namespace {

using testing::ElementsAre;
using testing::ElementsAreArray;
using testing::IsEmpty;
using CommandSets = std::vector<std::vector<std::wstring>>;

Bytes LittleEndian32(std::uint32_t value) {
    return {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
            static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 24)};
}

Bytes BeginUpload(std::uint8_t number) {
    return CommandPacket({0x15, number});
}

Bytes CommandCount(std::uint8_t number, std::uint32_t count) {
    Bytes payload{0x16, number};
    const Bytes countBytes = LittleEndian32(count);
    payload.insert(payload.end(), countBytes.begin(), countBytes.end());
    return CommandPacket(payload);
}

Bytes ScriptCommandPacket(std::uint8_t number, std::uint32_t index, const Bytes& script) {
    Bytes payload{0x17, number};
    const Bytes indexBytes = LittleEndian32(index);
    payload.insert(payload.end(), indexBytes.begin(), indexBytes.end());
    payload.insert(payload.end(), script.begin(), script.end());
    return CommandPacket(payload);
}

Bytes EndUpload(std::uint8_t number) {
    return CommandPacket({0x18, number});
}

// The three script commands of one set holding -Off Blue and -Duration 10.
const Bytes kOffBlue{0x01, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};
const Bytes kWait99{0x00, 0x63, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};
const Bytes kEndOfSequence{0xFF, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};
const CommandSets kOffBlueForTenMs{{L"-Off Blue", L"-Duration 10"}};

// Every packet of the upload of kOffBlueForTenMs as sequence 3, in order.
std::vector<Bytes> OffBlueUpload() {
    return {BeginUpload(3),
            CommandCount(3, 3),
            ScriptCommandPacket(3, 0, kOffBlue),
            ScriptCommandPacket(3, 1, kWait99),
            ScriptCommandPacket(3, 2, kEndOfSequence),
            EndUpload(3)};
}

const std::wstring kDisconnected =
    L"Error, unable to execute command, the application is currently disconnected from the "
    L"micro controller.";

std::wstring Refused(int commandId, const std::wstring& statusText) {
    return L"Error validating data section of response packet.  The command (" +
           std::to_wstring(commandId) + L") failed to execute(" + statusText + L").";
}

class SequenceOnDevice : public ModelOnDriverFixture {
  protected:
    // Every message but the link's Data lines of each packet.
    std::vector<RecordingReceiver::Message> Messages() const {
        return log_.Without(LogLevel::Data);
    }
};

std::pair<LogLevel, std::wstring> Notice(const std::wstring& text) {
    return {LogLevel::Notice, text};
}

std::pair<LogLevel, std::wstring> Error(const std::wstring& text) {
    return {LogLevel::Error, text};
}

const auto kConverting = Notice(L"Converting sequence(3) commands to script commands.");
const auto kUploading = Notice(L"Uploading sequence(3) commands.");
const auto kUploaded = Notice(L"Sequence 3 commands uploaded successfully.");

TEST_F(SequenceOnDevice, UploadSendsEveryScriptCommandInOrder) {
    Connect();
    EXPECT_EQ(model_.UploadSequence(3, kOffBlueForTenMs), 0);
    EXPECT_THAT(Received(), ElementsAreArray(OffBlueUpload()));
    EXPECT_THAT(Messages(), ElementsAre(kConverting, kUploading, kUploaded));
    const DeviceState state = driver_->State();
    ASSERT_EQ(state.Sequences().count(3), 1u);
    EXPECT_THAT(state.Sequences().at(3),
                ElementsAre(ElementsAreArray(kOffBlue), ElementsAreArray(kWait99),
                            ElementsAreArray(kEndOfSequence)));
}

TEST_F(SequenceOnDevice, EmptySequenceUploadsItsEndMarker) {
    Connect();
    EXPECT_EQ(model_.UploadSequence(254, {}), 0);
    EXPECT_THAT(Received(),
                ElementsAre(BeginUpload(254), CommandCount(254, 1),
                            ScriptCommandPacket(254, 0, kEndOfSequence), EndUpload(254)));
    EXPECT_THAT(Messages(),
                ElementsAre(Notice(L"Converting sequence(254) commands to script commands."),
                            Notice(L"Uploading sequence(254) commands."),
                            Notice(L"Sequence 254 commands uploaded successfully.")));
}

TEST_F(SequenceOnDevice, ConversionFailureSendsOnlyTheBegin) {
    Connect();
    EXPECT_EQ(model_.UploadSequence(3, {{L"-Off Blue"}, {L"-Call 2", L"-Off Blue"}}), -1);
    EXPECT_THAT(Received(), ElementsAre(BeginUpload(3)));
    EXPECT_THAT(Messages(),
                ElementsAre(kConverting,
                            Error(L"Error updating Op Code for -Off command, it conflicts with "
                                  L"the current op code(5).")));
}

TEST_F(SequenceOnDevice, RefusedBeginEndsTheUploadBeforeConverting) {
    driver_->AddFault(StatusFault(0x15, 0xFB));
    Connect();
    // Would log a conversion error if it were converted.
    EXPECT_EQ(model_.UploadSequence(3, {{L"-Blink Blue"}}), -1);
    EXPECT_THAT(Received(), ElementsAre(BeginUpload(3)));
    EXPECT_THAT(Messages(), ElementsAre(Error(Refused(0x15, L"Sequence Already Exists"))));
}

// A refusal of any later command stops the upload right there, without the success line.
struct RefusalCase {
    const char* name;
    std::uint8_t commandId;
    unsigned occurrence;
    std::size_t packetsSent;
};

void PrintTo(const RefusalCase& c, std::ostream* os) {
    *os << c.name;
}

class UploadRefused : public SequenceOnDevice, public testing::WithParamInterface<RefusalCase> {};

TEST_P(UploadRefused, StopsAtTheRefusedCommand) {
    driver_->AddFault(StatusFault(GetParam().commandId, 0xFD, GetParam().occurrence));
    Connect();
    EXPECT_EQ(model_.UploadSequence(3, kOffBlueForTenMs), -1);
    const std::vector<Bytes> all = OffBlueUpload();
    EXPECT_THAT(Received(), ElementsAreArray(
                                all.begin(),
                                all.begin() + static_cast<std::ptrdiff_t>(GetParam().packetsSent)));
    EXPECT_THAT(Messages(),
                ElementsAre(kConverting, kUploading,
                            Error(Refused(GetParam().commandId, L"Invalid Parameter"))));
    EXPECT_EQ(driver_->State().Sequences().count(3), 0u);
}

INSTANTIATE_TEST_SUITE_P(Cases, UploadRefused,
                         testing::Values(RefusalCase{"CommandCount", 0x16, 0, 2},
                                         RefusalCase{"FirstScriptCommand", 0x17, 1, 3},
                                         RefusalCase{"SecondScriptCommand", 0x17, 2, 4},
                                         RefusalCase{"EndOfSequenceCommand", 0x17, 3, 5},
                                         RefusalCase{"EndUpload", 0x18, 0, 6}),
                         [](const testing::TestParamInfo<RefusalCase>& info) {
                             return std::string(info.param.name);
                         });

TEST_F(SequenceOnDevice, UploadCutOffIsRepeatedFromTheBeginning) {
    driver_->AddFault(StatusFault(0x17, 0xFF, 2));
    Connect();
    ASSERT_EQ(model_.UploadSequence(3, kOffBlueForTenMs), -1);
    MarkSent();
    EXPECT_EQ(model_.UploadSequence(3, kOffBlueForTenMs), 0);
    EXPECT_THAT(Received(), ElementsAreArray(OffBlueUpload()));
    EXPECT_EQ(driver_->State().Sequences().count(3), 1u);
}

TEST_F(SequenceOnDevice, UploadWhileDisconnectedFailsOnItsFirstCommand) {
    MarkSent();
    EXPECT_EQ(model_.UploadSequence(3, kOffBlueForTenMs), -1);
    EXPECT_THAT(Received(), IsEmpty());
    EXPECT_THAT(Messages(), ElementsAre(Error(kDisconnected)));
}

TEST_F(SequenceOnDevice, StartSendsTheSequenceNumber) {
    Connect();
    ASSERT_EQ(model_.UploadSequence(3, kOffBlueForTenMs), 0);
    MarkSent();
    EXPECT_EQ(model_.StartSequence(3), 0);
    EXPECT_THAT(Received(), ElementsAre(CommandPacket({0x14, 0x03})));
    EXPECT_EQ(driver_->State().RunningSequence(), std::optional<std::uint8_t>(3));
}

TEST_F(SequenceOnDevice, StartOfAnUnknownSequenceFails) {
    Connect();
    EXPECT_EQ(model_.StartSequence(9), -1);
    EXPECT_THAT(Received(), ElementsAre(CommandPacket({0x14, 0x09})));
    EXPECT_THAT(Messages(), ElementsAre(Error(Refused(0x14, L"Sequence Not Found"))));
}

class StopOnDevice : public SequenceOnDevice {
  protected:
    // Every LED lit: 0x0087 with bit 7.
    void LightAll() {
        for (int index = 0; index < 3; ++index) {
            ASSERT_EQ(model_.TurnLEDOn(index), 0);
        }
        ASSERT_EQ(model_.GetOutputMask(), 0x0087);
        MarkSent();
    }
};

TEST_F(StopOnDevice, StopsThenSwitchesEveryLEDOffInTableOrder) {
    Connect();
    LightAll();
    EXPECT_EQ(model_.StopSequenceExecution(), 0);
    EXPECT_THAT(Received(), ElementsAre(CommandPacket({0x19}), Outputs(0x0086), Outputs(0x0082),
                                        Outputs(0x0080)));
    EXPECT_EQ(model_.GetOutputMask(), 0x0080);
    EXPECT_EQ(driver_->State().OutputMask(), 0x0080);
    EXPECT_THAT(Messages(), IsEmpty());
}

TEST_F(StopOnDevice, StopWithNothingLitStillSendsEveryMask) {
    Connect();
    EXPECT_EQ(model_.StopSequenceExecution(), 0);
    EXPECT_THAT(Received(), ElementsAre(CommandPacket({0x19}), Outputs(0x0080), Outputs(0x0080),
                                        Outputs(0x0080)));
}

TEST_F(StopOnDevice, RefusedStopSendsNoMask) {
    driver_->AddFault(StatusFault(0x19, 0xFF));
    Connect();
    LightAll();
    EXPECT_EQ(model_.StopSequenceExecution(), -1);
    EXPECT_THAT(Received(), ElementsAre(CommandPacket({0x19})));
    EXPECT_EQ(model_.GetOutputMask(), 0x0087);
}

TEST_F(StopOnDevice, RefusedMaskEndsTheStopKeepingWhatWasAccepted) {
    Connect();
    LightAll();
    // Occurrences count from the rule's adding: the second mask of the stop.
    driver_->AddFault(StatusFault(0x0A, 0xFF, 2));
    EXPECT_EQ(model_.StopSequenceExecution(), -1);
    EXPECT_THAT(Received(), ElementsAre(CommandPacket({0x19}), Outputs(0x0086), Outputs(0x0082)));
    EXPECT_EQ(model_.GetOutputMask(), 0x0086);
}

TEST_F(StopOnDevice, StopWhileDisconnectedFails) {
    MarkSent();
    EXPECT_EQ(model_.StopSequenceExecution(), -1);
    EXPECT_THAT(Received(), IsEmpty());
    EXPECT_THAT(Messages(), ElementsAre(Error(kDisconnected)));
}

}  // namespace
