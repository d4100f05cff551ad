#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// The commands the emulated firmware knows: ID, name for printouts, and the exact data length
// (ID byte included) a command packet of that kind must carry.
struct CommandInfo {
    std::uint8_t id;
    const wchar_t* name;
    std::size_t dataLength;
};

class CommandTable {
  public:
    // The entry for the ID, or nullptr for an ID the firmware does not know.
    static const CommandInfo* Find(std::uint8_t commandId);

    // "SetLEDIntensity" for a known ID, "0x33" for an unknown one.
    static std::wstring NameOf(std::uint8_t commandId);
};
