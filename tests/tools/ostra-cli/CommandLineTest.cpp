#include <gtest/gtest.h>

#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "ostra-cli/CliProgram.h"
#include "ostra-cli/CommandLine.h"
#include "support/FaultRules.h"
#include "support/FileBytes.h"
#include "support/MarkerSettings.h"
#include "support/PrivateUserEnvironment.h"
#include "support/TempDir.h"
#include "tools/ostra-cli/CliFixture.h"

namespace {

using Arguments = std::vector<std::string>;

std::vector<const char*> Argv(const Arguments& arguments) {
    std::vector<const char*> argv{"ostra-cli"};
    for (const std::string& word : arguments)
        argv.push_back(word.c_str());
    return argv;
}

// The program in this process: help and refused command lines touch only the two streams.
ProcessResult RunHere(const Arguments& arguments) {
    const std::vector<const char*> argv = Argv(arguments);
    std::ostringstream out, err;
    const int exitCode =
        CliProgram::Run(static_cast<int>(argv.size()), argv.data(), out, err, false);
    return {exitCode, out.str(), err.str()};
}

TEST(CommandLineTest, EverySubcommandHasHelpWithTheExitCodes) {
    for (const std::string path : {"", " upload", " led", " led pulse-start", " open-settings"}) {
        std::istringstream words(path + " --help");
        const ProcessResult result = RunHere({std::istream_iterator<std::string>(words), {}});
        EXPECT_EQ(result.exitCode, 0) << path;
        EXPECT_THAT(result.out, HasSubstr("Usage: ostra-cli" + path));
        EXPECT_THAT(result.out, HasSubstr("\n  2  usage error (wrong command line)\n"));
    }
}

// Exit code 2, explained on standard error with the refused word escaped; with --json the usual
// failure report (the message where ostra-cli, not the parser, words it). Numbers are decimal,
// as in the files: 0x is refused. (In a private environment: a number taken would start the core.)
TEST(CommandLineTest, AUsageErrorIsExitCodeTwoAndWithJsonTheFailureReport) {
    const TempDir dir;
    const PrivateUserEnvironment environment(dir.Path());
    for (const auto& [arguments, said] : std::vector<std::pair<Arguments, std::string>>{
             {{}, ""},
             {{"led", "blink", "Blue"}, "Unknown subcommand \"blink\"; see --help."},
             {{"--read-timeout-ms", "0", "show"}, ""},
             {{"import", "1", "Name"}, ""},
             {{"run", "0x10"}, "0x10"},
             {{"import", "00x10", "x", "f"}, "00x10"},
             {{"show", "\x1b[31m3"}, "\\x1B[31m3"},
             {{"led", "intensity", "Blue", "00x20"}, "00x20"},
             {{"led", "pulse-start", "Blue", "--on", "nan"}, "nan"},
             {{"led", "pulse-start", "Blue", "--loops", "00x3"}, "00x3"},
             {{"timeline", "3", "--max-events", "0x5"}, "0x5"}}) {
        const std::string name = testing::PrintToString(arguments);
        const ProcessResult text = RunHere(arguments);
        EXPECT_EQ(text.exitCode, 2) << name;
        EXPECT_EQ(text.out, "") << name;
        // A message of ostra-cli's own opens the line; a refused word is echoed in the parser's.
        const bool own = said.starts_with("Unknown");
        EXPECT_TRUE(!text.err.empty() &&
                    (own ? text.err.starts_with(said) : text.err.find(said) != std::string::npos))
            << text.err;
        EXPECT_EQ(text.err.find('\x1b'), std::string::npos) << text.err;

        Arguments withJson{"--json"};
        withJson.insert(withJson.end(), arguments.begin(), arguments.end());
        const ProcessResult report = RunHere(withJson);
        EXPECT_EQ(report.exitCode, 2) << name;
        const auto json = nlohmann::ordered_json::parse(report.out, nullptr, false);
        ASSERT_TRUE(json.is_object()) << name << report.out;
        EXPECT_EQ(Keys(json), (std::vector<std::string>{"command", "ok", "exitCode", "errors",
                                                        "dataDirectory", "logFile"}));
        EXPECT_EQ(json["exitCode"], 2) << name;
        ASSERT_EQ(json["errors"].size(), 1u) << name;
        EXPECT_TRUE(!own || json["errors"][0].get<std::string>().starts_with(said)) << json;
    }
}

std::optional<CliOptions> Parse(const Arguments& arguments) {
    const std::vector<const char*> argv = Argv(arguments);
    int exitCode = 0;
    std::ostringstream out;
    CommandLine::UsageError usage;
    return CommandLine::Parse(static_cast<int>(argv.size()), argv.data(), exitCode, out, out,
                              usage);
}

// Numbers are decimal, as in the files: a leading zero is not octal, and 0x is refused.
TEST(CommandLineTest, NumbersAreDecimalAndLabelsKept) {
    EXPECT_EQ(Parse({"import", "020", "x", "f"})->sequence, 20u);
    EXPECT_EQ(Parse({"led", "intensity", "Blue", "010"})->intensity, 10u);
    const std::optional<CliOptions> pulse =
        Parse({"led", "pulse-start", "Blue", "--loops", "+007", "--on", "00.5"});
    EXPECT_EQ(pulse->loopCount, 7u);
    EXPECT_EQ(pulse->widthOn, 0.5);
    // An empty label is a label, which the device model refuses, not "every LED".
    EXPECT_EQ(Parse({"led", "pulse-stop", ""})->labels, std::vector<std::string>{""});
    EXPECT_EQ(Parse({"timeline", "3", "--max-events", "010"})->maxEvents, 10u);
}

// message: part of standard error; settings: added to the operator's before the run.
struct FailureCase {
    Arguments arguments;
    int exitCode;
    std::string message;
    std::size_t packets = 0;
    std::string settings = "";
};

// Each failure its own exit code and message, and the operator's settings file stays as it was.
TEST_F(CliFixture, EachFailureHasItsExitCodeAndMessage) {
    WriteFileBytes(File("steps.cfg"), "-AddSequenceCommandSet 0 0\n");
    driver_.Config().faults.push_back(StatusFault(0x0A, 0xFF));
    StartSimulator();
    for (const FailureCase& c : std::vector<FailureCase>{
             {{"--setup-dir", File("x").string(), "show"}, 1, ": Configuration Error: "},
             {{"show", "--script"}, 2, "ostra-cli: --script needs a sequence number N.\n"},
             {{"show", "1"}, 3, "ostra-cli: Sequence 1 is not defined.\n"},
             {{"import", "0", "New", File("steps.cfg").string()},
              3,
              "ostra-cli: Sequence 0 (Marker) is already defined; choose a free number.\n"},
             // Not on the device: the connect and the refused start; a refused LED command.
             {{"run", "0"}, 4, "ostra-cli: Error: ", 5},
             {{"led", "on", "Blue"}, 4, "ostra-cli: Error: ", 5},
             {{"upload"},
              3,
              "ostra-cli: Sequence 4 (Mixed) cannot be converted to script commands; nothing "
              "was uploaded.\n",
              0,
              "-AddSequence 4 \"Mixed\"\n-AddSequenceCommandSet 4 0\n-AddSequenceCommand 4 0 "
              "\"-SetIntensity Blue 10\"\n-AddSequenceCommand 4 0 \"-On Blue\"\n"},
             // A settings file that stopped at a failing line holds a cut-short protocol.
             {{"run", "0", "--upload"},
              3,
              ":7: the settings file stopped at this line: -AddSequenceCommand 0 0 \"-On A\"",
              0,
              "-AddSequenceCommand 0 0 \"-On A\"\n"}}) {
        const std::string name = testing::PrintToString(c.arguments);
        WriteSettings(kMarkerSettings + c.settings);
        driver_.MarkHandled();
        const ProcessResult result = Run(c.arguments);
        EXPECT_EQ(result.exitCode, c.exitCode) << name;
        EXPECT_THAT(result.err, HasSubstr(c.message)) << name;
        EXPECT_EQ(ReceivedPayloads().size(), c.packets) << name;
        EXPECT_EQ(ReadFileBytes(SettingsFile()), kMarkerSettings + c.settings) << name;
    }
}

// The settings loaded only in part: the command worked, but the report is not ok.
TEST_F(CliFixture, AnErrorOnTheWayMakesTheReportNotOk) {
    WriteSettings("-AddSequence 0 \"M\"\n-SetIntensity Purple 3\n");
    ProcessResult result;
    const nlohmann::ordered_json json = RunJson({"show"}, &result);
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(json["ok"], false);
    EXPECT_EQ(json["errors"],
              nlohmann::ordered_json::array(
                  {"Error validating color value(Purple), the color does not exist."}));
    EXPECT_THAT(result.err, HasSubstr("\nostra-cli: the log of this run: "));
}

}  // namespace
