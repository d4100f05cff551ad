#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "app/Json.h"
#include "ostra-cli/Console.h"
#include "ostra-cli/ScriptCommandText.h"
#include "ostra-cli/StderrDiagnostics.h"
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
    for (const auto& [hex, text] : cases)
        EXPECT_EQ(ScriptCommandText::Describe(HexBytes(hex).data(), leds), text) << hex;
    EXPECT_EQ(ScriptCommandText::Describe(HexBytes("0C 10 00 00 00 00 00 00 00 00").data(),
                                          {{L"Blue", 0}}),
              L"SetIntensity3 LED 3 16");
}

// Text that would retitle the terminal reaches both outputs as escapes; other Latin-1 stays.
TEST(TerminalOutput, ShowsControlCharactersEscaped) {
    const std::wstring hostile =
        L"Seq\x1b]0;owned\x07 \x9b"
        L"2J\u00e9\t\x7f";
    const std::string shown = "Seq\\x1B]0;owned\\x07 \\x9B2J\xe9\t\\x7F";
    std::ostringstream out, err;
    Console console(out, false, true);
    StderrDiagnostics diagnostics(err);

    console.Progress(hostile);
    console.Line(hostile);
    diagnostics.AddLogMessage(LogLevel::Error, hostile);

    EXPECT_EQ(out.str(), "\r" + shown + "\x1b[K\n" + shown + "\n");
    EXPECT_EQ(err.str(), "ostra-cli: Error: " + shown + "\n");
}

// Latin-1 text is printed as ASCII escapes; durations rounded to 0.1 ms, whole ones as integers.
TEST(JsonOutput, PrintsTextAndDurationsAsScriptsRead) {
    const nlohmann::ordered_json json = {{"name", JsonText(L"Gr\u00fcn")},
                                         {"durationMs", JsonMilliseconds(5.1 + 0.1)},
                                         {"wholeMs", JsonMilliseconds(10.0)}};
    EXPECT_EQ(json["name"].get<std::string>(), "Gr\xc3\xbcn");
    EXPECT_EQ(JsonLine(json), R"({"name":"Gr\u00fcn","durationMs":5.2,"wholeMs":10})");
}

}  // namespace
