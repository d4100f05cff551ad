#pragma once

#include <cstdint>
#include <vector>

// The content of one response: echoed command ID, status, and result bytes.
struct Answer {
    std::uint8_t commandId = 0;
    std::uint8_t status = 0;
    std::vector<std::uint8_t> result;
};

// Frames answers as response packets: 02 02 <size u16> <cmd id> <status> [result] 03 <crc>.
class ResponseBuilder {
  public:
    static std::vector<std::uint8_t> Frame(const Answer& answer);

    // Rewrites the last byte of a whole response packet as the checksum of the bytes before it.
    static void UpdateChecksum(std::vector<std::uint8_t>& packet);
};
