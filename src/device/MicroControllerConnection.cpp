#include "device/MicroControllerConnection.h"

#include <string>

#include "device/ByteOrder.h"
#include "device/MicroControllerDataPacket.h"
#include "device/PortDirectory.h"
#include "foundation/LogFile.h"
#include "foundation/TextConversion.h"

using VlrDataTypes::VLR_FAILURE;
using VlrDataTypes::VLR_SUCCESS;
using VlrDataTypes::VlrRetVal;
using Clock = std::chrono::steady_clock;

namespace {

// Command ID, status and one byte of its own come before the version text.
constexpr std::uint16_t kFirmwareTextOffset = 3;
// The packet size field follows STX and type in a response header.
constexpr std::size_t kSizeOffset = 2;

// The packet's bytes in decimal, each followed by '-', as the Data-level trace shows them.
// Written digit by digit: it runs for every command, and a sequence upload sends thousands.
std::wstring PacketDump(const std::uint8_t* bytes, std::uint32_t count) {
    std::wstring dump;
    dump.reserve(count * 4);
    for (std::uint32_t i = 0; i < count; ++i) {
        const unsigned value = bytes[i];
        if (value >= 100) {
            dump += static_cast<wchar_t>(L'0' + value / 100);
        }
        if (value >= 10) {
            dump += static_cast<wchar_t>(L'0' + value / 10 % 10);
        }
        dump += static_cast<wchar_t>(L'0' + value % 10);
        dump += L'-';
    }
    return dump;
}

}  // namespace

MicroControllerConnection::MicroControllerConnection(LogFile* log) : log_(log), port_(log) {}

void MicroControllerConnection::SetLogFile(LogFile* log) {
    log_ = log;
    port_.SetLogFile(log);
}

VlrRetVal MicroControllerConnection::Connect(int portNumber) {
    return Connect(portNumber, PortDirectory::DevicePathForPort(portNumber));
}

VlrRetVal MicroControllerConnection::Connect(int portNumber,
                                             const std::filesystem::path& devicePath) {
    // Whatever the line held before this program opened it is no answer of ours.
    wholeResponseAt_.reset();
    firmwareVersion_.clear();
    if (port_.Open(portNumber, devicePath) != VLR_SUCCESS) {
        return VLR_FAILURE;
    }
    std::wstring version;
    if (GetFirmwareVersion(version) != VLR_SUCCESS) {
        port_.Close();
        return VLR_FAILURE;
    }
    Log(LogLevel::Notice, L"Microcontroller Firmware Version " + version);
    firmwareVersion_ = version;
    return VLR_SUCCESS;
}

void MicroControllerConnection::Disconnect() {
    port_.Close();
}

VlrRetVal MicroControllerConnection::ExecuteCommand(const std::uint8_t* payload, std::uint16_t size,
                                                    std::uint16_t& responseSize) {
    if (!port_.IsOpen()) {
        Log(LogLevel::Error,
            L"Error, unable to execute command, the application is currently disconnected from "
            L"the micro controller.");
        return VLR_FAILURE;
    }
    if (MayHoldLeftovers()) {
        port_.DiscardInput();
    }
    wholeResponseAt_.reset();
    if (SendCommand(payload, size) != VLR_SUCCESS) {
        return VLR_FAILURE;
    }
    return ReceiveResponse(payload[0], responseSize);
}

// After anything but a whole, well-framed response (a time-out, a spoilt frame, bytes beyond
// the frame) leftovers may be waiting or on their way, and so may stray bytes after a pause;
// they would be read as the start of the next response and put every later exchange out of
// step. Only a command that follows a whole response at once skips clearing the input, which
// saves a system call on every command of a long upload.
bool MicroControllerConnection::MayHoldLeftovers() const {
    return !wholeResponseAt_ || Clock::now() - *wholeResponseAt_ > kBackToBackGap;
}

