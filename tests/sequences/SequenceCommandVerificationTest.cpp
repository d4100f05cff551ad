#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sequences/ContainerFixture.h"
#include "sequences/SequenceContainer.h"

namespace {

const std::wstring kCannotBeStored =
    L".  The command contains a double quote, # or //, which a settings file cannot hold.";

// Sequence 0 exists to be called; sequence 1 has one empty command set to add into.
class CommandVerificationTest
    : public ContainerFixture,
      public ::testing::WithParamInterface<std::pair<std::wstring, std::wstring>> {
  protected:
    void SetUp() override {
        Define(0, L"Callee", {{L"-Duration 2"}});
        Define(1, L"Target", {{}});
        ResetRecords();
    }
};

// An empty expected message means the command is stored verbatim.
TEST_P(CommandVerificationTest, AcceptsOrRefusesWithItsMessage) {
    const auto& [text, message] = GetParam();
    const int result = container.AddCommand(1, 0, text);
    if (message.empty()) {
        EXPECT_EQ(result, 0) << log.Text();
        EXPECT_EQ(container.GetCommandSets(1), std::vector<CommandSet>{{text}});
        EXPECT_EQ(changes, 1);
        EXPECT_EQ(log.messages.size(), 0u);
    } else {
        EXPECT_EQ(result, -1);
        EXPECT_EQ(ErrorMessages(), std::vector<std::wstring>{message});
        EXPECT_EQ(container.GetCommandSets(1), std::vector<CommandSet>{{}});
        EXPECT_EQ(changes, 0);
    }
}

std::wstring Count(const std::wstring& word, int expected, int given) {
    return L"Error, the " + word + L" command expects " + std::to_wstring(expected) +
           L" arguments.  There were " + std::to_wstring(given) + L" specified.";
}

std::wstring Invalid(const std::wstring& text) {
    return L"Error adding command(" + text +
           L") to sequence 1 and command set 0.  The command "
           L"is invalid.";
}

std::wstring Unstorable(const std::wstring& text) {
    return L"Error adding command(" + text + L") to sequence 1 and command set 0" + kCannotBeStored;
}

std::pair<std::wstring, std::wstring> Ok(const std::wstring& text) {
    return {text, L""};
}

INSTANTIATE_TEST_SUITE_P(
    OnOff, CommandVerificationTest,
    ::testing::Values(
        Ok(L"-On Blue"), Ok(L"-on blue"), Ok(L"-OFF GREEN"), Ok(L"-Off Red"),
        std::pair{L"-On Purple",
                  L"Error verifying -On command, the color value(Purple) at index 0 is invalid."},
        std::pair{L"-off bLUEs",
                  L"Error verifying -Off command, the color value(bLUEs) at index 0 is invalid."},
        std::pair{L"-On", Count(L"-On", 1, 0)}, std::pair{L"-OFF Blue Red", Count(L"-Off", 1, 2)}));

INSTANTIATE_TEST_SUITE_P(
    SetIntensity, CommandVerificationTest,
    ::testing::Values(
        Ok(L"-SetIntensity Blue 0"), Ok(L"-SetIntensity Blue 255"), Ok(L"-setintensity RED 7"),
        Ok(L"-SetIntensity Blue abc"), Ok(L"-SetIntensity Blue 12abc"),
        std::pair{L"-SetIntensity Blue 256",
                  L"Error verifying -SetIntensity command, the intensity(256) is out of "
                  L"range(0...255)."},
        std::pair{L"-SetIntensity Blue -1",
                  L"Error verifying -SetIntensity command, the intensity(4294967295) is out of "
                  L"range(0...255)."},
        std::pair{L"-SetIntensity Pink 5",
                  L"Error verifying -SetIntensity command, the color value(Pink) at index 0 is "
                  L"invalid."},
        std::pair{L"-SetIntensity Blue", Count(L"-SetIntensity", 2, 1)},
        std::pair{L"-SetIntensity Blue 1 2", Count(L"-SetIntensity", 2, 3)}));

INSTANTIATE_TEST_SUITE_P(
    Call, CommandVerificationTest,
    ::testing::Values(
        Ok(L"-Call 0"), Ok(L"-CALL 0"), Ok(L"-Call x"),
        std::pair{L"-Call 9",
                  L"Error verifying -Call command, the sequence number(9) at index 0 is invalid.  "
                  L"There is not a valid sequence at the sequence number specified."},
        std::pair{L"-Call 09",
                  L"Error verifying -Call command, the sequence number(09) at index 0 is "
                  L"invalid.  There is not a valid sequence at the sequence number specified."},
        std::pair{L"-Call 300",
                  L"Error validating sequence number.  The sequence number(300) is out of "
                  L"range(0..254)."},
        std::pair{L"-Call -1",
                  L"Error validating sequence number.  The sequence number(4294967295) is out of "
                  L"range(0..254)."},
        std::pair{L"-Call", Count(L"-Call", 1, 0)},
        std::pair{L"-Call 0 0", Count(L"-Call", 1, 2)}));

INSTANTIATE_TEST_SUITE_P(
    Loop, CommandVerificationTest,
    ::testing::Values(
        Ok(L"-Loop 2"), Ok(L"-Loop 1000000"), Ok(L"-loop 17"), Ok(L"-EndLoop"), Ok(L"-ENDLOOP"),
        std::pair{
            L"-Loop 1",
            L"Error verifying -Loop command, the loop count(1) is out of range(2...1000000)."},
        std::pair{L"-Loop 1000001",
                  L"Error verifying -Loop command, the loop count(1000001) is out of "
                  L"range(2...1000000)."},
        std::pair{L"-Loop -5",
                  L"Error verifying -Loop command, the loop count(4294967291) is out of "
                  L"range(2...1000000)."},
        std::pair{L"-Loop 99999999999",
                  L"Error verifying -Loop command, the loop count(2147483647) is out of "
                  L"range(2...1000000)."},
        std::pair{L"-Loop 5 6", Count(L"-Loop", 1, 2)}, std::pair{L"-Loop", Count(L"-Loop", 1, 0)},
        std::pair{L"-EndLoop 1", Count(L"-EndLoop", 0, 1)}));

INSTANTIATE_TEST_SUITE_P(
    Duration, CommandVerificationTest,
    ::testing::Values(Ok(L"-Duration 0.1"), Ok(L"-Duration 1800000"), Ok(L"-duration 2.5ms"),
                      std::pair{L"-Duration 0",
                                L"Error verifying -Duration command, the duration(0.0) is out of "
                                L"range(0.1...1800000.0)."},
                      std::pair{L"-Duration 0.09",
                                L"Error verifying -Duration command, the duration(0.1) is out of "
                                L"range(0.1...1800000.0)."},
                      std::pair{
                          L"-Duration 1800000.5",
                          L"Error verifying -Duration command, the duration(1800000.5) is out of "
                          L"range(0.1...1800000.0)."},
                      std::pair{L"-Duration fast",
                                L"Error verifying -Duration command, the duration(0.0) is out of "
                                L"range(0.1...1800000.0)."},
                      std::pair{L"-Duration", Count(L"-Duration", 1, 0)}));

INSTANTIATE_TEST_SUITE_P(
    TTL, CommandVerificationTest,
    ::testing::Values(
        Ok(L"-TTLHigh 3"), Ok(L"-TTLLow 6"), Ok(L"-ttlhigh 4"),
        std::pair{L"-TTLLow 7", L"Error verifying -TTLLow command, the TTL bit (7) is invalid."},
        std::pair{L"-TTLHigh 03",
                  L"Error verifying -TTLHigh command, the TTL bit (03) is invalid."},
        std::pair{L"-tTLhigh 2", L"Error verifying -TTLHigh command, the TTL bit (2) is invalid."},
        std::pair{L"-TTLLow", Count(L"-TTLLow", 1, 0)}));

INSTANTIATE_TEST_SUITE_P(Unknown, CommandVerificationTest,
                         ::testing::Values(std::pair{L"-Blink Blue", Invalid(L"-Blink Blue")},
                                           std::pair{L"On Blue", Invalid(L"On Blue")},
                                           std::pair{L"", Invalid(L"")},
                                           std::pair{L"   ", Invalid(L"   ")}));

// Commands that pass their word's rules but could not be read back from a settings file.
INSTANTIATE_TEST_SUITE_P(
    Unstorable, CommandVerificationTest,
    ::testing::Values(std::pair{L"-Duration 5#x", Unstorable(L"-Duration 5#x")},
                      std::pair{L"-Loop 3//", Unstorable(L"-Loop 3//")},
                      std::pair{L"-On \"Blue\"", Unstorable(L"-On \"Blue\"")},
                      std::pair{L"-Call \"0\"", Unstorable(L"-Call \"0\"")},
                      std::pair{L"-SetIntensity Red 20#", Unstorable(L"-SetIntensity Red 20#")}));

TEST_F(ContainerFixture, TTLBitNamesComeFromTheDeviceModelWhenHandedOver) {
    container.SetTTLBitNames({L"A", L"B"});
    Define(1, L"Target", {{}});
    ResetRecords();
    EXPECT_EQ(container.AddCommand(1, 0, L"-TTLHigh b"), 0);
    EXPECT_EQ(container.AddCommand(1, 0, L"-TTLLow 3"), -1);
    EXPECT_EQ(
        ErrorMessages(),
        std::vector<std::wstring>{L"Error verifying -TTLLow command, the TTL bit (3) is invalid."});
}

TEST_F(ContainerFixture, ColourLabelsAreReplacedAsAWhole) {
    container.SetColorLabels({L"Amber"});
    Define(1, L"Target", {{}});
    EXPECT_EQ(container.AddCommand(1, 0, L"-On amber"), 0);
    EXPECT_EQ(container.AddCommand(1, 0, L"-On Blue"), -1);
    EXPECT_TRUE(container.IsValidColor(L"AMBER"));
    EXPECT_FALSE(container.IsValidColor(L"Blue"));
}

TEST_F(ContainerFixture, ANullLogDropsMessagesButStillRefuses) {
    container.SetLogFile(nullptr);
    EXPECT_EQ(container.AddSequence(255, L"X"), -1);
    EXPECT_EQ(container.AddSequence(3, L"X"), 0);
    EXPECT_EQ(container.AddCommand(3, 0, L"-On Blue"), -1);
    EXPECT_EQ(log.messages.size(), 0u);
}

}  // namespace
