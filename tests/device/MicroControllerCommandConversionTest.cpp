#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "device/MicroControllerCommandConversion.h"
#include "support/HexBytes.h"
#include "support/LogCapture.h"

namespace {

using CommandSets = std::vector<std::vector<std::wstring>>;
using Messages = std::vector<std::pair<LogLevel, std::wstring>>;

// Script commands in hex separated by commas, each padded with zeros to its ten bytes, then the
// end of the sequence: "01 00 00 02" is 01 00 00 02 00 00 00 00 00 00, FF 00 ... 00.
std::string Script(const std::string& commands) {
    Bytes bytes;
    std::istringstream stream(commands);
    std::string command;
    while (std::getline(stream, command, ',')) {
        Bytes record = HexBytes(command);
        record.resize(10);
        bytes.insert(bytes.end(), record.begin(), record.end());
    }
    Bytes end(10);
    end[0] = 0xFF;
    bytes.insert(bytes.end(), end.begin(), end.end());
    return ToHex(bytes);
}

std::pair<LogLevel, std::wstring> Error(const std::wstring& text) {
    return {LogLevel::Error, text};
}

// LEDs as the device model registers them: Blue, Green and Red with device IDs 0, 2 and 1.
class ConversionTest : public testing::Test {
  protected:
    void SetUp() override {
        conversion_.RegisterLED(L"Blue", 0);
        conversion_.RegisterLED(L"Green", 2);
        conversion_.RegisterLED(L"Red", 1);
    }
    LogCapture log_;
    MicroControllerCommandConversion conversion_{&log_};
};

TEST_F(ConversionTest, ConvertsByteForByte) {
    const struct {
        CommandSets sets;
        std::string script;
    } cases[] = {
        {{}, ""},
        {{{}}, "00"},
        // A set lasts 0.1 ms (one step) plus its duration: 100 ms waits 999 further steps.
        {{{L"-Duration 100"}}, "00, 00 E7 03"},
        {{{L"-Duration 0.1"}}, "00"},
        // Single precision: 0.15 + 0.05 rounds above 0.2.
        {{{L"-Duration 0.15"}}, "00, 00 01"},
        {{{L"-Duration 1800000"}}, "00, 00 7F A8 12 01"},
        {{{L"-Duration 1e300"}}, "00, 00 FF FF FF FF FF FF FF FF"},
        {{{L"-Duration 10", L"-Duration 5"}}, "00, 00 31"},
        // Masks by device ID: bit 0 Blue, bit 1 Red, bit 2 Green; TTL bits as numbered.
        {{{L"-On Blue", L"-On Green", L"-Off Red", L"-TTLHigh 6", L"-TTLLow 3"}},
         "01 05 00 07 00 40 48"},
        {{{L"-On Blue", L"-Off Blue", L"-TTLHigh 4", L"-TTLLow 4"}}, "01 00 00 01 00 00 10"},
        {{{L"-TTLLow 4"}}, "07 00 10"},
        {{{L"-On bLUE"}, {L"-Off \"Red\"", L"-TTLHigh \"3\""}},
         "01 01 00 01, 01 00 00 02 00 08 08"},  // labels in any case, arguments quoted
        {{{L"-Call 2"}, {L"-Call 258"}, {L"-Call x"}}, "05 02, 05 02, 05"},
        {{{L"-SetIntensity Blue 7"}, {L"-SetIntensity GREEN 200"}, {L"-SetIntensity Red 255"}},
         "0A 07, 0B C8, 0C FF"},
        {{{L"-SetIntensity Red 5", L"-Duration 5"}}, "0C 05, 00 31"},
        // EndLoop jumps to the first command inside its loop, counting waits.
        {{{L"-Loop 5"}, {L"-On Blue"}, {L"-Off Blue"}, {L"-EndLoop 7"}},
         "01 01 00 01, 01 00 00 01, 06 00 00 00 00 00 05"},
        {{{L"-TTLHigh 5", L"-Duration 10"},
          {L"-Loop 1000000"},
          {L"-Off Green", L"-Duration 0.5"},
          {L"-EndLoop"}},
         "07 20 20, 00 63, 01 00 00 04, 00 04, 06 00 02 00 00 00 40 42 0F"},
        {{{L"-Loop 2"}, {L"-On Red"}, {L"-EndLoop"}, {L"-Loop 3"}, {L"-Off Red"}, {L"-EndLoop"}},
         "01 02 00 02, 06 00 00 00 00 00 02, 01 00 00 02, 06 00 02 00 00 00 03"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.script);
        Bytes script{0xAB};
        EXPECT_EQ(conversion_.Convert(c.sets, script), 0);
        EXPECT_EQ(ToHex(script), Script(c.script));
        EXPECT_EQ(log_.messages, Messages{});
    }
    Bytes script;
    ASSERT_EQ(conversion_.Convert({{L"-On Blue"}, {L"-Loop 4"}, {L"-EndLoop"}}, script), 0);
    EXPECT_EQ(ToHex(script), Script("01 01 00 01"));
    EXPECT_EQ(log_.messages,
              (Messages{{LogLevel::Warning, L"Warning, empty loop found at index 1."}}));
}

TEST_F(ConversionTest, RefusesWithItsMessageAndLeavesTheOutput) {
    const std::wstring unknownAmber = L"Error getting LED ID, unrecognized color label: Amber.";
    const struct {
        CommandSets sets;
        Messages messages;
    } cases[] = {
        {{{L"x -On Blue"}},
         {Error(L"Error converting sequence commands to script commands.  The command(x -On "
                L"Blue) was invalid.")}},
        {{{L"-On Blue"}, {L"-Off Amber"}, {L"-On Violet"}}, {Error(unknownAmber)}},
        // The conversion's own argument count check has no log.
        {{{L"-Off Blue Red"}}, {}},
        // A TTL output the device lacks is refused, not uploaded as a command touching none.
        {{{L"-TTLLow 4"}, {L"-TTLHigh 9"}},
         {Error(L"Error converting sequence commands to script commands.  The command(-TTLHigh "
                L"9) was invalid.")}},
        // An intensity change takes the script command whole: a switch or TTL bit before it
        // would be lost, one after it cannot join (and lowering is named as raising).
        {{{L"-On Blue", L"-TTLHigh 3", L"-SetIntensity Red 5"}},
         {Error(
             L"Error updating Op Code for -SetIntensity command, it conflicts with the current op "
             L"code(1).")}},
        {{{L"-SetIntensity Red 5", L"-TTLLow 3"}},
         {Error(L"Error updating Op Code for -TTLHigh command, it conflicts with the current op "
                L"code(12).")}},
        {{{L"-On Blue"}, {L"-Loop 2"}, {L"-On Red", L"-Duration 5"}, {L"-Loop 3"}},
         {Error(L"Error, invalid start loop command found at index 3.")}},
        {{{L"-Loop 2"}, {L"-EndLoop"}, {L"-EndLoop"}},
         {{LogLevel::Warning, L"Warning, empty loop found at index 0."},
          Error(L"Error, invalid end loop command found at index 0.")}},
        {{{L"-On Blue"}, {L"-Loop 2"}, {L"-On Red"}},
         {Error(L"Error, invalid start loop command found at index 1.  There is not a "
                L"corresponding end loop command.")}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.sets));
        log_.messages.clear();
        Bytes script{0xAB, 0xCD};
        EXPECT_EQ(conversion_.Convert(c.sets, script), -1);
        EXPECT_EQ(script, (Bytes{0xAB, 0xCD}));
        EXPECT_EQ(log_.messages, c.messages);
        // Asked quietly, it gives the same words (an unworded refusal gives none) and logs nothing.
        log_.messages.clear();
        EXPECT_EQ(conversion_.Refusal(c.sets), c.messages.empty() ? L"" : c.messages.back().second);
        EXPECT_TRUE(log_.messages.empty());
    }
}

}  // namespace
