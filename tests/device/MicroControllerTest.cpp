#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "device/MicroController.h"
#include "foundation/TextConversion.h"
#include "support/LedInfo.h"
#include "support/LogCapture.h"
#include "support/TempDir.h"

namespace {

using testing::ElementsAre;
using testing::IsEmpty;
using testing::Pair;

const std::wstring kTableFull =
    L"Error adding LED color, the maximum number of LEDs has been reached (3).";
const std::wstring kEmptyLabel = L"Error adding LED color, the color label string is empty.";
const std::wstring kPulseStart = L"Error setting Blue pulse parameters.  ";
const std::wstring kWidthRange = L"is out of range (0.1...1800000.0 ms).";

std::wstring Unsaveable(const std::wstring& label) {
    return L"Error adding LED color, the color label (" + label +
           L") contains a double quote, # or //, which a settings file cannot hold.";
}

std::wstring Duplicate(const std::wstring& label) {
    return L"Error adding LED color, the color (" + label +
           L") already exists in our list and cannot be added again.";
}

std::wstring Unknown(const std::wstring& label) {
    return L"Error validating color value(" + label + L"), the color does not exist.";
}

// A model logging into a real log file whose messages are recorded.
class MicroControllerTest : public testing::Test {
  protected:
    void SetUp() override { model_.SetOutputMaskBit7(); }

    void AddLEDs(const std::vector<std::wstring>& labels) {
        for (const std::wstring& label : labels) {
            ASSERT_EQ(model_.AddLED(label, 0.0), 0) << label;
        }
        log_.messages.clear();
    }

    std::vector<std::wstring> Labels() const {
        std::vector<std::wstring> labels;
        model_.GetColorLabels(labels);
        return labels;
    }

    LEDRecord Record(int index) const { return LedInfo(model_, index); }

    void ExpectOnlyError(const std::wstring& message) {
        EXPECT_THAT(log_.messages, ElementsAre(Pair(LogLevel::Error, message)));
        EXPECT_EQ(model_.GetMessageText(), message);
    }

