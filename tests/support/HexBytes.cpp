#include "support/HexBytes.h"

#include <algorithm>
#include <cstdio>
#include <stdexcept>

Bytes HexBytes(const std::string& hex) {
    Bytes bytes;
    std::string digits = hex;
    std::erase(digits, ' ');
    if (digits.size() % 2 != 0)
        throw std::invalid_argument("odd number of hex digits: " + hex);
    for (std::size_t i = 0; i < digits.size(); i += 2)
        bytes.push_back(static_cast<std::uint8_t>(std::stoul(digits.substr(i, 2), nullptr, 16)));
    return bytes;
}

std::string ToHex(const Bytes& bytes) {
    std::string text;
    char pair[4];
    for (const std::uint8_t byte : bytes) {
        std::snprintf(pair, sizeof(pair), text.empty() ? "%02X" : " %02X", byte);
        text += pair;
    }
    return text;
}

std::vector<std::string> ToHex(const std::vector<Bytes>& packets, std::size_t first) {
    std::vector<std::string> hex;
    for (std::size_t i = first; i < packets.size(); ++i)
        hex.push_back(ToHex(packets[i]));
    return hex;
}

std::vector<std::string> CanonicalHex(const std::vector<std::string>& hex) {
    std::vector<std::string> canonical;
    for (const std::string& text : hex)
        canonical.push_back(ToHex(HexBytes(text)));
    return canonical;
}

namespace {

Bytes Packet(std::uint8_t type, const Bytes& payload) {
    Bytes packet{0x02, type, static_cast<std::uint8_t>(payload.size()),
                 static_cast<std::uint8_t>(payload.size() >> 8)};
    // Resized and copied: GCC 12 warns falsely (-Warray-bounds) on an insert here.
    packet.resize(4 + payload.size());
    std::copy(payload.begin(), payload.end(), packet.begin() + 4);
    packet.push_back(0x03);
    std::uint8_t checksum = 0;
    for (const std::uint8_t byte : packet)
        checksum ^= byte;
    packet.push_back(checksum);
    return packet;
}

}  // namespace

Bytes CommandPacket(const Bytes& payload) {
    return Packet(0x01, payload);
}

Bytes ResponsePacket(const Bytes& data) {
    return Packet(0x02, data);
}
