#include <gtest/gtest.h>

#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "zavik-sim/SimulatorCommandLine.h"

namespace {

struct Parsed {
    int result = 0;
    int exitCode = -99;
    ProgramOptions options;
    std::string out;
    std::string err;
};

// The words of line, split at spaces, after the program name.
Parsed ParseLine(const std::string& line) {
    std::istringstream words("zavik-sim " + line);
    const std::vector<std::string> kept{std::istream_iterator<std::string>(words), {}};
    std::vector<const char*> arguments;
    for (const std::string& word : kept) {
        arguments.push_back(word.c_str());
    }
    Parsed parsed;
    std::ostringstream out, err;
    parsed.result =
        SimulatorCommandLine::Parse(static_cast<int>(arguments.size()), arguments.data(),
                                    parsed.options, parsed.exitCode, out, err);
    parsed.out = out.str();
    parsed.err = err.str();
    return parsed;
}

// One option of each kind: a number, a text, a flag.  The rest are run by ProgramTest.
TEST(SimulatorCommandLine, OptionsReachTheConfiguration) {
    const Parsed parsed = ParseLine("--port 12 --firmware FW-2.5 --pace");
    ASSERT_EQ(parsed.result, 0) << parsed.err;
    EXPECT_EQ(parsed.options.simulator.portNumber, 12);
    EXPECT_EQ(parsed.options.simulator.firmwareVersion, L"FW-2.5");
    EXPECT_TRUE(parsed.options.simulator.pace);
}

// The exit statuses scripts rely on are documented where the user looks.
TEST(SimulatorCommandLine, HelpEndsWithTheExitStatuses) {
    const Parsed parsed = ParseLine("--help");
    EXPECT_EQ(parsed.result, -1);
    EXPECT_EQ(parsed.exitCode, 0);
    EXPECT_NE(parsed.out.find("Exit status: 0 after a signal or --exit-after-ms, 1 when it cannot "
                              "start, 2 for wrong options, 3 after a hangup fault."),
              std::string::npos)
        << parsed.out;
}

TEST(SimulatorCommandLine, RefusesAWrongLineWithExitCode2) {
    const std::pair<std::string, std::string> rows[] = {
        {"--port 0", "--port"},
        {"--no-such-option", "--no-such-option"},
    };
    for (const auto& [line, explanation] : rows) {
        const Parsed parsed = ParseLine(line);
        EXPECT_EQ(parsed.result, -1) << line;
        EXPECT_EQ(parsed.exitCode, 2) << line;
        EXPECT_NE(parsed.err.find(explanation), std::string::npos) << parsed.err;
    }
}

}  // namespace
