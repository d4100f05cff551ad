#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "ostra-cli/CommandLine.h"
#include "tools/ostra-cli/CliFixture.h"

namespace {

using Arguments = std::vector<std::string>;

class HelpTest : public CliFixture, public testing::WithParamInterface<Arguments> {};

// Help never starts the application: no data directory, nothing on standard error.
TEST_P(HelpTest, EverySubcommandHasHelpWithTheExitCodes) {
    Arguments arguments = GetParam();
    std::string path;
    for (const std::string& word : arguments) {
        path += " " + word;
    }
    arguments.push_back("--help");
    const CliResult result = Run(arguments);
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_NE(result.out.find("Usage: ostra-cli" + path), std::string::npos) << result.out;
    EXPECT_NE(result.out.find("  5  interrupted (SIGINT or SIGTERM during a run; the stop was "
                              "sent first)"),
              std::string::npos)
        << result.out;
    EXPECT_EQ(result.err, "");
    EXPECT_TRUE(DataDirectories().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Subcommands, HelpTest,
    testing::Values(Arguments{}, Arguments{"ports"}, Arguments{"check"}, Arguments{"show"},
                    Arguments{"timeline"}, Arguments{"connect"}, Arguments{"upload"},
                    Arguments{"run"}, Arguments{"stop"}, Arguments{"led"}, Arguments{"led", "on"},
                    Arguments{"led", "off"}, Arguments{"led", "intensity"},
                    Arguments{"led", "pulse-start"}, Arguments{"led", "pulse-stop"},
                    Arguments{"import"}, Arguments{"export"}, Arguments{"open-settings"},
                    Arguments{"save-settings"}));

struct UsageCase {
    Arguments arguments;
    // The message where it is ostra-cli's own (the parser words the others).
    std::string message = "";
};

void PrintTo(const UsageCase& c, std::ostream* out) {
    *out << testing::PrintToString(c.arguments);
}

class UsageErrorTest : public CliFixture, public testing::WithParamInterface<UsageCase> {};

TEST_P(UsageErrorTest, IsExitCodeTwoBeforeAnythingStarts) {
    const CliResult result = Run(GetParam().arguments);
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_EQ(result.out, "");
    EXPECT_NE(result.err, "");
    EXPECT_EQ(result.err.rfind(GetParam().message, 0), 0u) << result.err;
    EXPECT_TRUE(DataDirectories().empty());
}

// Scripts get the failure report they get for every other failure.
TEST_P(UsageErrorTest, WithJsonIsTheFailureReport) {
    CliResult result;
    nlohmann::ordered_json json = RunJson(GetParam().arguments, &result);
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_EQ(Keys(json), (std::vector<std::string>{"command", "ok", "exitCode", "errors",
                                                    "dataDirectory", "logFile"}));
    EXPECT_EQ(json["ok"], false);
    EXPECT_EQ(json["exitCode"], 2);
    ASSERT_EQ(json["errors"].size(), 1u);
    EXPECT_EQ(json["errors"][0].get<std::string>().rfind(GetParam().message, 0), 0u) << json;
    EXPECT_NE(result.err, "");
}

INSTANTIATE_TEST_SUITE_P(
    CommandLines, UsageErrorTest,
    testing::Values(
        UsageCase{{}}, UsageCase{{"frobnicate"}, "Unknown subcommand \"frobnicate\"; see --help."},
        UsageCase{{"run"}}, UsageCase{{"run", "x"}}, UsageCase{{"run", "1", "2"}},
        UsageCase{{"led"}},
        UsageCase{{"led", "blink", "Blue"}, "Unknown subcommand \"blink\"; see --help."},
        UsageCase{{"led", "on"}}, UsageCase{{"led", "intensity", "Blue"}},
        UsageCase{{"led", "intensity", "Blue", "-5"}},
        UsageCase{{"led", "pulse-start", "Blue", "--loops", "-1"}}, UsageCase{{"show", "-1"}},
        UsageCase{{"led", "pulse-start", "Blue", "--on", "fast"}}, UsageCase{{"check"}},
        UsageCase{{"import", "1", "Name"}}, UsageCase{{"export", "1"}},
        UsageCase{{"show", "--bogus"}}, UsageCase{{"--read-timeout-ms", "0", "show"}}));

std::optional<CliOptions> Parse(Arguments arguments) {
    arguments.insert(arguments.begin(), "ostra-cli");
    std::vector<const char*> argv;
    for (const std::string& word : arguments) {
        argv.push_back(word.c_str());
    }
    int exitCode = 0;
    std::ostringstream out;
    std::ostringstream err;
    CommandLine::UsageError usage;
    return CommandLine::Parse(static_cast<int>(argv.size()), argv.data(), exitCode, out, err,
                              usage);
}

// Numbers are decimal, as in the files: a leading zero is not octal, and 0x is refused.
TEST(CommandLineParse, NumbersAreDecimalAndLabelsKept) {
    EXPECT_EQ(Parse({"import", "020", "x", "f"})->sequence, 20u);
    EXPECT_EQ(Parse({"led", "intensity", "Blue", "010"})->intensity, 10u);
    const std::optional<CliOptions> pulse =
        Parse({"led", "pulse-start", "Blue", "--loops", "+007", "--on", "00.5"});
    EXPECT_EQ(pulse->loopCount, 7u);
    EXPECT_EQ(pulse->widthOn, 0.5);
    // An empty label is a label, which the device model refuses, not "every LED".
    EXPECT_EQ(Parse({"led", "pulse-stop", ""})->labels, std::vector<std::string>{""});
    for (const Arguments& refused :
         {Arguments{"run", "0x10"}, Arguments{"led", "pulse-start", "Blue", "--off", "0x1p3"},
          Arguments{"led", "intensity", "Blue", "0b1"}}) {
        EXPECT_FALSE(Parse(refused)) << testing::PrintToString(refused);
    }
}

TEST_F(CliFixture, TheScriptOfASequenceNeedsItsNumber) {
    const CliResult result = Run({"show", "--script"});
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_NE(result.err.find("ostra-cli: --script needs a sequence number N."), std::string::npos)
        << result.err;
}

TEST_F(CliFixture, AMissingSetupFileIsAStartUpFailure) {
    const CliResult result = Run({"--setup-dir", File("nowhere").string(), "show"});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_NE(result.err.find("ostra-cli: Configuration Error: Error, setup file (" +
                              File("nowhere").string() +
                              "/OstraSetup.cfg) could not be found or was invalid.  Unable to "
                              "start application, please contact Velorin support"),
              std::string::npos)
        << result.err;
    // The settings file must not be made from a run that never started.
    EXPECT_FALSE(std::filesystem::exists(SettingsFile()));
}

}  // namespace
