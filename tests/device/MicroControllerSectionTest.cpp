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

// The labels cover what the settings reader and tokenizer must hand back unchanged as one
// argument, or the file would stop at its line on the next start.
TEST(MicroControllerSection, WritesEveryLEDInTableOrderAndReadsBack) {
    MicroController model;
    EXPECT_EQ(model.GetSettingsSection(),
              L"#Micro Controller Settings\r\n-SetMicroControllerPortNumber 4\r\n\r\n\r\n");
    model.SetPortNumber(4294967295u);
    const std::wstring labels[] = {L"50% Blue", L"  Gr\u00fcn  ", L"UV/365"};
    ASSERT_EQ(model.AddLED(labels[0], 1000.0), 0);
    ASSERT_EQ(model.AddLED(labels[1], 0.0), 0);
    ASSERT_EQ(model.AddLED(labels[2], 0.0), 0);
    ASSERT_EQ(model.SetIntensity(255, labels[0]), 0);
    ASSERT_EQ(model.SetLEDPulse(labels[1], {3, 1234.567, 0.123456789}), 0);
    ASSERT_EQ(model.SetLEDPulse(labels[2], {1000000, 999999.5, 1800000.0}), 0);
    EXPECT_EQ(model.GetSettingsSection(),
              L"#Micro Controller Settings\r\n"
              L"-SetMicroControllerPortNumber 4294967295\r\n"
              L"\r\n"
              L"-SetIntensity \"50% Blue\" 255\r\n"
              L"-SetLEDPulse \"50% Blue\" 10 90 0\r\n"
              L"\r\n"
              L"-SetIntensity \"  Gr\u00fcn  \" 26\r\n"
              L"-SetLEDPulse \"  Gr\u00fcn  \" 1234.57 0.123457 3\r\n"
              L"\r\n"
              L"-SetIntensity \"UV/365\" 26\r\n"
              L"-SetLEDPulse \"UV/365\" 1e+06 1.8e+06 1000000\r\n"
              L"\r\n"
              L"\r\n");

    TempDir dir;
    WriteFileBytes(dir.Path() / "settings.cfg", WideToNarrow(model.GetSettingsSection()));
    FormatCmdLine reader;
    reader.SetReturnCommandLines(true);
    ASSERT_EQ(reader.OpenFileCfg(dir.File("settings.cfg")), 0);
    std::vector<std::wstring> read;  // the second argument of each line
    std::wstring line;
    int lineNumber = 0;
    bool endOfFile = false;
    while (reader.GetNextLine(line, lineNumber, endOfFile) == 0 && !endOfFile) {
        std::vector<std::wstring> arguments;
        std::wstring error;
        ASSERT_EQ(MiscFunctions::ParseCommandString(line, arguments, error), 0) << error;
        read.push_back(arguments.at(1));
    }
    reader.CloseFile();
    EXPECT_TRUE(endOfFile);
    EXPECT_THAT(read, ElementsAre(L"4294967295", labels[0], labels[0], labels[1], labels[1],
                                  labels[2], labels[2]));
}

}  // namespace
