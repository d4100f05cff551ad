#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "device/MicroController.h"
#include "support/LedInfo.h"
#include "support/LogCapture.h"

namespace {

class MicroControllerTest : public testing::Test {
  protected:
    void AddLEDs(const std::vector<std::wstring>& labels) {
        for (const std::wstring& label : labels)
            ASSERT_EQ(model_.AddLED(label, 0.0), 0);
        log_.messages.clear();
    }
    // The call failed with exactly this error logged and kept as the message text.
    void ExpectFailure(int result, const std::wstring& message) {
        EXPECT_EQ(result, -1);
        EXPECT_EQ(log_.messages, (Messages{{LogLevel::Error, message}}));
        EXPECT_EQ(model_.GetMessageText(), message);
        log_.messages.clear();
    }

    LogCapture log_;
    MicroController model_{&log_};
};

TEST_F(MicroControllerTest, AddLEDRefusesAFullTableThenEmptyDuplicateAndUnsaveableLabels) {
    const std::vector<std::pair<std::wstring, std::wstring>> refused = {
        // A settings file cannot hold the label (quotes and # as in sequence names).
        {L"UV//365",
         L"Error adding LED color, the color label (UV//365) contains a double quote, # or //, "
         L"which a settings file cannot hold."},
        {L"Blue\t",
         L"Error adding LED color, the color label contains a control character "
         L"(code 9), which a settings file cannot hold."},
        {L"", L"Error adding LED color, the color label string is empty."},
        {L"   ", L"Error adding LED color, the color label string is empty."},
    };
    for (const auto& [label, message] : refused) {
        EXPECT_EQ(model_.AddLED(label, 0.0), -1);
        EXPECT_EQ(log_.messages, (Messages{{LogLevel::Error, message}}));
        log_.messages.clear();
    }
    AddLEDs({L"Blue", L"UV/365"});
    ExpectFailure(model_.AddLED(L"BLUE", 0.0),
                  L"Error adding LED color, the color (BLUE) already exists in our list and "
                  L"cannot be added again.");
    AddLEDs({L"50% Green"});
    // The table limit is checked before anything about the label.
    ExpectFailure(model_.AddLED(L"", 0.0),
                  L"Error adding LED color, the maximum number of LEDs has been reached (3).");
    EXPECT_EQ(model_.GetLEDCount(), 3);
}

TEST_F(MicroControllerTest, LookupsIgnoreCaseAndNameWhatIsOutOfRange) {
    AddLEDs({L"Blue", L"Green"});
    EXPECT_EQ(model_.FindLEDIndex(L"GREEN"), 1);
    ExpectFailure(model_.FindLEDIndex(L"Blue "),
                  L"Error validating color value(Blue ), the color does not exist.");
    for (const int index : {2, -1}) {
        const std::wstring range = L"(" + std::to_wstring(index) + L") is out of range(0..1).";
        LEDRecord record;
        ExpectFailure(model_.GetLEDInfo(index, record),
                      L"MicroController::GetLEDInfo() - Error, the list index" + range);
        ExpectFailure(model_.TurnLEDOn(index),
                      L"MicroController::IsValidLEDIndex() - Error, the LED Index" + range);
    }
    EXPECT_EQ(model_.GetOutputMask(), 0x0000);
}

TEST_F(MicroControllerTest, IntensityAndPulseAreCheckedAndNothingIsStoredOnFailure) {
    AddLEDs({L"Blue"});
    ASSERT_EQ(model_.SetIntensity(255, L"blue"), 0);
    ExpectFailure(model_.SetIntensity(256, L"blue"),
                  L"Error setting blue intensity, the value(256) is out of range(0..255).");
    EXPECT_EQ(LedInfo(model_, 0).intensity, 255);

    const PulseParameters limits{1000000, 1800000.0, 0.1};
    ASSERT_EQ(model_.SetLEDPulse(L"Blue", limits), 0);
    const std::wstring start = L"Error setting Blue pulse parameters.  The ";
    const std::wstring range = L"is out of range (0.1...1800000.0 ms).";
    const std::vector<std::pair<PulseParameters, std::wstring>> refused = {
        {{0, 0.05, 90.0}, start + L"pulse width on value(0.1)" + range},
        {{0, std::nan(""), 90.0}, start + L"pulse width on value(nan)" + range},
        // The first bad field decides the message.
        {{2000000, -2.0, 0.0}, start + L"pulse width on value(-2.0)" + range},
        {{2000000, 10.0, 1800000.1}, start + L"pulse width off value(1800000.1) " + range},
        {{1000001, 10.0, 90.0},
         start + L"loop count value(1000001) is out of range (0...1000000)."},
    };
    for (const auto& [pulse, message] : refused)
        ExpectFailure(model_.SetLEDPulse(L"Blue", pulse), message);
    const PulseParameters stored = LedInfo(model_, 0).pulse;
    EXPECT_EQ(std::tie(stored.loopCount, stored.widthOn, stored.widthOff),
              std::tie(limits.loopCount, limits.widthOn, limits.widthOff));
}

// Each label quoted, so the reader hands back its blanks, "%" and "/" as one argument.
TEST(MicroControllerSection, WritesEveryLEDInTableOrder) {
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
              L"#Micro Controller Settings\r\n-SetMicroControllerPortNumber 4294967295\r\n\r\n"
              L"-SetIntensity \"50% Blue\" 255\r\n-SetLEDPulse \"50% Blue\" 10 90 0\r\n\r\n"
              L"-SetIntensity \"  Gr\u00fcn  \" 26\r\n"
              L"-SetLEDPulse \"  Gr\u00fcn  \" 1234.57 0.123457 3\r\n\r\n"
              L"-SetIntensity \"UV/365\" 26\r\n"
              L"-SetLEDPulse \"UV/365\" 1e+06 1.8e+06 1000000\r\n\r\n\r\n");
}

}  // namespace
