#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <ostream>
#include <string>

#include "ostra-cli/JsonWriter.h"
#include "tools/ostra-cli/JsonValue.h"

namespace {

struct QuoteCase {
    std::wstring text;
    std::string json;
    // What a JSON reader gets back, as UTF-8.
    std::string decoded;
};

void PrintTo(const QuoteCase& c, std::ostream* out) {
    *out << c.json;
}

class JsonQuoteTest : public testing::TestWithParam<QuoteCase> {};

TEST_P(JsonQuoteTest, EscapesToAsciiThatReadsBack) {
    const QuoteCase& c = GetParam();
    const std::string quoted = JsonWriter::Quote(c.text);
    EXPECT_EQ(quoted, c.json);
    const std::optional<JsonValue> parsed = JsonValue::Parse(quoted);
    ASSERT_TRUE(parsed.has_value());
    EXPECT_EQ(parsed->string, c.decoded);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, JsonQuoteTest,
    testing::Values(
        QuoteCase{L"", "\"\"", ""}, QuoteCase{L"Blue 10 Hz", "\"Blue 10 Hz\"", "Blue 10 Hz"},
        QuoteCase{L"say \"hi\"", "\"say \\\"hi\\\"\"", "say \"hi\""},
        QuoteCase{L"C:\\Velorin", "\"C:\\\\Velorin\"", "C:\\Velorin"},
        QuoteCase{L"a\nb\rc\td\be\ff", "\"a\\nb\\rc\\td\\be\\ff\"", "a\nb\rc\td\be\ff"},
        QuoteCase{std::wstring(L"\x01\x1f\x7f", 3), "\"\\u0001\\u001f\\u007f\"", "\x01\x1f\x7f"},
        QuoteCase{L"/", "\"/\"", "/"},
        // Latin-1 text from files and the device.
        QuoteCase{L"Gr\u00fcn", "\"Gr\\u00fcn\"", "Gr\xc3\xbcn"},
        QuoteCase{L"\u20ac", "\"\\u20ac\"", "\xe2\x82\xac"},
        // Above U+FFFF as a surrogate pair.
        QuoteCase{L"\U0001F4A1", "\"\\ud83d\\udca1\"", "\xf0\x9f\x92\xa1"},
        // No valid text holds these; they become U+FFFD.
        QuoteCase{std::wstring(1, static_cast<wchar_t>(0xD800)), "\"\\ufffd\"", "\xef\xbf\xbd"},
        QuoteCase{std::wstring(1, static_cast<wchar_t>(0x110000)), "\"\\ufffd\"", "\xef\xbf\xbd"}));

TEST(JsonWriterTest, SeparatesMembersAndElementsAtEveryLevel) {
    JsonWriter json;
    json.BeginObject();
    json.Key("command").String(L"show");
    json.Key("sequences").BeginArray();
    json.BeginObject().Key("number").Unsigned(0).Key("name").String(L"A").EndObject();
    json.BeginObject().Key("number").Unsigned(3).Key("steps").BeginArray().EndArray().EndObject();
    json.EndArray();
    json.Key("empty").BeginObject().EndObject();
    json.Key("flags").BeginArray().Boolean(true).Boolean(false).Null().Integer(-4).EndArray();
    json.EndObject();
    EXPECT_EQ(json.Text(),
              "{\"command\":\"show\",\"sequences\":[{\"number\":0,\"name\":\"A\"},{\"number\":3,"
              "\"steps\":[]}],\"empty\":{},\"flags\":[true,false,null,-4]}");
    EXPECT_TRUE(JsonValue::Parse(json.Text()).has_value());
}

struct NumberCase {
    double value;
    std::string json;
};

void PrintTo(const NumberCase& c, std::ostream* out) {
    *out << c.json;
}

class JsonNumberTest : public testing::TestWithParam<NumberCase> {};

TEST_P(JsonNumberTest, WritesTheShortestTextThatReadsBackExactly) {
    JsonWriter json;
    json.Number(GetParam().value);
    EXPECT_EQ(json.Text(), GetParam().json);
    const std::optional<JsonValue> parsed = JsonValue::Parse(json.Text());
    ASSERT_TRUE(parsed.has_value());
    if (parsed->type == JsonValue::Type::Number) {
        EXPECT_EQ(parsed->number, GetParam().value);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Numbers, JsonNumberTest,
    testing::Values(NumberCase{0.0, "0"}, NumberCase{12.6, "12.6"}, NumberCase{0.1, "0.1"},
                    NumberCase{1910.8000000000002, "1910.8000000000002"},
                    NumberCase{1e300, "1e+300"}, NumberCase{-2.5, "-2.5"},
                    NumberCase{std::numeric_limits<double>::infinity(), "null"},
                    NumberCase{std::nan(""), "null"}));

TEST(JsonWriterTest, WritesTheFullRangeOfIntegers) {
    JsonWriter json;
    json.BeginArray()
        .Unsigned(std::numeric_limits<std::uint64_t>::max())
        .Integer(std::numeric_limits<std::int64_t>::min())
        .EndArray();
    EXPECT_EQ(json.Text(), "[18446744073709551615,-9223372036854775808]");
}

}  // namespace
