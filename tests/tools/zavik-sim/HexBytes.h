#pragma once

#include <cstdint>
#include <string>
#include <vector>

using Bytes = std::vector<std::uint8_t>;

// "02 01 01 00" as bytes; blanks between the pairs are optional.
Bytes HexBytes(const std::string& hex);

// The bytes in the same notation, for readable failure output.
std::string ToHex(const Bytes& bytes);

// A command packet around the payload: 02 01 <size> <payload> 03 <xor of everything before>.
Bytes CommandPacket(const Bytes& payload);
