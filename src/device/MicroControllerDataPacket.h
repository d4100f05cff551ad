#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "foundation/VlrDataTypes.h"

// One packet exchanged with the LED driver: frames a command payload for sending, and checks the
// header, data and footer sections of a response as they are read. It never logs; the reason of
// the last failure is kept for the caller to log.
class MicroControllerDataPacket {
  public:
    // Frames the payload: STX, type, size, payload, ETX, XOR checksum. A failed build leaves no
    // packet, so a stale one can never be sent by mistake.
    VlrDataTypes::VlrRetVal CreateCommandPacket(const std::uint8_t* payload, std::uint16_t size);
    const std::uint8_t* GetPacketBuffer() const { return packet_.data(); }
    std::uint32_t GetPacketLength() const { return static_cast<std::uint32_t>(packet_.size()); }

    // header: the 4 header bytes. The upper bound of the size field is the receiver's business.
    VlrDataTypes::VlrRetVal ValidateResponseHeader(const std::uint8_t* header);
    // data: the size bytes of the data section; commandId: the ID of the command just sent.
    VlrDataTypes::VlrRetVal ValidateResponseData(const std::uint8_t* data, std::uint16_t size,
                                                 std::uint8_t commandId);
    // footer: ETX and CRC; the data length is taken from the header's size field.
    VlrDataTypes::VlrRetVal ValidateResponseFooter(const std::uint8_t* footer,
                                                   const std::uint8_t* header,
                                                   const std::uint8_t* data);

    // The message of the last failure; empty if nothing failed yet.
    const std::wstring& GetErrorMessage() const { return errorMessage_; }

    static std::wstring DeviceStatusText(std::uint8_t status);

  private:
    VlrDataTypes::VlrRetVal Fail(std::wstring message);

    std::vector<std::uint8_t> packet_;
    std::wstring errorMessage_;
};
