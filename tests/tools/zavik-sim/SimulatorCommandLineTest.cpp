#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "zavik-sim/SimulatorCommandLine.h"

namespace {

using namespace std::chrono_literals;

struct Parsed {
    int result = 0;
    int exitCode = -99;
    ProgramOptions options;
    std::string out;
    std::string err;
};

// The words of line, split at spaces, after the program name.
Parsed ParseLine(const std::string& line) {
    std::istringstream words(line);
    std::vector<std::string> kept{"zavik-sim"};
    for (std::string word; words >> word;) {
        kept.push_back(word);
    }
    std::vector<const char*> arguments;
    for (const std::string& word : kept) {
        arguments.push_back(word.c_str());
    }
    Parsed parsed;
    std::ostringstream out;
    std::ostringstream err;
    parsed.result =
        SimulatorCommandLine::Parse(static_cast<int>(arguments.size()), arguments.data(),
                                    parsed.options, parsed.exitCode, out, err);
    parsed.out = out.str();
    parsed.err = err.str();
    return parsed;
}

TEST(SimulatorCommandLine, EveryOptionReachesTheConfiguration) {
    const Parsed parsed = ParseLine(
        "--port 12 --port-dir /tmp/p --firmware FW-2.5 --fault status=0xFA:0x14@2 --fault silent "
        "--delay-ms 25 --pace --frame-timeout-ms 0 --seed 99 --verbose --packet-log /tmp/l.txt "
        "--state-file /tmp/s.txt --exit-after-ms 1500");
    ASSERT_EQ(parsed.result, 0) << parsed.err;
    const SimulatorConfig& config = parsed.options.simulator;
    EXPECT_EQ(config.portNumber, 12);
    EXPECT_EQ(config.portDirectory, "/tmp/p");
    EXPECT_EQ(config.firmwareVersion, L"FW-2.5");
    ASSERT_EQ(config.faults.size(), 2u);
    EXPECT_EQ(config.faults[0].ToText(), L"status=0xFA:0x14@2");
    EXPECT_EQ(config.faults[1].ToText(), L"silent");
    EXPECT_EQ(config.answerDelay, 25ms);
    EXPECT_TRUE(config.pace);
    EXPECT_EQ(config.frameTimeout, 0ms);
    EXPECT_EQ(config.randomSeed, 99u);
    EXPECT_NE(config.verboseStream, nullptr);
    EXPECT_EQ(config.packetLogPath, "/tmp/l.txt");
    EXPECT_EQ(config.stateFilePath, "/tmp/s.txt");
    EXPECT_EQ(parsed.options.exitAfter, 1500ms);
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
        {"--fault slow", "unknown fault kind \"slow\""},
        {"--port 0", "--port"},
        {"--delay-ms -5", "--delay-ms"},
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
