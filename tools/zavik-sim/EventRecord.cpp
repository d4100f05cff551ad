#include "zavik-sim/EventRecord.h"

#include <algorithm>

#include "device/PortDirectory.h"
#include "foundation/LogFile.h"
#include "foundation/TextConversion.h"

using VlrDataTypes::VLR_FAILURE;
using VlrDataTypes::VLR_SUCCESS;
using VlrDataTypes::VlrRetVal;

namespace {

constexpr double kStepMs = 0.1;

double Milliseconds(std::uint64_t steps) {
    return static_cast<double>(steps) * kStepMs;
}

}  // namespace

EventRecord::EventRecord(LogFile* log) : log_(log) {}

VlrRetVal EventRecord::Open(const std::filesystem::path& file,
                            const std::vector<std::wstring>& ledLabels, const DeviceState& state) {
    Close();
    if (file.empty()) {
        return VLR_SUCCESS;
    }
    TimelineOutputs outputs;
    ledCount_ = std::min<std::size_t>(ledLabels.size(), DeviceState::kLedCount);
    outputs.ledLabels.assign(ledLabels.begin(), ledLabels.begin() + ledCount_);
    lanes_ = TimelineLanes(outputs);
    file_.open(file, std::ios::binary | std::ios::trunc);
    if (!file_.is_open()) {
        if (log_ != nullptr) {
            log_->WriteMessage(LogLevel::Error,
                               L"EventRecord::Open() - Error, unable to write the event record " +
                                   PortDirectory::PathText(file) + L".");
        }
        return VLR_FAILURE;
    }
    origin_ = 0;
    file_ << WideToNarrow(Start(state)) << std::flush;
    return VLR_SUCCESS;
}

std::wstring EventRecord::Start(const DeviceState& state) const {
    std::vector<int> values;
    for (std::size_t position = 0; position < ledCount_; ++position) {
        const std::uint8_t id = DeviceState::kIdByTablePosition[position];
        values.push_back((state.OutputMask() >> id) & 1);
        values.push_back(state.Intensity(id).value_or(0));
    }
    for (std::uint8_t bit = 0; bit < DeviceState::kTtlCount; ++bit) {
        values.push_back((state.TtlMask() >> (DeviceState::kFirstTtlBit + bit)) & 1);
    }
    return TimelineTsvStart(lanes_, values);
}

std::uint16_t EventRecord::LaneOf(const DeviceEvent& event) const {
    if (event.kind == DeviceEvent::Kind::Ttl) {
        const int bit = event.which - DeviceState::kFirstTtlBit;
        return bit >= 0 && bit < DeviceState::kTtlCount
                   ? static_cast<std::uint16_t>(2 * ledCount_ + static_cast<std::size_t>(bit))
                   : static_cast<std::uint16_t>(lanes_.size());
    }
    const auto& ids = DeviceState::kIdByTablePosition;
    const auto position =
        static_cast<std::size_t>(std::find(ids.begin(), ids.end(), event.which) - ids.begin());
    if (position >= ledCount_) {
        return static_cast<std::uint16_t>(lanes_.size());
    }
    return static_cast<std::uint16_t>(2 * position +
                                      (event.kind == DeviceEvent::Kind::Intensity ? 1 : 0));
}

void EventRecord::Write(const DeviceEvent& event, const DeviceState& state) {
    if (!file_.is_open()) {
        return;
    }
    std::wstring text;
    const std::wstring sequence = L"# sequence " + std::to_wstring(event.which);
    switch (event.kind) {
        case DeviceEvent::Kind::SequenceStart:
            origin_ = event.step;
            text = sequence + L" start at " + FormatTimelineTime(Milliseconds(event.step)) +
                   L" ms; times below count from here\n" + Start(state);
            break;
        case DeviceEvent::Kind::SequenceEnd:
            text = sequence + L" end at " + FormatTimelineTime(Milliseconds(event.step)) +
                   L" ms, " + event.source + L" after " +
                   FormatTimelineTime(Milliseconds(event.step - origin_)) +
                   L" ms; times below count from the emulator's start\n";
            origin_ = 0;
            break;
        default: {
            const std::uint16_t lane = LaneOf(event);
            if (lane < lanes_.size()) {
                text = TimelineTsvLine(Milliseconds(event.step - origin_), lanes_[lane],
                                       event.value, event.source);
            }
        }
    }
    file_ << WideToNarrow(text);
}

void EventRecord::Flush() {
    if (file_.is_open()) {
        file_.flush();
    }
}

void EventRecord::Close() {
    if (file_.is_open()) {
        file_.close();
    }
}
