#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sequences/ContainerFixture.h"
#include "sequences/SequenceContainer.h"

namespace {

std::wstring Verify(const std::wstring& word, const std::wstring& problem) {
    return L"Error verifying " + word + L" command, the " + problem;
}

std::wstring Count(const std::wstring& word, int expected, int given) {
    return L"Error, the " + word + L" command expects " + std::to_wstring(expected) +
           L" arguments.  There were " + std::to_wstring(given) + L" specified.";
}

std::wstring Added(const std::wstring& text, const std::wstring& problem) {
    return L"Error adding command(" + text + L") to sequence 1 and command set 0" + problem;
}

const std::wstring kUnstorable =
    L".  The command contains a double quote, # or //, which a settings file cannot hold.";

// Quotes and // are refused by the same check as in names. Sequence 0 exists to be called; each
// command goes into sequence 1's empty set. An empty message means the command is stored verbatim.
TEST_F(ContainerFixture, CommandsAreAcceptedOrRefusedWithTheirMessage) {
    const std::pair<std::wstring, std::wstring> cases[] = {
        {L"-on blue", L""},
        {L"-On Purple", Verify(L"-On", L"color value(Purple) at index 0 is invalid.")},
        {L"-OFF Blue Red", Count(L"-Off", 1, 2)},
        {L"-setintensity RED 255", L""},
        {L"-SetIntensity Blue 12abc", L""},
        {L"-SetIntensity Blue 256",
         Verify(L"-SetIntensity", L"intensity(256) is out of range(0...255).")},
        {L"-CALL 0", L""},
        {L"-Call 09", Verify(L"-Call",
                             L"sequence number(09) at index 0 is invalid.  There is not a "
                             L"valid sequence at the sequence number specified.")},
        {L"-Call 300",
         L"Error validating sequence number.  The sequence number(300) is out of range(0..254)."},
        {L"-loop 2", L""},
        {L"-Loop 1", Verify(L"-Loop", L"loop count(1) is out of range(2...1000000).")},
        {L"-Loop 99999999999",
         Verify(L"-Loop", L"loop count(2147483647) is out of range(2...1000000).")},
        {L"-EndLoop 1", Count(L"-EndLoop", 0, 1)},
        {L"-duration 1800000ms", L""},
        {L"-Duration 0.09",
         Verify(L"-Duration", L"duration(0.1) is out of range(0.1...1800000.0).")},
        {L"-Duration fast",
         Verify(L"-Duration", L"duration(0.0) is out of range(0.1...1800000.0).")},
        {L"-TTLLow 7", L"Error verifying -TTLLow command, the TTL bit (7) is invalid."},
        {L"-Blink Blue", Added(L"-Blink Blue", L".  The command is invalid.")},
        {L"-Duration 5#x", Added(L"-Duration 5#x", kUnstorable)},
    };
    Define(0, L"Callee", {{L"-Duration 2"}});
    Define(1, L"Target", {{}});
    for (const auto& [text, message] : cases) {
        ResetRecords();
        const int result = container.AddCommand(1, 0, text);
        if (message.empty()) {
            EXPECT_EQ(result, 0) << log.Text();
            EXPECT_EQ(container.GetCommandSets(1), std::vector<CommandSet>{{text}});
            ASSERT_EQ(container.ClearCommandSet(1, 0), 0);
            EXPECT_EQ(changes, 2);
        } else {
            EXPECT_EQ(result, -1) << text;
            EXPECT_EQ(ErrorMessages(), std::vector<std::wstring>{message});
            EXPECT_EQ(container.GetCommandSets(1), std::vector<CommandSet>{{}});
            EXPECT_EQ(changes, 0);
        }
    }
}

}  // namespace
