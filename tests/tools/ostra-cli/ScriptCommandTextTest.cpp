#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "ostra-cli/ScriptCommandText.h"
#include "support/HexBytes.h"

namespace {

TEST(ScriptCommandTextTest, DescribesTheRecordByTheDeviceLayout) {
    // The LEDs of data/OstraSetup.cfg: table order Blue, Green, Red with device IDs 0, 2, 1.
    const ScriptCommandText::LedNames leds{{L"Blue", 0}, {L"Green", 2}, {L"Red", 1}};
    const std::vector<std::pair<std::string, std::wstring>> cases{
        {"00 FF FF FF FF FF FF FF FF 00", L"WaitSteps 18446744073709551615"},
        // LED masks by device ID: bit 1 is Red, bit 2 Green.
        {"01 02 00 06 00 00 00 00 00 00", L"SetOutputs Red on, Green off"},
        {"01 00 00 01 00 08 08 00 00 00", L"SetOutputs Blue off, TTL 3 high"},
        {"01 08 00 08 00 00 00 00 00 00", L"SetOutputs LED ID 3 on"},
        {"05 02 00 00 00 00 00 00 00 00", L"CallSequence 2"},
        {"06 00 00 00 00 01 40 42 0F 00", L"EndLoop to 16777216, 1000000 times"},
        {"07 60 70 00 00 00 00 00 00 00", L"SetTTLOutputs TTL 4 low, TTL 5 high, TTL 6 high"},
        // Intensity op codes by table position, the value as written (not inverted).
        {"0C FF 00 00 00 00 00 00 00 00", L"SetIntensity3 Red 255"},
        {"08 00 00 00 00 00 00 00 00 00", L"Unknown op code 0x08"}};
    for (const auto& [hex, text] : cases) {
        const Bytes record = HexBytes(hex);
        ASSERT_EQ(record.size(), 10u) << hex;
        EXPECT_EQ(ScriptCommandText::Describe(record.data(), leds), text) << hex;
    }
    const Bytes missingLed = HexBytes("0C 10 00 00 00 00 00 00 00 00");
    EXPECT_EQ(ScriptCommandText::Describe(missingLed.data(), {{L"Blue", 0}}),
              L"SetIntensity3 LED 3 16");
}

}  // namespace
