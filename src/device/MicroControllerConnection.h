#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include "device/PacketConstants.h"
#include "device/SerialPort.h"
#include "foundation/LogLevel.h"
#include "foundation/VlrDataTypes.h"

class LogFile;
class MicroControllerDataPacket;

// One device command as one complete, checked exchange: frame the payload, write it, read the
// response header, data and footer, validate each, log every failure. Also the connect sequence
// (open the port, ask for the firmware version). "Connected" means the serial port is open.
class MicroControllerConnection {
  public:
    // A command sent within this time of a whole response counts as following it at once.
    static constexpr std::chrono::milliseconds kBackToBackGap{10};

    explicit MicroControllerConnection(LogFile* log = nullptr);

    void SetLogFile(LogFile* log);

    VlrDataTypes::VlrRetVal Connect(int portNumber);
    // On the tty given rather than the one the port number names.
    VlrDataTypes::VlrRetVal Connect(int portNumber, const std::filesystem::path& devicePath);
    void Disconnect();
    bool IsConnected() const { return port_.IsOpen(); }

    // payload[0] is the command ID. responseSize is set to 0 when receiving begins and to the
    // response's data length once that has been read; untouched when nothing was sent.
    VlrDataTypes::VlrRetVal ExecuteCommand(const std::uint8_t* payload, std::uint16_t size,
                                           std::uint16_t& responseSize);
    VlrDataTypes::VlrRetVal GetFirmwareVersion(std::wstring& version);
    // The version the connect read, so that nobody asks the device again; empty while
    // disconnected.
    std::wstring FirmwareVersion() const { return IsConnected() ? firmwareVersion_ : L""; }
    // Sends SetLEDIntensity (0x0B, device LED ID, value as carried on the wire).
    VlrDataTypes::VlrRetVal SendLEDIntensity(std::uint8_t deviceLedId, std::uint8_t value);

    // The data section of the latest response (command ID, status, result bytes).
    const std::uint8_t* ResponseData() const { return responseData_.data(); }
    SerialPort& Port() { return port_; }

  private:
    bool MayHoldLeftovers() const;
    VlrDataTypes::VlrRetVal SendCommand(const std::uint8_t* payload, std::uint16_t size);
    VlrDataTypes::VlrRetVal ReceiveResponse(std::uint8_t commandId, std::uint16_t& responseSize);
    // Logs the packet's message when result is a failure; returns whether it was one.
    bool LogIfFailed(VlrDataTypes::VlrRetVal result, const MicroControllerDataPacket& packet);
    void Log(LogLevel level, const std::wstring& message);

    LogFile* log_ = nullptr;
    SerialPort port_;
    std::wstring firmwareVersion_;
    std::array<std::uint8_t, PacketConstants::kMaxResponseDataSize> responseData_{};
    // When the latest exchange ended with a whole, well-framed response and nothing beyond it;
    // empty after anything else.
    std::optional<std::chrono::steady_clock::time_point> wholeResponseAt_;
};
