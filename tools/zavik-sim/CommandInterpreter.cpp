#include "zavik-sim/CommandInterpreter.h"

#include <utility>

#include "device/ByteOrder.h"
#include "device/PacketConstants.h"
#include "foundation/TextConversion.h"
#include "zavik-sim/CommandTable.h"

using ByteOrder::ReadU16;
using ByteOrder::ReadU32;
using ByteOrder::ReadU64;

namespace {

ScriptRecord RecordAt(const std::uint8_t* bytes) {
    ScriptRecord record{};
    std::copy(bytes, bytes + record.size(), record.begin());
    return record;
}

PulseTrain PulseTrainAt(const std::uint8_t* bytes) {
    return PulseTrain{ReadU64(bytes), ReadU64(bytes + 8), ReadU32(bytes + 16)};
}

}  // namespace

CommandInterpreter::CommandInterpreter(std::wstring firmwareVersion)
    : firmwareVersion_(std::move(firmwareVersion)) {}

Answer CommandInterpreter::Execute(const std::uint8_t* data, std::size_t size,
                                   DeviceState& state) const {
    const std::uint8_t commandId = data[0];
    const CommandInfo* command = CommandTable::Find(commandId);
    if (command == nullptr) {
        return Answer{commandId, DeviceStatus::UnrecognizedCommand, {}};
    }
    if (size != command->dataLength) {
        return Answer{commandId, DeviceStatus::InvalidParameter, {}};
    }
    if (commandId == DeviceCommand::GetFirmwareVersion) {
        return FirmwareVersion();
    }
    return Answer{commandId, Apply(data, state), {}};
}

std::uint8_t CommandInterpreter::Apply(const std::uint8_t* data, DeviceState& state) const {
    switch (data[0]) {
        case DeviceCommand::SetLEDOutputs:
            return state.SetOutputs(ReadU16(data + 1));
        case DeviceCommand::SetLEDIntensity:
            return state.SetIntensity(data[1], data[2]);
        case DeviceCommand::StartSequence:
            return state.StartSequence(data[1]);
        case DeviceCommand::BeginSequenceUpload:
            return state.BeginUpload(data[1]);
        case DeviceCommand::SetSequenceCommandCount:
            return state.SetCommandCount(data[1], ReadU32(data + 2));
        case DeviceCommand::SetSequenceScriptCommand:
            return state.SetScriptCommand(data[1], ReadU32(data + 2), RecordAt(data + 6));
        case DeviceCommand::EndSequenceUpload:
            return state.EndUpload(data[1]);
        case DeviceCommand::StopSequence:
            return state.StopSequence();
        case DeviceCommand::SetLEDPulseTrain:
            return state.SetPulseTrain(data[1], PulseTrainAt(data + 2));
        default:
            return DeviceStatus::UnrecognizedCommand;
    }
}

Answer CommandInterpreter::FirmwareVersion() const {
    // The byte after the status is reserved by the firmware and always 0.
    Answer answer{DeviceCommand::GetFirmwareVersion, DeviceStatus::Success, {0x00}};
    const std::string text = WideToNarrow(firmwareVersion_);
    answer.result.insert(answer.result.end(), text.begin(), text.end());
    return answer;
}