VlrRetVal MicroControllerConnection::GetFirmwareVersion(std::wstring& version) {
    const std::uint8_t payload[] = {DeviceCommand::GetFirmwareVersion};
    std::uint16_t responseSize = 0;
    if (ExecuteCommand(payload, sizeof payload, responseSize) != VLR_SUCCESS) {
        return VLR_FAILURE;
    }
    if (responseSize <= kFirmwareTextOffset) {
        Log(LogLevel::Error,
            L"Error, the GetFirmwareVersion command returned an invalid response data buffer "
            L"size(" +
                std::to_wstring(responseSize) + L").");
        return VLR_FAILURE;
    }
    std::string text;
    for (std::uint16_t i = kFirmwareTextOffset; i < responseSize && responseData_[i] != 0; ++i) {
        text.push_back(static_cast<char>(responseData_[i]));
    }
    version = NarrowToWide(text);
    return VLR_SUCCESS;
}

VlrRetVal MicroControllerConnection::SendLEDIntensity(std::uint8_t deviceLedId,
                                                      std::uint8_t value) {
    const std::uint8_t payload[] = {DeviceCommand::SetLEDIntensity, deviceLedId, value};
    std::uint16_t responseSize = 0;
    return ExecuteCommand(payload, sizeof payload, responseSize);
}

VlrRetVal MicroControllerConnection::SendCommand(const std::uint8_t* payload, std::uint16_t size) {
    MicroControllerDataPacket packet;
    if (LogIfFailed(packet.CreateCommandPacket(payload, size), packet)) {
        return VLR_FAILURE;
    }
    if (log_ != nullptr) {
        Log(LogLevel::Data, PacketDump(packet.GetPacketBuffer(), packet.GetPacketLength()));
    }
    return port_.Write(packet.GetPacketBuffer(), packet.GetPacketLength());
}

// A response whose header or data fails its check is still read to its end, so the byte stream
// stays in step for the next command; only a size beyond the buffer stops the reading.
VlrRetVal MicroControllerConnection::ReceiveResponse(std::uint8_t commandId,
                                                     std::uint16_t& responseSize) {
    responseSize = 0;
    std::uint8_t header[PacketConstants::kHeaderSize] = {};
    if (port_.Read(header, sizeof header) != VLR_SUCCESS) {
        return VLR_FAILURE;
    }
    MicroControllerDataPacket packet;
    const bool headerValid = !LogIfFailed(packet.ValidateResponseHeader(header), packet);
    bool failed = !headerValid;
    const std::uint16_t dataSize = ByteOrder::ReadU16(header + kSizeOffset);
    if (dataSize > PacketConstants::kMaxResponseDataSize) {
        Log(LogLevel::Error, L"Invalid data size(" + std::to_wstring(dataSize) +
                                 L") returned from microcontroller.  Unable to receive packet.");
        return VLR_FAILURE;
    }
    if (port_.Read(responseData_.data(), dataSize) != VLR_SUCCESS) {
        return VLR_FAILURE;
    }
    responseSize = dataSize;
    failed |=
        LogIfFailed(packet.ValidateResponseData(responseData_.data(), dataSize, commandId), packet);
    std::uint8_t footer[PacketConstants::kFooterSize] = {};
    if (port_.Read(footer, sizeof footer) != VLR_SUCCESS) {
        return VLR_FAILURE;
    }
    if (LogIfFailed(packet.ValidateResponseFooter(footer, header, responseData_.data()), packet)) {
        return VLR_FAILURE;
    }
    // A refusal or a wrong command ID still comes in a whole frame; a spoilt header does not.
    if (headerValid && !port_.HasBufferedInput()) {
        wholeResponseAt_ = Clock::now();
    }
    return failed ? VLR_FAILURE : VLR_SUCCESS;
}

bool MicroControllerConnection::LogIfFailed(VlrRetVal result,
                                            const MicroControllerDataPacket& packet) {
    if (result == VLR_SUCCESS) {
        return false;
    }
    Log(LogLevel::Error, packet.GetErrorMessage());
    return true;
}

void MicroControllerConnection::Log(LogLevel level, const std::wstring& message) {
    if (log_ != nullptr) {
        log_->WriteMessage(level, message);
    }
}
