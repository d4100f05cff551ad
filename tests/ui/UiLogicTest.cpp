#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "ui/DeviceStatusLine.h"
#include "ui/GridColumnWidths.h"
#include "ui/LedPanelTexts.h"
#include "ui/MessageLogRows.h"
#include "ui/PulseDeadline.h"
#include "ui/RecentFiles.h"
#include "ui/WindowStates.h"

namespace {

// Enabled controls of one panel as a word: slider, intensity, LED toggle, pulse edits, pulse
// toggle, "-" for a disabled one.
std::string Enabled(const PanelView& p) {
    return {p.slider ? 's' : '-', p.intensity ? 'i' : '-', p.ledToggle ? 'l' : '-',
            p.pulseEdits ? 'e' : '-', p.pulseToggle ? 'p' : '-'};
}

TEST(WindowStatesTest, EveryEnabledStateFollowsFromTheCurrentState) {
    // ledOn: one per panel; menus: connect, disconnect, file commands, pages; panels as Enabled.
    const struct {
        bool wired, connected, busy;
        int pulsing;
        std::vector<bool> ledOn;
        std::string menus, panels;
    } cases[] = {
        // An early start-up failure leaves only Exit and About.
        {false, false, false, -1, {}, "----", ""},
        {true, false, false, -1, {0, 0}, "c-fp", "----- ----- "},
        {true, true, false, -1, {0, 1}, "-dfp", "silep sile- "},
        // One panel pulses: every other panel is locked, also right after a reconnect.
        {true, true, false, 1, {0, 0, 0}, "-dfp", "----- si--p ----- "},
        // A device operation runs: nothing starts another.
        {true, true, true, 1, {0, 0}, "---p", "----- ----- "},
        // Disconnected while a train was running: the panels stay locked until reconnected.
        {true, false, false, 0, {0, 0}, "c-fp", "----- ----- "},
    };
    for (const auto& c : cases) {
        const WindowView view =
            ComputeWindowView({c.wired, c.connected, c.busy, c.pulsing, c.ledOn});
        const std::string menus = {view.connect ? 'c' : '-', view.disconnect ? 'd' : '-',
                                   view.fileCommands ? 'f' : '-', view.pages ? 'p' : '-'};
        std::string panels;
        for (const PanelView& panel : view.panels)
            panels += Enabled(panel) + " ";
        EXPECT_EQ(menus + " " + panels, c.menus + " " + c.panels)
            << "connected " << c.connected << " pulsing " << c.pulsing;
    }
    // The upload's progress box is not modal, so Stop All stays in reach: the pages are still.
    EXPECT_FALSE(ComputeWindowView({true, true, true, -1, {false}, true}).pages);
}

TEST(LedPanelTextsTest, DisplayTexts) {
    using namespace LedPanelTexts;
    const std::pair<std::wstring, std::wstring> cases[] = {
        {Percent(128), L"(50)%"},
        {Power(128, 1000.0), L"501.96 mW"},
        {MaximumPower(1000.0), L"(1000.00 mW)"},
        {Power(128, 0.0) + MaximumPower(0.0), L""},  // no power known
        {Frequency(10, 90) + L"|" + DutyCycle(10, 90), L"10 Hz|10 % Duty Cycle"},
        {Frequency(1, 2) + L"|" + DutyCycle(1, 2), L"333.333 Hz|33 % Duty Cycle"},
        // As the settings file keeps a width (six significant digits), never with an exponent.
        {Width(10) + L"|" + Width(7.25) + L"|" + Width(1800000) + L"|" + Width(2.1234567),
         L"10|7.25|1800000|2.12346"}};
    for (const auto& [shown, expected] : cases)
        EXPECT_EQ(shown, expected);
}

TEST(LedPanelTextsTest, IntensityEntries) {
    const std::wstring rangeText =
        L") is an invalid intensity. \r\nPlease enter a new value "
        L"within the following range: 0..255";
    const struct {
        std::wstring text, shown;
        std::optional<std::uint32_t> value;
    } cases[] = {{L"200", L"", 200u},
                 {L" 255 ", L"", 255u},
                 {L"256", L"256", std::nullopt},
                 // Text that is no number was once read as 0 and sent.
                 {L"abc", L"abc", std::nullopt},
                 {L"12x", L"12x", std::nullopt}};
    for (const auto& c : cases) {
        const auto entry = LedPanelTexts::ReadIntensity(c.text);
        EXPECT_EQ(entry.value, c.value) << std::string(c.text.begin(), c.text.end());
        EXPECT_EQ(entry.error, c.value ? L"" : L"The value entered(" + c.shown + rangeText);
    }
}

TEST(LedPanelTextsTest, PulseEntriesNameTheFirstInvalidField) {
    using LedPanelTexts::PulseField;
    const std::wstring widthRange =
        L") is an invalid.\r\nPlease enter a new value between 0.1 and 1800000.0 ms.";
    const std::wstring loopRange =
        L") is an invalid.\r\nPlease enter a new value between 0 and 1000000.";
    const struct {
        std::wstring on, off, loops;
        PulseField field;
        std::wstring error;
    } refused[] = {
        {L"0.05", L"90", L"5", PulseField::WidthOn, L"The value entered(0.05" + widthRange},
        {L"10", L"1800000.1", L"5", PulseField::WidthOff,
         L"The value entered(1800000.1" + widthRange},
        {L"10", L"90", L"1000001", PulseField::LoopCount, L"The value entered(1000001" + loopRange},
        {L"10", L"90", L"-1", PulseField::LoopCount, L"The value entered(4294967295" + loopRange},
        {L"10", L"90", L"abc", PulseField::LoopCount, L"The value entered(abc" + loopRange}};
    for (const auto& c : refused) {
        const LedPanelTexts::PulseEntry entry = LedPanelTexts::ReadPulse({}, c.on, c.off, c.loops);
        EXPECT_EQ(std::tuple(entry.value.has_value(), entry.invalidField, entry.error),
                  std::tuple(false, c.field, c.error));
    }
    const auto read = [](const LedPanelTexts::PulseEntry& entry) {
        const PulseParameters pulse = entry.value.value_or(PulseParameters{99, 99, 99});
        return std::tuple(pulse.widthOn, pulse.widthOff, pulse.loopCount);
    };
    EXPECT_EQ(read(LedPanelTexts::ReadPulse({}, L"0.1", L"1800000", L"0")),
              std::tuple(0.1, 1800000.0, 0u));
    // A field the operator left alone keeps the stored value, however its text rounds it.
    const PulseParameters stored{3, 7.123456789, 7.25};
    EXPECT_EQ(read(LedPanelTexts::ReadPulse(stored, std::nullopt, L"5", std::nullopt)),
              std::tuple(7.123456789, 5.0, 3u));
}

// The newest 201 rows stay. The log file keeps every level; the window shows what its filter
// asks for, and a wider filter shows again what a narrower one hid.
TEST(MessageLogRowsTest, KeepsTheNewest201WithErrorsMarkedAndFiltersLevels) {
    MessageLogRows rows;
    for (int n = 0; n < 250; ++n) {
        rows.Append(n % 2 ? LogLevel::Error : LogLevel::Notice, std::to_wstring(n),
                    L" 09:05:03.007");
    }
    ASSERT_EQ(rows.Size(), 201u);
    EXPECT_EQ(rows.At(0).message, L"49");
    EXPECT_EQ(rows.At(200).message + rows.At(200).type + rows.At(199).type, L"249ErrorNotice");
    EXPECT_TRUE(rows.At(200).error && !rows.At(199).error);

    rows = MessageLogRows();
    rows.SetFilter(LogFilter::ErrorsAndWarnings);
    const std::wstring levels = L"FEWND";  // Fatal, Error, Warning, Notice, Data
    for (std::size_t level = 0; level < levels.size(); ++level)
        rows.Append(static_cast<LogLevel>(level), levels.substr(level, 1), L" 09:05:03.007");
    for (const auto& [filter, shown] : {std::pair{LogFilter::ErrorsAndWarnings, L"FEW"},
                                        {LogFilter::Data, L"FEWND"},
                                        {LogFilter::Notices, L"FEWN"}}) {
        rows.SetFilter(filter);
        std::wstring text;
        for (std::size_t row = 0; row < rows.Size(); ++row)
            text += rows.At(row).message;
        EXPECT_EQ(text, shown);
    }
}

// The longest train, (1,800,000 + 1,800,000) ms x 1,000,000 loops, overflows any int timer: the
// deadline holds it and the timer runs in chunks up to it.
TEST(PulseDeadlineTest, LongTrainsEndAfterTheirWholeLengthInChunks) {
    EXPECT_FALSE(PulseDeadline::TrainLength({}));
    EXPECT_EQ(PulseDeadline::TrainLength({5, 10.0, 90.0}), 500);
    const std::int64_t length = *PulseDeadline::TrainLength({1000000, 1800000.0, 1800000.0});
    EXPECT_EQ(length, 3600000000000LL);
    PulseDeadline deadline;
    deadline.Arm(1000, length);
    std::int64_t now = 1000;
    int chunks = 0;
    while (!deadline.HasPassed(now)) {
        const int interval = deadline.NextInterval(now);
        ASSERT_GT(interval, 0);
        now += interval;
        ++chunks;
    }
    EXPECT_EQ(now, 1000 + length);
    EXPECT_EQ(chunks, 1000000);
}

TEST(DeviceStatusLineTest, StateThenPortFirmwareAndEmulator) {
    const std::wstring where = L" | COM6 (/dev/ttyACM6) | Firmware 1.00";
    const std::wstring inUse = L"The port COM6 is in use by another program.";
    const std::wstring how = L" | To connect: Connection > Connect To Zavik Driver (Ctrl+K)";
    const struct {
        bool connecting, connected, simulated;
        int upload;  // sequence n of 5 is uploading; 0: none
        std::optional<std::uint32_t> running;
        std::wstring error, text;
    } cases[] = {
        {false, false, false, 0, {}, L"", L"Disconnected" + how},
        {true, false, false, 0, {}, L"", L"Connecting"},
        {false, true, false, 0, {}, L"", L"Connected" + where},
        {false, true, true, 0, {}, L"", L"Connected" + where + L" | SIMULATED"},
        {false, true, false, 2, {}, L"", L"Uploading 2/5" + where},
        // A run outranks the upload count a finished upload may leave.
        {false, true, false, 2, 3, L"", L"Running sequence 3, 12.5 s left" + where},
        {false, false, false, 0, {}, inUse, L"Error: " + inUse + how},
    };
    for (const auto& c : cases) {
        StatusLineState state;
        state.connecting = c.connecting, state.connected = c.connected;
        state.simulated = c.simulated, state.error = c.error;
        state.uploadSequence = c.upload, state.uploadCount = c.upload ? 5 : 0;
        state.runningSequence = c.running, state.runLeftMs = 12401;
        state.connectKeys = L"Ctrl+K";
        if (c.connecting || c.connected)
            state.port = L"COM6 (/dev/ttyACM6)", state.firmware = L"1.00";
        EXPECT_EQ(DeviceStatusLine(state), c.text);
    }
}

// Columns get what they need, then what is comfortable; short of room for what they need,
// those above their least share what there is.
TEST(GridColumnWidthsTest, WhatTheyNeedWithinTheRoomAndTheOperatorsWidthsAsText) {
    const std::vector<int> least{10, 20, 20};
    const std::vector<int> needed{0, 50, 80};
    const std::vector<int> comfortable{40, 40, 40};
    const std::pair<int, std::vector<int>> cases[] = {
        {500, {40, 50, 80}},
        {155, {25, 50, 80}},  // 15 of the 30 the first column would like
        {80, {10, 30, 40}},   // 30 to share by the 30 and 60 needed above the least
        {30, {10, 20, 20}},
    };
    for (const auto& [room, widths] : cases)
        EXPECT_EQ(GridColumnWidths::Fit(least, needed, comfortable, room), widths) << room;
    // Too narrow even for the least, with nothing needed beyond it: once a division by zero.
    EXPECT_EQ(GridColumnWidths::Fit(least, {}, comfortable, 30), least);
    EXPECT_EQ(GridColumnWidths::ToText({85, 115, 9}), L"85 115 9");
    EXPECT_EQ(GridColumnWidths::FromText(L"85 115 9", 3), (std::vector<int>{85, 115, 9}));
    for (const wchar_t* text : {L"85 115", L"85 115 9 9", L"85 0 9", L"85 x 9", L""})
        EXPECT_TRUE(GridColumnWidths::FromText(text, 3).empty()) << text;
}

TEST(RecentFilesTest, NewestFirstOnceAtMostEightAndKeptAsText) {
    RecentFiles recent;
    for (int file = 0; file < 10; ++file)
        recent.Add(L"/f" + std::to_wstring(file));
    recent.Add(L"/f5");
    recent.Remove(L"/f9");
    recent.SetLastFolder(L"settings", L"/dir with blanks");
    const std::vector<std::wstring> expected{L"/f5", L"/f8", L"/f7", L"/f6",
                                             L"/f4", L"/f3", L"/f2"};
    EXPECT_EQ(recent.Files(), expected);
    const RecentFiles read = RecentFiles::FromText(recent.ToText() + L"junk line\n");
    EXPECT_EQ(read.Files(), expected);
    EXPECT_EQ(read.LastFolder(L"settings"), L"/dir with blanks");
    EXPECT_EQ(read.LastFolder(L"sequence"), L"");
    // The window's own choices, one line each; a key of two words cannot be read back.
    recent.SetOption(L"gridColumns", L"85 115 115");
    recent.SetOption(L"logFilter", L"2");
    recent.SetOption(L"log filter", L"0");
    EXPECT_TRUE(
        recent.ToText().ends_with(L"recent /f2\nfolder settings /dir with blanks\n"
                                  L"option gridColumns 85 115 115\noption logFilter 2\n"));
    EXPECT_EQ(RecentFiles::FromText(recent.ToText()).Option(L"gridColumns"), L"85 115 115");
}

}  // namespace
