#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <iomanip>
#include <ostream>
#include <string>
#include <vector>

#include "config/FormatCmdLine.h"
#include "device/MicroController.h"
#include "foundation/MiscFunctions.h"
#include "foundation/TextConversion.h"
#include "support/FileBytes.h"
#include "support/TempDir.h"

namespace {

using testing::ElementsAre;

const std::wstring kHeader =
    L"#Micro Controller Settings\r\n-SetMicroControllerPortNumber 4\r\n\r\n";

TEST(MicroControllerSection, WritesTheSavedFileExampleForOneLED) {
    MicroController model;
    ASSERT_EQ(model.AddLED(L"Blue", 0.0), 0);
    EXPECT_EQ(model.GetSettingsSection(),
              L"#Micro Controller Settings\r\n"
              L"-SetMicroControllerPortNumber 4\r\n"
              L"\r\n"
              L"-SetIntensity \"Blue\" 26\r\n"
              L"-SetLEDPulse \"Blue\" 10 90 0\r\n"
              L"\r\n"
              L"\r\n");
}

TEST(MicroControllerSection, WithoutLEDsHoldsOnlyThePortAndTheClosingEmptyLine) {
    MicroController model;
    EXPECT_EQ(model.GetSettingsSection(), kHeader + L"\r\n");
}

TEST(MicroControllerSection, WritesEveryLEDInTableOrderWithFullRangeNumbers) {
    MicroController model;
    model.SetPortNumber(4294967295u);
    ASSERT_EQ(model.AddLED(L"Blue", 1000.0), 0);
    ASSERT_EQ(model.AddLED(L"Deep Red", 0.0), 0);
    ASSERT_EQ(model.AddLED(L"UV/365", 0.0), 0);
    ASSERT_EQ(model.SetIntensity(255, L"Blue"), 0);
    ASSERT_EQ(model.SetIntensity(0, L"deep red"), 0);
    ASSERT_EQ(model.SetLEDPulse(L"UV/365", {1000000, 0.1, 1800000.0}), 0);
    EXPECT_EQ(model.GetSettingsSection(),
              L"#Micro Controller Settings\r\n"
              L"-SetMicroControllerPortNumber 4294967295\r\n"
              L"\r\n"
              L"-SetIntensity \"Blue\" 255\r\n"
              L"-SetLEDPulse \"Blue\" 10 90 0\r\n"
              L"\r\n"
              L"-SetIntensity \"Deep Red\" 0\r\n"
              L"-SetLEDPulse \"Deep Red\" 10 90 0\r\n"
              L"\r\n"
              L"-SetIntensity \"UV/365\" 26\r\n"
              L"-SetLEDPulse \"UV/365\" 0.1 1.8e+06 1000000\r\n"
              L"\r\n"
              L"\r\n");
}

struct WidthTextCase {
    double widthOn;
    double widthOff;
    std::wstring pulseLine;
};

void PrintTo(const WidthTextCase& c, std::ostream* os) {
    *os << std::setprecision(10) << c.widthOn << " and " << c.widthOff;
}

class PulseWidthsAreWritten : public testing::TestWithParam<WidthTextCase> {};

TEST_P(PulseWidthsAreWritten, WithAtMostSixSignificantDigits) {
    MicroController model;
    ASSERT_EQ(model.AddLED(L"Blue", 0.0), 0);
    ASSERT_EQ(model.SetLEDPulse(L"Blue", {3, GetParam().widthOn, GetParam().widthOff}), 0);
    EXPECT_EQ(model.GetSettingsSection(),
              kHeader + L"-SetIntensity \"Blue\" 26\r\n" + GetParam().pulseLine + L"\r\n\r\n\r\n");
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PulseWidthsAreWritten,
    testing::Values(WidthTextCase{1234.567, 1800000.0, L"-SetLEDPulse \"Blue\" 1234.57 1.8e+06 3"},
                    WidthTextCase{0.5, 12.25, L"-SetLEDPulse \"Blue\" 0.5 12.25 3"},
                    WidthTextCase{100000.0, 999999.0, L"-SetLEDPulse \"Blue\" 100000 999999 3"},
                    WidthTextCase{999999.5, 1000000.0, L"-SetLEDPulse \"Blue\" 1e+06 1e+06 3"},
                    WidthTextCase{0.123456789, 1.1, L"-SetLEDPulse \"Blue\" 0.123457 1.1 3"}));

// Every label the model accepts must come back unchanged through the settings reader and the
// tokenizer, or the file would stop at its line on the next start.
class AcceptedLabelsReadBack : public testing::TestWithParam<std::wstring> {};

TEST_P(AcceptedLabelsReadBack, AsOneArgumentOfEachLine) {
    const std::wstring label = GetParam();
    MicroController model;
    ASSERT_EQ(model.AddLED(label, 0.0), 0);
    TempDir dir;
    const std::wstring path = dir.File("settings.cfg");
    WriteFileBytes(dir.Path() / "settings.cfg", WideToNarrow(model.GetSettingsSection()));

    FormatCmdLine reader;
    reader.SetReturnCommandLines(true);
    ASSERT_EQ(reader.OpenFileCfg(path), 0);
    std::vector<std::vector<std::wstring>> commands;
    std::wstring line;
    int lineNumber = 0;
    bool endOfFile = false;
    while (reader.GetNextLine(line, lineNumber, endOfFile) == 0 && !endOfFile) {
        std::vector<std::wstring> arguments;
        std::wstring error;
        ASSERT_EQ(MiscFunctions::ParseCommandString(line, arguments, error), 0) << error;
        commands.push_back(arguments);
    }
    reader.CloseFile();
    EXPECT_TRUE(endOfFile);
    EXPECT_THAT(commands, ElementsAre(ElementsAre(L"-SetMicroControllerPortNumber", L"4"),
                                      ElementsAre(L"-SetIntensity", label, L"26"),
                                      ElementsAre(L"-SetLEDPulse", label, L"10", L"90", L"0")));
}

INSTANTIATE_TEST_SUITE_P(Labels, AcceptedLabelsReadBack,
                         testing::Values(L"Blue", L"Deep Red", L"UV/365", L"50% Green",
                                         L"Gr\u00fcn", L"a/b/c", L"  spaced  "));

}  // namespace
