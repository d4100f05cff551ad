#include "zavik-sim/DeviceState.h"

#include <algorithm>

#include "device/PacketConstants.h"
#include "zavik-sim/HexText.h"

namespace {

std::wstring Number(std::uint64_t value) {
    return std::to_wstring(value);
}

}  // namespace

std::size_t ScriptUploadInProgress::ReceivedCount() const {
    return static_cast<std::size_t>(std::count(received.begin(), received.end(), true));
}

std::uint8_t DeviceState::SetOutputs(std::uint16_t mask) {
    outputMask_ = mask;
    return DeviceStatus::Success;
}

std::uint8_t DeviceState::SetIntensity(std::uint8_t ledId, std::uint8_t carried) {
    if (ledId >= kLedCount) {
        return DeviceStatus::InvalidParameter;
    }
    carried_[ledId] = carried;
    return DeviceStatus::Success;
}

std::uint8_t DeviceState::SetPulseTrain(std::uint8_t ledId, const PulseTrain& train) {
    if (ledId >= kLedCount) {
        return DeviceStatus::InvalidParameter;
    }
    trains_[ledId] = train.IsStop() ? std::nullopt : std::optional<PulseTrain>(train);
    return DeviceStatus::Success;
}

std::uint8_t DeviceState::BeginUpload(std::uint8_t number) {
    if (number >= kSequenceCount) {
        return DeviceStatus::InvalidParameter;
    }
    upload_ = ScriptUploadInProgress{};
    upload_->number = number;
    return DeviceStatus::Success;
}

std::uint8_t DeviceState::SetCommandCount(std::uint8_t number, std::uint32_t count) {
    if (!IsUploading(number) || count > kMaxScriptCommands) {
        return DeviceStatus::InvalidParameter;
    }
    upload_->commandCount = count;
    upload_->records.assign(count, ScriptRecord{});
    upload_->received.assign(count, false);
    return DeviceStatus::Success;
}

std::uint8_t DeviceState::SetScriptCommand(std::uint8_t number, std::uint32_t index,
                                           const ScriptRecord& record) {
    if (!IsUploading(number) || !upload_->commandCount || index >= *upload_->commandCount) {
        return DeviceStatus::InvalidParameter;
    }
    upload_->records[index] = record;
    upload_->received[index] = true;
    return DeviceStatus::Success;
}

std::uint8_t DeviceState::EndUpload(std::uint8_t number) {
    if (!IsUploading(number) || !upload_->commandCount ||
        upload_->ReceivedCount() != *upload_->commandCount) {
        return DeviceStatus::InvalidParameter;
    }
    sequences_[number] = std::move(upload_->records);
    upload_.reset();
    return DeviceStatus::Success;
}

std::uint8_t DeviceState::StartSequence(std::uint8_t number) {
    if (sequences_.find(number) == sequences_.end()) {
        return DeviceStatus::SequenceNotFound;
    }
    running_ = number;
    return DeviceStatus::Success;
}

std::uint8_t DeviceState::StopSequence() {
    running_.reset();
    return DeviceStatus::Success;
}

std::optional<std::uint8_t> DeviceState::CarriedIntensity(std::uint8_t ledId) const {
    return ledId < kLedCount ? carried_[ledId] : std::nullopt;
}

std::optional<PulseTrain> DeviceState::PulseTrainOf(std::uint8_t ledId) const {
    return ledId < kLedCount ? trains_[ledId] : std::nullopt;
}

bool DeviceState::IsUploading(std::uint8_t number) const {
    return upload_.has_value() && upload_->number == number;
}

std::wstring DeviceState::Describe() const {
    std::wstring text = L"outputs " + HexText::Word(outputMask_) + L"\n";
    for (std::uint8_t id = 0; id < kLedCount; ++id) {
        text += DescribeLed(id);
    }
    for (const auto& [number, records] : sequences_) {
        text += L"sequence " + Number(number) + L" records " + Number(records.size()) + L"\n";
    }
    if (upload_) {
        const std::wstring count =
            upload_->commandCount ? Number(*upload_->commandCount) : std::wstring(L"none");
        text += L"upload " + Number(upload_->number) + L" count " + count + L" received " +
                Number(upload_->ReceivedCount()) + L"\n";
    } else {
        text += L"upload none\n";
    }
    text += L"running " + (running_ ? Number(*running_) : std::wstring(L"none")) + L"\n";
    return text;
}

std::wstring DeviceState::DescribeLed(std::uint8_t ledId) const {
    std::wstring text = L"led " + Number(ledId) + L" carried ";
    if (carried_[ledId]) {
        text += Number(*carried_[ledId]) + L" intensity " + Number(255u - *carried_[ledId]);
    } else {
        text += L"none";
    }
    text += L" pulse ";
    if (trains_[ledId]) {
        const PulseTrain& train = *trains_[ledId];
        text += L"on " + Number(train.widthOn) + L" off " + Number(train.widthOff) + L" loops " +
                Number(train.loopCount);
    } else {
        text += L"none";
    }
    return text + L"\n";
}
