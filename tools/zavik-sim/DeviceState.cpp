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
    for (std::uint8_t id = 0; id < kLedCount; ++id) {
        SetLed(id, ((mask >> id) & 1u) != 0, L"SetLEDOutputs", false);
    }
    outputMask_ = mask;
    return DeviceStatus::Success;
}

std::uint8_t DeviceState::SetIntensity(std::uint8_t ledId, std::uint8_t carried) {
    if (ledId >= kLedCount) {
        return DeviceStatus::InvalidParameter;
    }
    carried_[ledId] = carried;
    SetLedIntensity(ledId, static_cast<std::uint8_t>(255 - carried), L"SetLEDIntensity", false);
    return DeviceStatus::Success;
}

std::uint8_t DeviceState::SetPulseTrain(std::uint8_t ledId, const PulseTrain& train) {
    if (ledId >= kLedCount) {
        return DeviceStatus::InvalidParameter;
    }
    trains_[ledId] = train.IsStop() ? std::nullopt : std::optional<PulseTrain>(train);
    pulses_[ledId].reset();
    if (!train.IsStop()) {
        // A train starts with its on phase; the LED output is left as the train ends it (off).
        pulses_[ledId] = PulseRun{now_ + std::max<std::uint64_t>(train.widthOn, 1), true, 0};
        SetLed(ledId, true, L"pulse train", false);
    }
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
    auto script = std::make_shared<Script>();
    for (const ScriptRecord& record : upload_->records) {
        script->push_back(ScriptCommand::Parse(record.data()));
    }
    scripts_[number] = std::move(script);
    sequences_[number] = std::move(upload_->records);
    upload_.reset();
    return DeviceStatus::Success;
}

std::uint8_t DeviceState::StartSequence(std::uint8_t number) {
    if (sequences_.find(number) == sequences_.end()) {
        return DeviceStatus::SequenceNotFound;
    }
    if (running_) {
        EndRun(L"replaced by sequence " + Number(number));
    }
    running_ = number;
    runStart_ = now_;
    Emit(DeviceEvent::Kind::SequenceStart, number, 0, L"");
    runner_.Start(number, [this](std::uint32_t n) { return ScriptOf(n); });
    RunDueScript();
    return DeviceStatus::Success;
}

std::uint8_t DeviceState::StopSequence() {
    if (running_) {
        EndRun(L"stopped");
    }
    return DeviceStatus::Success;
}

SharedScript DeviceState::ScriptOf(std::uint32_t number) const {
    const auto found = scripts_.find(static_cast<std::uint8_t>(number));
    return number < kSequenceCount && found != scripts_.end() ? found->second : nullptr;
}

std::optional<std::uint8_t> DeviceState::Intensity(std::uint8_t ledId) const {
    return ledId < kLedCount ? intensity_[ledId] : std::nullopt;
}

void DeviceState::AdvanceTo(std::uint64_t step) {
    for (std::optional<std::uint64_t> due = NextDueStep(); due && *due <= step;
         due = NextDueStep()) {
        now_ = std::max(now_, *due);
        RunDueScript();
        RunDuePulses();
    }
    now_ = std::max(now_, step);
}

std::optional<std::uint64_t> DeviceState::NextDueStep() const {
    std::optional<std::uint64_t> due;
    if (running_) {
        due = runStart_ + runner_.Steps();
    }
    for (const std::optional<PulseRun>& pulse : pulses_) {
        if (pulse && (!due || pulse->nextEdge < *due)) {
            due = pulse->nextEdge;
        }
    }
    return due;
}

void DeviceState::RunDueScript() {
    const ScriptRunner::Lookup lookup = [this](std::uint32_t n) { return ScriptOf(n); };
    while (running_ && runStart_ + runner_.Steps() <= now_) {
        const std::optional<ScriptRunner::Executed> executed = runner_.Next(lookup);
        if (executed) {
            const std::wstring source =
                L"seq " + Number(executed->sequence) + L" command " + Number(executed->index);
            ForEachScriptOutput(
                executed->command, [&](ScriptOutput kind, std::uint8_t which, int value) {
                    if (kind == ScriptOutput::Led && which < kLedCount) {
                        SetLed(which, value != 0, source, true);
                    } else if (kind == ScriptOutput::Ttl) {
                        SetTtl(which, value != 0, source);
                    } else if (kind == ScriptOutput::Intensity && which < kLedCount) {
                        SetLedIntensity(kIdByTablePosition[which], static_cast<std::uint8_t>(value),
                                        source, true);
                    }
                });
        }
        switch (runner_.GetOutcome()) {
            case ScriptRunner::Outcome::Running:
                break;
            case ScriptRunner::Outcome::Ended:
                EndRun(L"ended");
                break;
            case ScriptRunner::Outcome::RanOffEnd:
                EndRun(L"ran past its last command");
                break;
            case ScriptRunner::Outcome::MissingScript:
                EndRun(L"called sequence " + Number(runner_.MissingSequence()) +
                       L", which is not uploaded");
                break;
            case ScriptRunner::Outcome::TooDeep:
                EndRun(L"calls nested deeper than " + Number(ScriptRunner::kMaxCallDepth));
                break;
        }
    }
}

