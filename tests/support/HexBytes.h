#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Bytes as the device and the emulator exchange them, written out independently of the code
// under test.
using Bytes = std::vector<std::uint8_t>;

// "02 01 01 00" as bytes; blanks between the pairs are optional.
Bytes HexBytes(const std::string& hex);

// The bytes in the same notation, for readable failure output.
std::string ToHex(const Bytes& bytes);
// Each packet in that notation, from the one at index first on.
std::vector<std::string> ToHex(const std::vector<Bytes>& packets, std::size_t first = 0);
// Hex texts rewritten in the notation ToHex() gives, so they compare with its output.
std::vector<std::string> CanonicalHex(const std::vector<std::string>& hex);

// A command packet around the payload: STX 02, type 01, the payload size in two bytes
// (little-endian), the payload, ETX 03 and the XOR of every byte before it.
Bytes CommandPacket(const Bytes& payload);
