#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "foundation/MiscFunctions.h"

using MiscFunctions::AddQuotesToString;
using MiscFunctions::ParseCommandString;
using MiscFunctions::TrimQuotesFromString;

namespace {

struct TokenizeCase {
    std::wstring command;
    std::vector<std::wstring> expected;
};

class ParseCommandStringSplits : public testing::TestWithParam<TokenizeCase> {};

TEST_P(ParseCommandStringSplits, IntoExpectedArguments) {
    std::vector<std::wstring> arguments{L"left over"};
    std::wstring error = L"stale";
    EXPECT_EQ(ParseCommandString(GetParam().command, arguments, error), 0);
    EXPECT_EQ(arguments, GetParam().expected);
    EXPECT_EQ(error, L"");
}

INSTANTIATE_TEST_SUITE_P(
    CommandStrings, ParseCommandStringSplits,
    testing::Values(TokenizeCase{L"-AddLED \"Blue LED\" 500", {L"-AddLED", L"Blue LED", L"500"}},
                    TokenizeCase{L"\"one\"\"two\"", {L"one", L"two"}},
                    TokenizeCase{L"-Name \"\"", {L"-Name", L""}},
                    TokenizeCase{L"-On\tBlue\r\n25\r7", {L"-On", L"Blue", L"25", L"7"}},
                    TokenizeCase{L"", {}}, TokenizeCase{L"   ", {L""}},
                    TokenizeCase{L"  a    b  ", {L"a", L"b"}},
                    TokenizeCase{L"ab\"cd ef", {L"ab\"cd", L"ef"}},
                    TokenizeCase{L"\"quoted\"word", {L"quoted", L"word"}},
                    TokenizeCase{L"\"  spaced  words \"", {L"  spaced  words "}},
                    // Vertical tab and form feed are trimmed at the ends of the rest, but only a
                    // space separates tokens inside it.
                    TokenizeCase{L"\va\vb c\f", {L"a\vb", L"c"}},
                    // A CR LF pair inside quotes becomes a single space.
                    TokenizeCase{L"\"a\r\nb\"", {L"a b"}}));

// The error quotes the command as passed in, not the cleaned copy.
TEST(ParseCommandString, UnmatchedQuoteFailsWithAnEmptyList) {
    std::vector<std::wstring> arguments{L"x"};
    std::wstring error;
    EXPECT_EQ(ParseCommandString(L"-AddLED\t\"Blue LED 500", arguments, error), -1);
    EXPECT_TRUE(arguments.empty());
    EXPECT_EQ(error,
              L"MiscFunctions::ParseCommandString() - Error Processing command(-AddLED\t\"Blue LED "
              L"500) string, unable to find matching double quotes.");
}

struct TrimCase {
    std::wstring input;
    int result;
    std::wstring output;
};

class TrimQuotes : public testing::TestWithParam<TrimCase> {};

TEST_P(TrimQuotes, GivesExpectedText) {
    std::wstring text = GetParam().input;
    std::wstring error = L"stale";
    EXPECT_EQ(TrimQuotesFromString(text, error), GetParam().result);
    EXPECT_EQ(text, GetParam().output);
    if (GetParam().result == 0) {
        EXPECT_EQ(error, L"");
    } else {
        EXPECT_EQ(error,
                  L"MiscFunctions::TrimQuotesFromString() - Error processing string, unable to "
                  L"find leading and trailing double quotes from string: " +
                      GetParam().input);
    }
}

INSTANTIATE_TEST_SUITE_P(Names, TrimQuotes,
                         testing::Values(TrimCase{L"\"Blue LED\"", 0, L"Blue LED"},
                                         TrimCase{L"Blue", 0, L"Blue"}, TrimCase{L"", 0, L""},
                                         TrimCase{L"\"", 0, L""}, TrimCase{L"\"\"", 0, L""},
                                         TrimCase{L"\"\"x\"\"", 0, L"\"x\""},
                                         TrimCase{L"\"Blue", -1, L"\"Blue"},
                                         TrimCase{L"Blue\"", -1, L"Blue\""}));

// Quotes only non-empty text, never looking inside; the tokenizer takes the quotes off again.
TEST(AddQuotesToString, RoundTripsThroughTheTokenizer) {
    EXPECT_EQ(AddQuotesToString(L""), L"");
    EXPECT_EQ(AddQuotesToString(L"\"x\""), L"\"\"x\"\"");
    std::vector<std::wstring> arguments;
    std::wstring error;
    ASSERT_EQ(ParseCommandString(L"-A " + AddQuotesToString(L"Pulse Train"), arguments, error), 0);
    EXPECT_EQ(arguments, (std::vector<std::wstring>{L"-A", L"Pulse Train"}));
}

}  // namespace