void DeviceState::RunDuePulses() {
    for (std::uint8_t id = 0; id < kLedCount; ++id) {
        while (pulses_[id] && pulses_[id]->nextEdge <= now_) {
            PulseRun& pulse = *pulses_[id];
            const PulseTrain& train = *trains_[id];
            const std::uint64_t at = pulse.nextEdge;
            pulse.on = !pulse.on;
            if (!pulse.on && train.loopCount != 0 && ++pulse.periods >= train.loopCount) {
                pulses_[id].reset();
                trains_[id].reset();
            } else {
                pulse.nextEdge =
                    at + std::max<std::uint64_t>(pulse.on ? train.widthOn : train.widthOff, 1);
            }
            const std::uint64_t now = now_;
            now_ = at;
            SetLed(id, pulses_[id] ? pulses_[id]->on : false, L"pulse train", false);
            now_ = now;
        }
    }
}

void DeviceState::EndRun(const std::wstring& how) {
    runner_.Abandon();
    const std::uint8_t number = *running_;
    running_.reset();
    Emit(DeviceEvent::Kind::SequenceEnd, number, 0, how);
}

void DeviceState::Emit(DeviceEvent::Kind kind, std::uint8_t which, int value,
                       const std::wstring& source) {
    if (sink_) {
        sink_(DeviceEvent{now_, kind, which, value, source});
    }
}

void DeviceState::SetLed(std::uint8_t ledId, bool on, const std::wstring& source, bool always) {
    const auto bit = static_cast<std::uint16_t>(1u << ledId);
    const bool was = (outputMask_ & bit) != 0;
    outputMask_ = static_cast<std::uint16_t>(on ? (outputMask_ | bit) : (outputMask_ & ~bit));
    if (always || was != on) {
        Emit(DeviceEvent::Kind::Led, ledId, on ? 1 : 0, source);
    }
}

void DeviceState::SetTtl(std::uint8_t bit, bool high, const std::wstring& source) {
    const auto flag = static_cast<std::uint8_t>(1u << bit);
    ttlMask_ = static_cast<std::uint8_t>(high ? (ttlMask_ | flag) : (ttlMask_ & ~flag));
    Emit(DeviceEvent::Kind::Ttl, bit, high ? 1 : 0, source);
}

void DeviceState::SetLedIntensity(std::uint8_t ledId, std::uint8_t value,
                                  const std::wstring& source, bool always) {
    const bool changed = intensity_[ledId] != value;
    intensity_[ledId] = value;
    if (always || changed) {
        Emit(DeviceEvent::Kind::Intensity, ledId, value, source);
    }
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
    std::wstring text = DescribeOutputs();
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

std::wstring DeviceState::DescribeOutputs() const {
    std::wstring leds;
    for (std::size_t position = 0; position < labels_.size() && position < kLedCount; ++position) {
        const bool on = ((outputMask_ >> kIdByTablePosition[position]) & 1u) != 0;
        leds += (position == 0 ? L"" : L", ") + labels_[position] + (on ? L" on" : L" off");
    }
    std::wstring ttl;
    for (std::uint8_t bit = kFirstTtlBit; bit < kFirstTtlBit + kTtlCount; ++bit) {
        ttl += (bit == kFirstTtlBit ? L"" : L", ") + (L"TTL " + Number(bit)) +
               (((ttlMask_ >> bit) & 1u) != 0 ? L" high" : L" low");
    }
    return L"outputs " + HexText::Word(outputMask_) + L" (" + leds + L")\nttl " +
           HexText::Byte(ttlMask_) + L" (" + ttl + L")\n";
}

std::wstring DeviceState::DescribeLed(std::uint8_t ledId) const {
    std::wstring text = L"led " + Number(ledId) + L" carried ";
    text += carried_[ledId] ? Number(*carried_[ledId]) : std::wstring(L"none");
    // The intensity the LED runs at, as the PC or a script last set it.
    if (intensity_[ledId]) {
        text += L" intensity " + Number(*intensity_[ledId]);
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
