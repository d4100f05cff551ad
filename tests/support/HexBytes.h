#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Bytes as the device and the emulator exchange them.
using Bytes = std::vector<std::uint8_t>;

// "02 01 01 00" as bytes; blanks between the pairs are optional.
Bytes HexBytes(const std::string& hex);

// That notation: of bytes; of each packet from index first on; of hex texts, to compare.
std::string ToHex(const Bytes& bytes);
std::vector<std::string> ToHex(const std::vector<Bytes>& packets, std::size_t first = 0);
std::vector<std::string> CanonicalHex(const std::vector<std::string>& hex);

// STX 02, type 01, payload size (2 bytes, little-endian), payload, ETX 03, XOR of all before.
Bytes CommandPacket(const Bytes& payload);
// The same around a response's data section: type 02.
Bytes ResponsePacket(const Bytes& data);
