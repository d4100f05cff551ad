#include <gtest/gtest.h>

#include <limits>
#include <string>

#include "foundation/TextConversion.h"
#include "support/ScopedCommaLocale.h"

namespace {

TEST(TextConversion, EveryByteMapsToItsCodePointAndBack) {
    std::string all;
    for (int b = 0; b < 256; ++b) {
        all.push_back(static_cast<char>(b));
    }
    const std::wstring wide = NarrowToWide(all);
    ASSERT_EQ(wide.size(), 256u);
    for (int b = 0; b < 256; ++b) {
        EXPECT_EQ(static_cast<int>(wide[static_cast<std::size_t>(b)]), b);
    }
    EXPECT_EQ(WideToNarrow(wide), all);
}

TEST(TextConversion, AboveLatin1IsAQuestionMarkAndOutParametersAreReplaced) {
    EXPECT_EQ(WideToNarrow(L"A\u20acB\U0001F600"), "A?B?");
    std::wstring wide = L"old content";
    NarrowToWide("ab", wide);
    EXPECT_EQ(wide, L"ab");
    std::string narrow = "old content";
    WideToNarrow(L"cd", narrow);
    EXPECT_EQ(narrow, "cd");
}

struct NumberCase {
    std::wstring text;
    bool read;
    double value;
};

class TextToDoubleReads : public testing::TestWithParam<NumberCase> {};

TEST_P(TextToDoubleReads, LeadingNumber) {
    double number = -99.0;
    EXPECT_EQ(TextToDouble(GetParam().text, number), GetParam().read);
    EXPECT_DOUBLE_EQ(number, GetParam().value);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, TextToDoubleReads,
    testing::Values(NumberCase{L"500", true, 500.0}, NumberCase{L"  12.5mW", true, 12.5},
                    NumberCase{L"-0.25", true, -0.25}, NumberCase{L"1.8e+06", true, 1800000.0},
                    NumberCase{L".5", true, 0.5}, NumberCase{L"", false, 0.0},
                    NumberCase{L"abc", false, 0.0}, NumberCase{L"-", false, 0.0}));

// Numbers read and write as in the "C" locale, also after the process adopted one whose
// decimal point is a comma.
struct StandardNumberCase {
    std::wstring text;
    double value;  // as wcstod reads it in the "C" locale
    std::wstring twoDecimals;
};

void PrintTo(const StandardNumberCase& c, std::ostream* os) {
    *os << WideToNarrow(c.text);
}

class StandardNumbers : public testing::TestWithParam<StandardNumberCase> {};

TEST_P(StandardNumbers, ReadAndWriteAsInTheCLocaleWhateverTheProcessLocale) {
    const StandardNumberCase& c = GetParam();
    double streamedInC = 0.0;
    TextToDouble(c.text, streamedInC);
    const auto expectCLocaleResults = [&] {
        EXPECT_EQ(StandardTextToDouble(c.text), c.value);
        EXPECT_EQ(StandardTextToFloat(c.text), static_cast<float>(c.value));
        EXPECT_EQ(FixedText(c.value, 2), c.twoDecimals);
        double streamed = -99.0;
        TextToDouble(c.text, streamed);
        EXPECT_EQ(streamed, streamedInC);
    };
    expectCLocaleResults();
    const ScopedCommaLocale comma;
    if (!comma.IsSet()) {
        GTEST_SKIP() << "the locale " << ScopedCommaLocale::kName << " is not installed";
    }
    expectCLocaleResults();
}

INSTANTIATE_TEST_SUITE_P(
    Texts, StandardNumbers,
    testing::Values(StandardNumberCase{L"2.5", 2.5, L"2.50"},
                    StandardNumberCase{L" -1.25e3ms", -1250.0, L"-1250.00"},
                    StandardNumberCase{L"0x10", 16.0, L"16.00"},
                    StandardNumberCase{L"1,5", 1.0, L"1.00"},
                    StandardNumberCase{L"inf", std::numeric_limits<double>::infinity(), L"inf"},
                    StandardNumberCase{L"abc", 0.0, L"0.00"}));

struct CompareCase {
    std::wstring a;
    std::wstring b;
    int sign;
};

class CompareNoCaseOrders : public testing::TestWithParam<CompareCase> {};

TEST_P(CompareNoCaseOrders, WholeStringsIgnoringCase) {
    const int result = CompareNoCase(GetParam().a, GetParam().b);
    EXPECT_EQ((result > 0) - (result < 0), GetParam().sign);
}

INSTANTIATE_TEST_SUITE_P(
    Words, CompareNoCaseOrders,
    testing::Values(CompareCase{L"-SetIntensity", L"-SETINTENSITY", 0}, CompareCase{L"", L"", 0},
                    CompareCase{L"Blue", L"Blue ", -1}, CompareCase{L"Blue ", L"Blue", 1},
                    CompareCase{L"red", L"Blue", 1}, CompareCase{L"\u00c9clair", L"\u00e9CLAIR", 0},
                    CompareCase{L"Gr\u00fcn", L"Grun", 1}));

}  // namespace

namespace {

TEST(TextConversion, FileNamesRoundTripByteForByte) {
    const std::string utf8Name = "/tmp/M\xC3\xBCller/\xE2\x82\xAC.cfg";
    const std::wstring wide = PathToWide(std::filesystem::path(utf8Name));
    EXPECT_EQ(wide.size(), utf8Name.size());
    EXPECT_EQ(WideToPath(wide).native(), utf8Name);
}

}  // namespace
