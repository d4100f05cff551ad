#include <gmock/gmock.h>
#include <gtest/gtest.h>

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

TEST(MicroControllerSection, WritesEveryLEDInTableOrderWithAtMostSixSignificantDigits) {
    MicroController model;
    EXPECT_EQ(model.GetSettingsSection(),
              L"#Micro Controller Settings\r\n-SetMicroControllerPortNumber 4\r\n\r\n\r\n");
    model.SetPortNumber(4294967295u);
    ASSERT_EQ(model.AddLED(L"Blue", 1000.0), 0);
    ASSERT_EQ(model.AddLED(L"Deep Red", 0.0), 0);
    ASSERT_EQ(model.AddLED(L"UV/365", 0.0), 0);
    ASSERT_EQ(model.SetIntensity(255, L"Blue"), 0);
    ASSERT_EQ(model.SetLEDPulse(L"Deep Red", {3, 1234.567, 0.123456789}), 0);
    ASSERT_EQ(model.SetLEDPulse(L"UV/365", {1000000, 999999.5, 1800000.0}), 0);
    EXPECT_EQ(model.GetSettingsSection(),
              L"#Micro Controller Settings\r\n"
              L"-SetMicroControllerPortNumber 4294967295\r\n"
              L"\r\n"
              L"-SetIntensity \"Blue\" 255\r\n"
              L"-SetLEDPulse \"Blue\" 10 90 0\r\n"
              L"\r\n"
              L"-SetIntensity \"Deep Red\" 26\r\n"
              L"-SetLEDPulse \"Deep Red\" 1234.57 0.123457 3\r\n"
              L"\r\n"
              L"-SetIntensity \"UV/365\" 26\r\n"
              L"-SetLEDPulse \"UV/365\" 1e+06 1.8e+06 1000000\r\n"
              L"\r\n"
              L"\r\n");
}

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
                         testing::Values(L"50% Green", L"Gr\u00fcn", L"a/b/c", L"  spaced  "));

}  // namespace
