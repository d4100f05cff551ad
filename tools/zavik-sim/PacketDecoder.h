#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Human-readable descriptions of received packets for the emulator's printouts, e.g.
// "SetLEDIntensity LED 2 carried 55 (intensity 200)". Copes with any bytes.
class PacketDecoder {
  public:
    // A whole command packet as the parser delivered it; valid tells whether it passed the
    // framing checks.
    static std::wstring Describe(const std::vector<std::uint8_t>& packet, bool valid);

    // The data section of a well-framed packet.
    static std::wstring DescribeData(const std::uint8_t* data, std::size_t size);

    // The 10 bytes in hex followed by their meaning, e.g.
    // "00 E7 03 00 00 00 00 00 00 00 = WaitSteps 999".
    static std::wstring DescribeScriptRecord(const std::uint8_t* record);

  private:
    static std::wstring DescribeFields(const std::uint8_t* data);
    static std::wstring DescribeFramingFault(const std::vector<std::uint8_t>& packet);
    static std::wstring ScriptRecordMeaning(const std::uint8_t* record);
};
