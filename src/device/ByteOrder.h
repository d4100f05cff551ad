#pragma once

#include <cstddef>
#include <cstdint>

// Explicit little-endian field access for device packets and script records; never overlay
// structs on byte buffers.
namespace ByteOrder {

template <typename T>
inline T ReadLittleEndian(const std::uint8_t* bytes) {
    T value = 0;
    for (std::size_t i = 0; i < sizeof(T); ++i) {
        value |= static_cast<T>(static_cast<T>(bytes[i]) << (8 * i));
    }
    return value;
}

template <typename T>
inline void WriteLittleEndian(std::uint8_t* bytes, T value) {
    for (std::size_t i = 0; i < sizeof(T); ++i) {
        bytes[i] = static_cast<std::uint8_t>(value >> (8 * i));
    }
}

inline std::uint16_t ReadU16(const std::uint8_t* bytes) {
    return ReadLittleEndian<std::uint16_t>(bytes);
}
inline std::uint32_t ReadU32(const std::uint8_t* bytes) {
    return ReadLittleEndian<std::uint32_t>(bytes);
}
inline std::uint64_t ReadU64(const std::uint8_t* bytes) {
    return ReadLittleEndian<std::uint64_t>(bytes);
}
inline void WriteU16(std::uint8_t* bytes, std::uint16_t value) {
    WriteLittleEndian(bytes, value);
}
inline void WriteU32(std::uint8_t* bytes, std::uint32_t value) {
    WriteLittleEndian(bytes, value);
}
inline void WriteU64(std::uint8_t* bytes, std::uint64_t value) {
    WriteLittleEndian(bytes, value);
}

}  // namespace ByteOrder