    TempDir dir_;
    LogCapture log_{dir_.File("model")};
    MicroController model_{&log_};
};

TEST_F(MicroControllerTest, StartsEmptyOnPortFourWithBitSevenSetByStartUp) {
    MicroController fresh;
    EXPECT_EQ(fresh.GetOutputMask(), 0x0000);
    EXPECT_EQ(fresh.GetPortNumber(), 4u);
    EXPECT_EQ(fresh.GetLEDCount(), 0);
    fresh.SetOutputMaskBit7();
    EXPECT_EQ(fresh.GetOutputMask(), 0x0080);
    fresh.SetPortNumber(4294967295u);
    EXPECT_EQ(fresh.GetPortNumber(), 4294967295u);
}

TEST_F(MicroControllerTest, DeviceIdsFollowTablePositionAndRecordsTakeDefaults) {
    ASSERT_EQ(model_.AddLED(L"Blue", 1000.0), 0);
    ASSERT_EQ(model_.AddLED(L"Green", 0.0), 0);
    ASSERT_EQ(model_.AddLED(L"Red", 12.5), 0);

    EXPECT_EQ(model_.GetLEDCount(), 3);
    EXPECT_THAT(Labels(), ElementsAre(L"Blue", L"Green", L"Red"));
    const std::vector<std::pair<std::uint32_t, double>> expected{{0, 1000.0}, {2, 0.0}, {1, 12.5}};
    for (int i = 0; i < 3; ++i) {
        const LEDRecord record = Record(i);
        EXPECT_EQ(record.deviceLedId, expected[i].first) << i;
        EXPECT_EQ(record.maximumPower, expected[i].second) << i;
        EXPECT_EQ(record.intensity, 26) << i;
        EXPECT_EQ(record.pulse.loopCount, 0u) << i;
        EXPECT_EQ(record.pulse.widthOn, 10.0) << i;
        EXPECT_EQ(record.pulse.widthOff, 90.0) << i;
    }
    EXPECT_THAT(log_.messages, IsEmpty());
}

TEST_F(MicroControllerTest, ConversionLearnsEveryAddedLabelWithItsDeviceId) {
    AddLEDs({L"Blue", L"Green", L"Red"});
    const MicroControllerCommandConversion& conversion = model_.GetCommandConversion();
    const std::vector<std::pair<std::wstring, std::uint32_t>> expected{
        {L"blue", 0}, {L"GREEN", 2}, {L"Red", 1}};
    for (const auto& [label, id] : expected) {
        std::uint32_t found = 99;
        EXPECT_EQ(conversion.GetLEDID(label, found), 0) << label;
        EXPECT_EQ(found, id) << label;
    }
    std::uint32_t untouched = 99;
    EXPECT_EQ(conversion.GetLEDID(L"Amber", untouched), -1);
    EXPECT_EQ(untouched, 99u);
    EXPECT_THAT(log_.messages,
                ElementsAre(Pair(LogLevel::Error,
                                 L"Error getting LED ID, unrecognized color label: Amber.")));
}

struct RefusedAddCase {
    std::vector<std::wstring> present;
    std::wstring label;
    std::wstring message;
};

void PrintTo(const RefusedAddCase& c, std::ostream* os) {
    *os << c.present.size() << " present, label \"" << WideToNarrow(c.label) << "\"";
}

class AddLEDRefuses : public MicroControllerTest,
                      public testing::WithParamInterface<RefusedAddCase> {};

TEST_P(AddLEDRefuses, WithItsMessageAndLeavesTableAndConversionAlone) {
    AddLEDs(GetParam().present);
    EXPECT_EQ(model_.AddLED(GetParam().label, 5.0), -1);

    EXPECT_EQ(Labels(), GetParam().present);
    EXPECT_THAT(log_.messages, ElementsAre(Pair(LogLevel::Error, GetParam().message)));
    std::uint32_t id = 99;
    if (!GetParam().label.empty() && GetParam().present.empty()) {
        EXPECT_EQ(model_.GetCommandConversion().GetLEDID(GetParam().label, id), -1);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, AddLEDRefuses,
    testing::Values(RefusedAddCase{{L"Blue", L"Green", L"Red"}, L"White", kTableFull},
                    // The table limit is checked before anything about the label.
                    RefusedAddCase{{L"Blue", L"Green", L"Red"}, L"", kTableFull},
                    RefusedAddCase{{L"Blue", L"Green", L"Red"}, L"blue", kTableFull},
                    RefusedAddCase{{}, L"", kEmptyLabel},
                    RefusedAddCase{{L"Blue"}, L"blue", Duplicate(L"blue")},
                    RefusedAddCase{{L"Blue", L"Green"}, L"GREEN", Duplicate(L"GREEN")},
                    RefusedAddCase{{}, L"Bl\"ue", Unsaveable(L"Bl\"ue")},
                    RefusedAddCase{{}, L"\"Blue\"", Unsaveable(L"\"Blue\"")},
                    RefusedAddCase{{}, L"Blue #2", Unsaveable(L"Blue #2")},
                    RefusedAddCase{{}, L"#", Unsaveable(L"#")},
                    RefusedAddCase{{}, L"UV//365", Unsaveable(L"UV//365")},
                    RefusedAddCase{{L"Blue"}, L"Blue//", Unsaveable(L"Blue//")}));

TEST_F(MicroControllerTest, EmptyLabelIsLoggedWithoutBecomingTheMessageText) {
    AddLEDs({L"Blue"});
    ASSERT_EQ(model_.AddLED(L"BLUE", 0.0), -1);
    ASSERT_EQ(model_.AddLED(L"", 0.0), -1);
    EXPECT_EQ(log_.messages.back(), std::make_pair(LogLevel::Error, kEmptyLabel));
    EXPECT_EQ(model_.GetMessageText(), Duplicate(L"BLUE"));
}

TEST_F(MicroControllerTest, LabelsWithASingleSlashPercentOrBlanksAreAccepted) {
    AddLEDs({L"UV/365", L"50% Green", L"Deep Red"});
    EXPECT_THAT(Labels(), ElementsAre(L"UV/365", L"50% Green", L"Deep Red"));
}

TEST_F(MicroControllerTest, FindLEDIndexIgnoresCaseAndReportsUnknownLabels) {
    AddLEDs({L"Blue", L"Green"});
    EXPECT_EQ(model_.FindLEDIndex(L"GREEN"), 1);
    EXPECT_EQ(model_.FindLEDIndex(L"blue"), 0);
    EXPECT_THAT(log_.messages, IsEmpty());

    EXPECT_EQ(model_.FindLEDIndex(L"Blue "), -1);
    ExpectOnlyError(Unknown(L"Blue "));
}

struct IndexCase {
    int ledCount;
    int index;
    std::wstring range;
};

void PrintTo(const IndexCase& c, std::ostream* os) {
    *os << c.ledCount << " LEDs, index " << c.index;
}

class IndexOutOfRange : public MicroControllerTest, public testing::WithParamInterface<IndexCase> {
  protected:
    void SetUp() override {
        MicroControllerTest::SetUp();
        const std::vector<std::wstring> all{L"Blue", L"Green", L"Red"};
        AddLEDs({all.begin(), all.begin() + GetParam().ledCount});
    }
    std::wstring IndexText() const {
        return L"(" + std::to_wstring(GetParam().index) + L") is out of range" + GetParam().range +
               L".";
    }
};

TEST_P(IndexOutOfRange, GetLEDInfoFailsWithTheListIndexMessage) {
    LEDRecord record;
    record.colorLabel = L"untouched";
    EXPECT_EQ(model_.GetLEDInfo(GetParam().index, record), -1);
    EXPECT_EQ(record.colorLabel, L"untouched");
    ExpectOnlyError(L"MicroController::GetLEDInfo() - Error, the list index" + IndexText());
}

TEST_P(IndexOutOfRange, IsValidLEDIndexFailsWithTheLEDIndexMessage) {
    EXPECT_EQ(model_.IsValidLEDIndex(GetParam().index), -1);
    ExpectOnlyError(L"MicroController::IsValidLEDIndex() - Error, the LED Index" + IndexText());
}

TEST_P(IndexOutOfRange, ManualCommandsStopAtTheIndexCheck) {
    const std::wstring message =
        L"MicroController::IsValidLEDIndex() - Error, the LED Index" + IndexText();
    for (auto command : {&MicroController::TurnLEDOn, &MicroController::TurnLEDOff,
                         &MicroController::StartPulse, &MicroController::StopPulse}) {
        log_.messages.clear();
        EXPECT_EQ((model_.*command)(GetParam().index), -1);
        ExpectOnlyError(message);
    }
    EXPECT_EQ(model_.GetOutputMask(), 0x0080);
}

INSTANTIATE_TEST_SUITE_P(Cases, IndexOutOfRange,
                         testing::Values(IndexCase{2, 2, L"(0..1)"}, IndexCase{3, 3, L"(0..2)"},
                                         IndexCase{3, 7, L"(0..2)"}, IndexCase{2, -1, L"(0..1)"},
                                         IndexCase{0, 0, L"(0..-1)"}));

TEST_F(MicroControllerTest, EveryIndexBelowTheCountIsValid) {
    AddLEDs({L"Blue", L"Green", L"Red"});
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(model_.IsValidLEDIndex(i), 0) << i;
        EXPECT_EQ(Record(i).colorLabel, Labels()[i]);
    }
    EXPECT_THAT(log_.messages, IsEmpty());
}

struct IntensityCase {
    std::uint32_t value;
    std::wstring message;  // empty: accepted
};

void PrintTo(const IntensityCase& c, std::ostream* os) {
    *os << c.value;
}

class SetIntensityRange : public MicroControllerTest,
                          public testing::WithParamInterface<IntensityCase> {};

TEST_P(SetIntensityRange, AcceptsZeroTo255WhileDisconnected) {
    AddLEDs({L"Green", L"Blue"});
    const bool accepted = GetParam().message.empty();
    EXPECT_EQ(model_.SetIntensity(GetParam().value, L"blue"), accepted ? 0 : -1);
    EXPECT_EQ(Record(1).intensity, accepted ? GetParam().value : 26u);
    EXPECT_EQ(Record(0).intensity, 26);
    if (accepted) {
        EXPECT_THAT(log_.messages, IsEmpty());
    } else {
        ExpectOnlyError(GetParam().message);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SetIntensityRange,
    testing::Values(IntensityCase{0, L""}, IntensityCase{255, L""}, IntensityCase{26, L""},
                    IntensityCase{
                        256,
                        L"Error setting blue intensity, the value(256) is out of range(0..255)."},
                    // A negative number in a file arrives as a large unsigned value.
                    IntensityCase{4294967295u,
                                  L"Error setting blue intensity, the value(4294967295) is out "
                                  L"of range(0..255)."}));

TEST_F(MicroControllerTest, SetIntensityOfAnUnknownLabelFailsAtTheLookup) {
    AddLEDs({L"Blue"});
    EXPECT_EQ(model_.SetIntensity(300, L"Red"), -1);
    ExpectOnlyError(Unknown(L"Red"));
}

struct PulseCase {
    PulseParameters pulse;
    std::wstring message;  // empty: accepted
};

void PrintTo(const PulseCase& c, std::ostream* os) {
    *os << "on " << c.pulse.widthOn << " off " << c.pulse.widthOff << " loops "
        << c.pulse.loopCount;
}

class SetLEDPulseRange : public MicroControllerTest,
                         public testing::WithParamInterface<PulseCase> {};

TEST_P(SetLEDPulseRange, AcceptsTheLimitsAndStoresNothingOnFailure) {
    AddLEDs({L"Blue"});
    const PulseParameters before{7, 20.0, 30.0};
    ASSERT_EQ(model_.SetLEDPulse(L"Blue", before), 0);

    const bool accepted = GetParam().message.empty();
    EXPECT_EQ(model_.SetLEDPulse(L"Blue", GetParam().pulse), accepted ? 0 : -1);
    const PulseParameters stored = Record(0).pulse;
    const PulseParameters& expected = accepted ? GetParam().pulse : before;
    EXPECT_EQ(stored.loopCount, expected.loopCount);
    EXPECT_EQ(stored.widthOn, expected.widthOn);
    EXPECT_EQ(stored.widthOff, expected.widthOff);
    if (accepted) {
        EXPECT_THAT(log_.messages, IsEmpty());
    } else {
        ExpectOnlyError(GetParam().message);
    }
}

std::wstring WidthOn(const std::wstring& value) {
    return kPulseStart + L"The pulse width on value(" + value + L")" + kWidthRange;
}

std::wstring WidthOff(const std::wstring& value) {
    return kPulseStart + L"The pulse width off value(" + value + L") " + kWidthRange;
}

std::wstring LoopCount(const std::wstring& value) {
    return kPulseStart + L"The loop count value(" + value + L") is out of range (0...1000000).";
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SetLEDPulseRange,
    testing::Values(PulseCase{{0, 0.1, 0.1}, L""}, PulseCase{{1000000, 1800000.0, 1800000.0}, L""},
                    PulseCase{{5, 10.0, 90.0}, L""}, PulseCase{{0, 1234.567, 0.25}, L""},
                    PulseCase{{0, 0.05, 90.0}, WidthOn(L"0.1")},
                    PulseCase{{0, 0.0, 90.0}, WidthOn(L"0.0")},
                    PulseCase{{0, -2.0, 90.0}, WidthOn(L"-2.0")},
                    PulseCase{{0, 1800000.1, 90.0}, WidthOn(L"1800000.1")},
                    PulseCase{{0, std::nan(""), 90.0}, WidthOn(L"nan")},
                    // The first bad field decides the message.
                    PulseCase{{2000000, 0.0, 0.0}, WidthOn(L"0.0")},
                    PulseCase{{0, 10.0, 0.09}, WidthOff(L"0.1")},
                    PulseCase{{0, 10.0, 2500000.0}, WidthOff(L"2500000.0")},
                    PulseCase{{2000000, 10.0, 2500000.0}, WidthOff(L"2500000.0")},
                    PulseCase{{1000001, 10.0, 90.0}, LoopCount(L"1000001")},
                    PulseCase{{4294967295u, 10.0, 90.0}, LoopCount(L"4294967295")}));

TEST_F(MicroControllerTest, SetLEDPulseOfAnUnknownLabelFailsAtTheLookup) {
    AddLEDs({L"Blue"});
    EXPECT_EQ(model_.SetLEDPulse(L"Red", {0, 0.0, 0.0}), -1);
    ExpectOnlyError(Unknown(L"Red"));
}

TEST_F(MicroControllerTest, DisconnectedSendAllIntensitiesSendsNothingAndSucceeds) {
    AddLEDs({L"Blue", L"Green"});
    EXPECT_EQ(model_.SendAllIntensities(), 0);
    EXPECT_THAT(log_.messages, IsEmpty());
}

TEST_F(MicroControllerTest, DisconnectedOutputCommandsFailAndKeepTheMask) {
    AddLEDs({L"Blue", L"Green"});
    for (auto command : {&MicroController::TurnLEDOn, &MicroController::TurnLEDOff,
                         &MicroController::StartPulse, &MicroController::StopPulse}) {
        log_.messages.clear();
        EXPECT_EQ((model_.*command)(1), -1);
        EXPECT_FALSE(log_.messages.empty());
        EXPECT_EQ(model_.GetOutputMask(), 0x0080);
    }
}

TEST_F(MicroControllerTest, ListsAreClearedBeforeTheyAreFilled) {
    AddLEDs({L"Blue"});
    std::vector<std::wstring> labels{L"stale", L"older"};
    model_.GetColorLabels(labels);
    EXPECT_THAT(labels, ElementsAre(L"Blue"));
    std::vector<std::wstring> names{L"stale"};
    model_.GetTTLBitNames(names);
    EXPECT_THAT(names, ElementsAre(L"3", L"4", L"5", L"6"));
}

TEST(MicroControllerWithoutLog, FailuresStillReturnMinusOneAndKeepTheirText) {
    MicroController model;
    EXPECT_EQ(model.AddLED(L"", 0.0), -1);
    EXPECT_EQ(model.AddLED(L"Blue", 0.0), 0);
    EXPECT_EQ(model.SetIntensity(256, L"Blue"), -1);
    EXPECT_EQ(model.GetMessageText(),
              L"Error setting Blue intensity, the value(256) is out of range(0..255).");
    EXPECT_EQ(model.TurnLEDOn(0), -1);
    std::uint32_t id = 0;
    EXPECT_EQ(model.GetCommandConversion().GetLEDID(L"Red", id), -1);
}

}  // namespace
