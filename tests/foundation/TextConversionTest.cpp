#include <gtest/gtest.h>

#include <filesystem>
#include <limits>
#include <numeric>
#include <string>
#include <tuple>

#include "foundation/TextConversion.h"
#include "support/ScopedCommaLocale.h"

namespace {

TEST(TextConversion, EveryByteMapsToItsCodePointAndBackAndAboveLatin1IsAQuestionMark) {
    std::wstring codePoints(256, L'\0');
    std::iota(codePoints.begin(), codePoints.end(), L'\0');
    const std::string all(codePoints.begin(), codePoints.end());
    EXPECT_EQ(NarrowToWide(all), codePoints);
    EXPECT_EQ(WideToNarrow(codePoints), all);
    EXPECT_EQ(WideToNarrow(L"A\u20acB\U0001F600"), "A?B?");
    // The out parameters are replaced, not appended to.
    std::wstring wide = L"old content";
    NarrowToWide("ab", wide);
    EXPECT_EQ(wide, L"ab");
    std::string narrow = "old content";
    WideToNarrow(L"cd", narrow);
    EXPECT_EQ(narrow, "cd");
}

TEST(TextConversion, TextToDoubleReadsTheLeadingNumber) {
    const std::tuple<std::wstring, bool, double> rows[] = {
        {L"  12.5mW", true, 12.5}, {L"-0.25", true, -0.25}, {L"1.8e+06", true, 1800000.0},
        {L".5", true, 0.5},        {L"", false, 0.0},       {L"-", false, 0.0}};
    for (const auto& [text, read, value] : rows) {
        double number = -99.0;
        EXPECT_EQ(TextToDouble(text, number), read) << WideToNarrow(text);
        EXPECT_EQ(number, value) << WideToNarrow(text);
    }
}

// Numbers read and write as in the "C" locale, also after the process adopted one whose
// decimal point is a comma.
TEST(TextConversion, StandardNumbersIgnoreTheProcessLocale) {
    const std::tuple<std::wstring, double, std::wstring> rows[] = {
        {L" -1.25e3ms", -1250.0, L"-1250.00"},
        {L"0x10", 16.0, L"16.00"},
        {L"1,5", 1.0, L"1.00"},
        {L"inf", std::numeric_limits<double>::infinity(), L"inf"}};
    const auto check = [&] {
        for (const auto& [text, value, twoDecimals] : rows) {
            EXPECT_EQ(StandardTextToDouble(text), value) << WideToNarrow(text);
            EXPECT_EQ(StandardTextToFloat(text), static_cast<float>(value));
            EXPECT_EQ(FixedText(value, 2), twoDecimals);
        }
        double streamed = 0.0;
        TextToDouble(L"2.5", streamed);
        EXPECT_EQ(streamed, 2.5);
    };
    check();
    const ScopedCommaLocale comma;
    if (!comma.IsSet())
        GTEST_SKIP() << "the locale " << ScopedCommaLocale::kName << " is not installed";
    check();
}

TEST(TextConversion, CompareNoCaseOrdersWholeStringsIgnoringCase) {
    const std::tuple<std::wstring, std::wstring, int> rows[] = {
        {L"-SetIntensity", L"-SETINTENSITY", 0},
        {L"Blue", L"Blue ", -1},
        {L"red", L"Blue", 1},
        {L"\u00c9clair", L"\u00e9CLAIR", 0}};
    for (const auto& [a, b, sign] : rows) {
        const int result = CompareNoCase(a, b);
        EXPECT_EQ((result > 0) - (result < 0), sign) << WideToNarrow(a) << " " << WideToNarrow(b);
    }
}

TEST(TextConversion, FileNamesRoundTripByteForByte) {
    const std::string utf8Name = "/tmp/M\xC3\xBCller/\xE2\x82\xAC.cfg";
    const std::wstring wide = PathToWide(std::filesystem::path(utf8Name));
    EXPECT_EQ(wide.size(), utf8Name.size());
    EXPECT_EQ(WideToPath(wide).native(), utf8Name);
}

}  // namespace
