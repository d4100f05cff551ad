#include "device/MicroControllerDataPacket.h"

#include <algorithm>
#include <exception>
#include <string>
#include <utility>

#include "device/ByteOrder.h"
#include "device/PacketConstants.h"
#include "foundation/TextConversion.h"

using VlrDataTypes::VLR_FAILURE;
using VlrDataTypes::VLR_SUCCESS;
using VlrDataTypes::VlrRetVal;

namespace {

constexpr std::size_t kSizeOffset = 2;
constexpr std::uint16_t kMinResponseDataSize = 2;

constexpr wchar_t kHeaderError[] = L"Error validating command response header.  ";
constexpr wchar_t kDataError[] = L"Error validating data section of response packet.  ";
constexpr wchar_t kFooterError[] = L"Error validating command response footer.  ";

std::wstring HeaderDescription(const std::uint8_t* header) {
    return L"STX:" + std::to_wstring(header[0]) + L", Type:" + std::to_wstring(header[1]) +
           L", Size:" + std::to_wstring(ByteOrder::ReadU16(header + kSizeOffset));
}

}  // namespace

VlrRetVal MicroControllerDataPacket::CreateCommandPacket(const std::uint8_t* payload,
                                                         std::uint16_t size) {
    if (payload == nullptr || size == 0) {
        packet_.clear();
        return Fail(
            L"Error creating data packet.  The data buffer is NULL and the size is equal to 0.");
    }
    const std::size_t length = size + PacketConstants::kHeaderSize + PacketConstants::kFooterSize;
    try {
        packet_.assign(length, 0);
    } catch (const std::exception& exception) {
        packet_.clear();
        return Fail(L"Error creating data packet.  There was an exception(" +
                    NarrowToWide(exception.what()) +
                    L") thrown when allocation the packet buffer.");
    }
    packet_[0] = PacketConstants::kStx;
    packet_[1] = PacketConstants::kTypeCommand;
    ByteOrder::WriteU16(&packet_[kSizeOffset], size);
    std::copy(payload, payload + size, packet_.begin() + PacketConstants::kHeaderSize);
    const std::size_t etxOffset = PacketConstants::kHeaderSize + size;
    packet_[etxOffset] = PacketConstants::kEtx;
    packet_[etxOffset + 1] = PacketConstants::XorChecksum(packet_.data(), etxOffset + 1);
    return VLR_SUCCESS;
}

VlrRetVal MicroControllerDataPacket::ValidateResponseHeader(const std::uint8_t* header) {
    if (header == nullptr) {
        return Fail(std::wstring(kHeaderError) + L"The header buffer is NULL.");
    }
    const wchar_t* fault = nullptr;
    if (header[0] != PacketConstants::kStx) {
        fault = L"The STX field is invalid.  ";
    } else if (header[1] != PacketConstants::kTypeResponse) {
        fault = L"The packet type field is invalid.  ";
    } else if (ByteOrder::ReadU16(header + kSizeOffset) < kMinResponseDataSize) {
        fault = L"The packet size field is invalid.  ";
    }
    if (fault == nullptr) {
        return VLR_SUCCESS;
    }
    return Fail(kHeaderError + std::wstring(fault) + HeaderDescription(header));
}

VlrRetVal MicroControllerDataPacket::ValidateResponseData(const std::uint8_t* data,
                                                          std::uint16_t size,
                                                          std::uint8_t commandId) {
    if (size < kMinResponseDataSize) {
        return Fail(kDataError + (L"The data section size(" + std::to_wstring(size)) +
                    L") is invalid.");
    }
    if (data == nullptr) {
        return Fail(std::wstring(kDataError) + L"The data buffer is NULL.");
    }
    // The texts are composed only for a failure: this runs for every response.
    if (data[0] != commandId) {
        return Fail(kDataError + (L"The command ID(" + std::to_wstring(commandId)) +
                    L") is invalid.");
    }
    if (data[1] != 0) {
        return Fail(kDataError + (L"The command (" + std::to_wstring(commandId)) +
                    L") failed to execute(" + DeviceStatusText(data[1]) + L").");
    }
    return VLR_SUCCESS;
}

VlrRetVal MicroControllerDataPacket::ValidateResponseFooter(const std::uint8_t* footer,
                                                            const std::uint8_t* header,
                                                            const std::uint8_t* data) {
    if (footer == nullptr || header == nullptr) {
        return Fail(std::wstring(kFooterError) + L"The footer or header buffer is NULL.");
    }
    if (footer[0] != PacketConstants::kEtx) {
        return Fail(kFooterError + (L"The ETX field(" + std::to_wstring(footer[0])) +
                    L") is invalid.");
    }
    const std::uint16_t dataSize = ByteOrder::ReadU16(header + kSizeOffset);
    if (dataSize > 0 && data == nullptr) {
        return Fail(std::wstring(kFooterError) + L"The data buffer is NULL.");
    }
    std::uint8_t residue = PacketConstants::XorChecksum(header, PacketConstants::kHeaderSize);
    residue = PacketConstants::XorChecksum(data, dataSize, residue);
    residue = PacketConstants::XorChecksum(footer, PacketConstants::kFooterSize, residue);
    if (residue != 0) {
        return Fail(kFooterError + (L"The CRC calculation(" + std::to_wstring(residue)) +
                    L") failed.");
    }
    return VLR_SUCCESS;
}

std::wstring MicroControllerDataPacket::DeviceStatusText(std::uint8_t status) {
    switch (status) {
        case DeviceStatus::Success:
            return std::wstring();
        case DeviceStatus::SequenceInProgress:
            return L"Sequence In Progress";
        case DeviceStatus::SequenceAlreadyExists:
            return L"Sequence Already Exists";
        case DeviceStatus::SequenceNotFound:
            return L"Sequence Not Found";
        case DeviceStatus::InvalidParameter:
            return L"Invalid Parameter";
        case DeviceStatus::UnrecognizedCommand:
            return L"Unrecognized Command";
        default:
            return L"General Failure";
    }
}

VlrRetVal MicroControllerDataPacket::Fail(std::wstring message) {
    errorMessage_ = std::move(message);
    return VLR_FAILURE;
}
