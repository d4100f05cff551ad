#include "zavik-sim/PacketDecoder.h"

#include "device/ByteOrder.h"
#include "device/PacketConstants.h"
#include "zavik-sim/CommandTable.h"
#include "zavik-sim/HexText.h"

using ByteOrder::ReadU16;
using ByteOrder::ReadU32;
using ByteOrder::ReadU64;

namespace {

constexpr std::size_t kScriptRecordSize = 10;

std::wstring Number(std::uint64_t value) {
    return std::to_wstring(value);
}

std::wstring Sequence(const std::uint8_t* data) {
    return L" sequence " + Number(data[1]);
}

std::wstring SetOutputsMeaning(const std::uint8_t* record) {
    return L"SetOutputs LED value " + HexText::Word(ReadU16(record + 1)) + L" change " +
           HexText::Word(ReadU16(record + 3)) + L" TTL value " + HexText::Byte(record[5]) +
           L" change " + HexText::Byte(record[6]);
}

std::wstring PulseTrainFields(const std::uint8_t* data) {
    const std::uint64_t on = ReadU64(data + 2);
    const std::uint64_t off = ReadU64(data + 10);
    const std::uint32_t loops = ReadU32(data + 18);
    if (on == 0 && off == 0 && loops == 0) {
        return L" LED " + Number(data[1]) + L" stop";
    }
    return L" LED " + Number(data[1]) + L" on " + Number(on) + L" off " + Number(off) + L" loops " +
           Number(loops);
}

}  // namespace

std::wstring PacketDecoder::Describe(const std::vector<std::uint8_t>& packet, bool valid) {
    if (!valid) {
        return DescribeFramingFault(packet);
    }
    const std::size_t dataSize =
        packet.size() - PacketConstants::kHeaderSize - PacketConstants::kFooterSize;
    if (dataSize == 0) {
        return L"packet without data";
    }
    return DescribeData(packet.data() + PacketConstants::kHeaderSize, dataSize);
}

std::wstring PacketDecoder::DescribeData(const std::uint8_t* data, std::size_t size) {
    const CommandInfo* command = CommandTable::Find(data[0]);
    if (command == nullptr) {
        return L"unknown command " + HexText::Byte(data[0]) + L" with " + Number(size) +
               L" data bytes";
    }
    if (size != command->dataLength) {
        return std::wstring(command->name) + L" with " + Number(size) + L" data bytes (expects " +
               Number(command->dataLength) + L")";
    }
    return command->name + DescribeFields(data);
}

std::wstring PacketDecoder::DescribeFields(const std::uint8_t* data) {
    switch (data[0]) {
        case DeviceCommand::SetLEDOutputs:
            return L" mask " + HexText::Word(ReadU16(data + 1));
        case DeviceCommand::SetLEDIntensity:
            return L" LED " + Number(data[1]) + L" carried " + Number(data[2]) + L" (intensity " +
                   Number(255u - data[2]) + L")";
        case DeviceCommand::StartSequence:
        case DeviceCommand::BeginSequenceUpload:
        case DeviceCommand::EndSequenceUpload:
            return Sequence(data);
        case DeviceCommand::SetSequenceCommandCount:
            return Sequence(data) + L" count " + Number(ReadU32(data + 2));
        case DeviceCommand::SetSequenceScriptCommand:
            return Sequence(data) + L" index " + Number(ReadU32(data + 2)) + L" record " +
                   DescribeScriptRecord(data + 6);
        case DeviceCommand::SetLEDPulseTrain:
            return PulseTrainFields(data);
        default:
            return L"";
    }
}

std::wstring PacketDecoder::DescribeFramingFault(const std::vector<std::uint8_t>& packet) {
    const std::size_t crcAt = packet.size() - 1;
    std::wstring fault;
    if (packet[1] != PacketConstants::kTypeCommand) {
        fault = L"bad type " + HexText::Byte(packet[1]);
    } else if (packet[crcAt - 1] != PacketConstants::kEtx) {
        fault = L"bad ETX " + HexText::Byte(packet[crcAt - 1]);
    } else {
        fault = L"bad checksum " + HexText::Byte(packet[crcAt]) + L", expected " +
                HexText::Byte(PacketConstants::XorChecksum(packet.data(), crcAt));
    }
    return L"invalid packet (" + fault + L") for " + CommandTable::NameOf(packet[4]);
}

std::wstring PacketDecoder::DescribeScriptRecord(const std::uint8_t* record) {
    return HexText::Dump(record, kScriptRecordSize) + L" = " + ScriptRecordMeaning(record);
}

std::wstring PacketDecoder::ScriptRecordMeaning(const std::uint8_t* record) {
    switch (record[0]) {
        case 0x00:
            return L"WaitSteps " + Number(ReadU64(record + 1));
        case 0x01:
            return SetOutputsMeaning(record);
        case 0x05:
            return L"CallSequence " + Number(record[1]);
        case 0x06:
            return L"EndLoop to " + Number(ReadU32(record + 2)) + L" loops " +
                   Number(ReadU32(record + 6));
        case 0x07:
            return L"SetTTLOutputs value " + HexText::Byte(record[1]) + L" change " +
                   HexText::Byte(record[2]);
        case 0x0A:
        case 0x0B:
        case 0x0C:
            return L"SetIntensity" + Number(record[0] - 0x09u) + L" " + Number(record[1]);
        case 0xFF:
            return L"EndOfSequence";
        default:
            return L"unknown op code " + HexText::Byte(record[0]);
    }
}
