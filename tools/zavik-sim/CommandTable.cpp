#include "zavik-sim/CommandTable.h"

#include <array>

#include "device/PacketConstants.h"
#include "zavik-sim/HexText.h"

namespace {

constexpr std::array<CommandInfo, 10> kCommands{{
    {DeviceCommand::GetFirmwareVersion, L"GetFirmwareVersion", 1},
    {DeviceCommand::SetLEDOutputs, L"SetLEDOutputs", 3},
    {DeviceCommand::SetLEDIntensity, L"SetLEDIntensity", 3},
    {DeviceCommand::StartSequence, L"StartSequence", 2},
    {DeviceCommand::BeginSequenceUpload, L"BeginSequenceUpload", 2},
    {DeviceCommand::SetSequenceCommandCount, L"SetSequenceCommandCount", 6},
    {DeviceCommand::SetSequenceScriptCommand, L"SetSequenceScriptCommand", 16},
    {DeviceCommand::EndSequenceUpload, L"EndSequenceUpload", 2},
    {DeviceCommand::StopSequence, L"StopSequence", 1},
    {DeviceCommand::SetLEDPulseTrain, L"SetLEDPulseTrain", 22},
}};

}  // namespace

const CommandInfo* CommandTable::Find(std::uint8_t commandId) {
    for (const CommandInfo& command : kCommands) {
        if (command.id == commandId) {
            return &command;
        }
    }
    return nullptr;
}

std::wstring CommandTable::NameOf(std::uint8_t commandId) {
    const CommandInfo* command = Find(commandId);
    return command != nullptr ? std::wstring(command->name) : HexText::Byte(commandId);
}
