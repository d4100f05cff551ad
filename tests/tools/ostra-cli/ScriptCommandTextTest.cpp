#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "ostra-cli/ScriptCommandText.h"
#include "support/HexBytes.h"

namespace {

// The LEDs of data/OstraSetup.cfg: table order Blue, Green, Red with device IDs 0, 2, 1.
const ScriptCommandText::LedNames kLeds{{L"Blue", 0}, {L"Green", 2}, {L"Red", 1}};

struct RecordCase {
    std::string hex;
    std::wstring text;
};

void PrintTo(const RecordCase& c, std::ostream* out) {
    *out << c.hex;
}

class ScriptCommandTextTest : public testing::TestWithParam<RecordCase> {};

TEST_P(ScriptCommandTextTest, DescribesTheRecordByTheDeviceLayout) {
    const Bytes record = HexBytes(GetParam().hex);
    ASSERT_EQ(record.size(), 10u);
    EXPECT_EQ(ScriptCommandText::Describe(record.data(), kLeds), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Records, ScriptCommandTextTest,
    testing::Values(
        RecordCase{"00 63 00 00 00 00 00 00 00 00", L"WaitSteps 99"},
        RecordCase{"00 FF FF FF FF FF FF FF FF 00", L"WaitSteps 18446744073709551615"},
        // LED masks by device ID: bit 1 is Red, bit 2 Green.
        RecordCase{"01 02 00 06 00 00 00 00 00 00", L"SetOutputs Red on, Green off"},
        RecordCase{"01 00 00 01 00 08 08 00 00 00", L"SetOutputs Blue off, TTL 3 high"},
        RecordCase{"01 00 00 00 00 00 00 00 00 00", L"SetOutputs (no change)"},
        RecordCase{"01 08 00 08 00 00 00 00 00 00", L"SetOutputs LED ID 3 on"},
        RecordCase{"05 02 00 00 00 00 00 00 00 00", L"CallSequence 2"},
        RecordCase{"06 00 01 00 00 00 05 00 00 00", L"EndLoop to 1, 5 times"},
        RecordCase{"06 00 00 00 00 01 40 42 0F 00", L"EndLoop to 16777216, 1000000 times"},
        RecordCase{"07 00 10 00 00 00 00 00 00 00", L"SetTTLOutputs TTL 4 low"},
        RecordCase{"07 60 60 00 00 00 00 00 00 00", L"SetTTLOutputs TTL 5 high, TTL 6 high"},
        // Intensity op codes by table position, the value as written (not inverted).
        RecordCase{"0A C8 00 00 00 00 00 00 00 00", L"SetIntensity1 Blue 200"},
        RecordCase{"0B 00 00 00 00 00 00 00 00 00", L"SetIntensity2 Green 0"},
        RecordCase{"0C FF 00 00 00 00 00 00 00 00", L"SetIntensity3 Red 255"},
        RecordCase{"FF 00 00 00 00 00 00 00 00 00", L"EndOfSequence"},
        RecordCase{"08 00 00 00 00 00 00 00 00 00", L"Unknown op code 0x08"}));

TEST(ScriptCommandTextTest, NamesAnIntensityOfAMissingLEDByPosition) {
    const Bytes record = HexBytes("0C 10 00 00 00 00 00 00 00 00");
    EXPECT_EQ(ScriptCommandText::Describe(record.data(), {{L"Blue", 0}}),
              L"SetIntensity3 LED 3 16");
}

}  // namespace
