#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "ostra-cli/Console.h"
#include "ostra-cli/Json.h"
#include "ostra-cli/StderrDiagnostics.h"

namespace {

// A sequence name or firmware text that would retitle the terminal and clear its screen reaches
// both outputs as visible escapes; other Latin-1 text is left as it is.
TEST(TerminalOutput, ShowsControlCharactersEscaped) {
    const std::wstring hostile =
        L"Seq\x1b]0;owned\x07 \x9b"
        L"2J\u00e9\t\x7f";
    const std::string shown = "Seq\\x1B]0;owned\\x07 \\x9B2J\xe9\t\\x7F";
    std::ostringstream out;
    std::ostringstream err;
    Console console(out, false, true);
    StderrDiagnostics diagnostics(err);

    console.Progress(hostile);
    console.Line(hostile);
    diagnostics.AddLogMessage(LogLevel::Error, hostile);

    EXPECT_EQ(out.str(), "\r" + shown + "\x1b[K\n" + shown + "\n");
    EXPECT_EQ(err.str(), "ostra-cli: Error: " + shown + "\n");
}

// Latin-1 text reads back as UTF-8 but is printed as ASCII escapes; a computed duration is
// rounded to the device's 0.1 ms step, a whole one printed as an integer.
TEST(JsonOutput, PrintsTextAndDurationsAsScriptsRead) {
    const nlohmann::ordered_json json = {{"name", JsonText(L"Gr\u00fcn")},
                                         {"durationMs", JsonMilliseconds(5.1 + 0.1)},
                                         {"wholeMs", JsonMilliseconds(10.0)}};
    EXPECT_EQ(json["name"].get<std::string>(), "Gr\xc3\xbcn");
    EXPECT_EQ(JsonLine(json), R"({"name":"Gr\u00fcn","durationMs":5.2,"wholeMs":10})");
}

}  // namespace
