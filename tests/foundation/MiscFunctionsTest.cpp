#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "foundation/MiscFunctions.h"
#include "foundation/TextConversion.h"

using MiscFunctions::AddQuotesToString;
using MiscFunctions::ParseCommandString;
using MiscFunctions::TrimQuotesFromString;

namespace {

using Words = std::vector<std::wstring>;

TEST(ParseCommandString, SplitsIntoArguments) {
    const std::pair<std::wstring, Words> rows[] = {
        {L"-AddLED \"Blue LED\" 500", {L"-AddLED", L"Blue LED", L"500"}},
        {L"\"one\"\"two\"", {L"one", L"two"}},
        {L"-Name \"\"", {L"-Name", L""}},
        {L"-On\tBlue\r\n25\r7", {L"-On", L"Blue", L"25", L"7"}},
        {L"", {}},
        {L"   ", {L""}},
        {L"ab\"cd ef", {L"ab\"cd", L"ef"}},
        // Vertical tab and form feed are trimmed at the ends of the rest, but only a space
        // separates tokens inside it.
        {L"\va\vb c\f", {L"a\vb", L"c"}},
        // A CR LF pair inside quotes becomes a single space.
        {L"\"a\r\nb\"", {L"a b"}}};
    for (const auto& [command, expected] : rows) {
        Words arguments{L"left over"};
        std::wstring error = L"stale";
        EXPECT_EQ(ParseCommandString(command, arguments, error), 0) << WideToNarrow(command);
        EXPECT_EQ(arguments, expected) << WideToNarrow(command);
        EXPECT_EQ(error, L"");
    }
    // Quotes only non-empty text, never looking inside.
    EXPECT_EQ(AddQuotesToString(L"Pulse Train"), L"\"Pulse Train\"");
    EXPECT_EQ(AddQuotesToString(L""), L"");
    EXPECT_EQ(AddQuotesToString(L"\"x\""), L"\"\"x\"\"");
}

// The error quotes the command as passed in, not the cleaned copy.
TEST(ParseCommandString, UnmatchedQuoteFailsWithAnEmptyList) {
    Words arguments{L"x"};
    std::wstring error;
    EXPECT_EQ(ParseCommandString(L"-AddLED\t\"Blue LED 500", arguments, error), -1);
    EXPECT_TRUE(arguments.empty());
    EXPECT_EQ(error,
              L"MiscFunctions::ParseCommandString() - Error Processing command(-AddLED\t\"Blue LED "
              L"500) string, unable to find matching double quotes.");
}

TEST(TrimQuotesFromString, TakesOffOnePairOrRefusesAHalfPair) {
    const std::pair<std::wstring, std::wstring> trimmed[] = {{L"\"Blue LED\"", L"Blue LED"},
                                                             {L"Blue", L"Blue"},
                                                             {L"", L""},
                                                             {L"\"", L""},
                                                             {L"\"\"x\"\"", L"\"x\""}};
    for (const auto& [input, output] : trimmed) {
        std::wstring text = input;
        std::wstring error = L"stale";
        EXPECT_EQ(TrimQuotesFromString(text, error), 0);
        EXPECT_EQ(text, output);
        EXPECT_EQ(error, L"");
    }
    for (const std::wstring input : {L"\"Blue", L"Blue\""}) {
        std::wstring text = input;
        std::wstring error;
        EXPECT_EQ(TrimQuotesFromString(text, error), -1);
        EXPECT_EQ(text, input);
        EXPECT_EQ(error,
                  L"MiscFunctions::TrimQuotesFromString() - Error processing string, unable "
                  L"to find leading and trailing double quotes from string: " +
                      input);
    }
}

}  // namespace
