#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <list>
#include <optional>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "CoreOnEmulator.h"
#include "app/ApplicationCore.h"
#include "app/PerUserFiles.h"
#include "app/SequenceFiles.h"
#include "foundation/TextConversion.h"
#include "support/DirectoryEntries.h"
#include "support/LedInfo.h"
#include "support/ScopedEnvironmentVariable.h"

namespace {

namespace fs = std::filesystem;
using testing::AllOf, testing::Contains, testing::ElementsAre, testing::EndsWith,
    testing::HasSubstr, testing::IsEmpty, testing::Pair, testing::StartsWith;
using Result = ApplicationCore::StartupResult;

const LocalTime kNextSecond{2017, 5, 16, 9, 5, 4, 0};

std::string LEDLines(const std::string& label, const std::string& intensity,
                     const std::string& pulse) {
    return "-SetIntensity \"" + label + "\" " + intensity + "\r\n-SetLEDPulse \"" + label + "\" " +
           pulse + "\r\n\r\n";
}

// What the shut-down writes after a run that changed nothing.
const std::string kUntouchedSettings =
    "#Micro Controller Settings\r\n-SetMicroControllerPortNumber 4\r\n\r\n" +
    LEDLines("Blue", "26", "10 90 0") + LEDLines("Green", "26", "10 90 0") +
    LEDLines("Red", "26", "10 90 0") + "\r\n#Sequence Container Settings\r\n\r\n\r\n";

std::wstring Wide(const fs::path& path) {
    return NarrowToWide(path.string());
}

// The environment of every test points into a temporary directory, so no test touches the
// real home; TEMP and APPDATA are set, the XDG variables are not.
class ApplicationCoreTest : public CoreOnEmulator, public testing::Test {
  protected:
    ApplicationCoreTest() : CoreOnEmulator(4) {}

    fs::path DataPath() const { return dir_.Path() / "temp/VelorinData/Ostra/2017-05-16_09-05-03"; }
};

// --- Start-up ---------------------------------------------------------------------------

TEST_F(ApplicationCoreTest, StartupPreparesDirectoriesLogAndModelsAndTheCloseSaves) {
    Start(core_);
    EXPECT_EQ(core_.GetExitCode(), 0);
    EXPECT_EQ(core_.GetDataDirectory(), Wide(DataPath()));
    EXPECT_EQ(core_.GetSettingsFilePath(), Wide(SettingsPath()));
    const fs::path logPath = DataPath() / "OstraLogFile.txt";
    EXPECT_THAT(ReadFileBytes(logPath),
                HasSubstr("\r\nTime Opened: (m/d/y)  5/16/2017 at time 9:5:3.0\r\n"));
    // Snapshots go into the run's directory.
    EXPECT_EQ(core_.GetSnapshotFileName(),
              Wide(DataPath()) + L"/TrivaneSettings_2017-05-16_09-05-03.cfg");

    // A missing settings file is a notice, and the close creates it.
    EXPECT_THAT(receiver_.MessagesAt(LogLevel::Notice),
                Contains(L"Settings file (" + Wide(SettingsPath()) + L") was not found."));
    EXPECT_FALSE(fs::exists(SettingsPath()));
    core_.ShutDown();
    EXPECT_EQ(ReadFileBytes(SettingsPath()), kUntouchedSettings);
    EXPECT_EQ(ReadFileBytes(DataPath() / "OstraSettings.cfg"), kUntouchedSettings);
    EXPECT_THAT(DirectoryEntries(DataPath()), ElementsAre("OstraLogFile.txt", "OstraSettings.cfg"));
    EXPECT_FALSE(core_.GetLogFile().IsOpen());
    EXPECT_THAT(notifier_.boxes, IsEmpty());
}

// A file read on demand replaces the sequences and is not remembered: the close saves to the
// per-user file, and what it saves the next run reads back and saves again byte for byte.
TEST_F(ApplicationCoreTest, SettingsReadOnDemandSurviveTheCloseAndTheNextStart) {
    WriteSettings("-SetIntensity \"Green\" 100\r\n-AddSequence 3 \"Old\"\r\n");
    Start(core_);
    const fs::path other = dir_.Path() / "other.cfg";
    const std::string otherBytes =
        "-SetIntensity \"Blue\" 0\r\n-AddSequence 0 \"First\"\r\n-AddSequenceCommandSet 0 0\r\n"
        "-AddSequenceCommand 0 0 \"-Duration 12.5\"\r\n-AddSequenceCommandSet 0 1\r\n";
    WriteFileBytes(other, otherBytes);
    ASSERT_EQ(core_.ReadSettingsFile(Wide(other)), 0);
    SequenceContainer& sequences = core_.GetSequenceContainer();
    EXPECT_EQ(sequences.GetSequenceName(3), L"");
    EXPECT_EQ(LedInfo(core_.GetMicroController(), 0).intensity, 0);
    EXPECT_EQ(LedInfo(core_.GetMicroController(), 1).intensity, 100);  // untouched by the file
    // Saved to a file of the operator's choice, the settings are no longer at risk.
    EXPECT_TRUE(core_.HasUnsavedSettings());
    ASSERT_EQ(core_.WriteSettingsFile(Wide(dir_.Path() / "saved.cfg")), 0);
    EXPECT_FALSE(core_.HasUnsavedSettings());
    // Compared with the save, not counted: a change undone leaves nothing unsaved.
    for (const auto& [change, unsaved] : std::vector<std::pair<std::function<int()>, bool>>{
             {[&] { return sequences.RemoveCommandSet(0, 1); }, true},
             {[&] { return sequences.AddCommandSet(0, 1); }, false},
             {[&] { return sequences.ModifySequenceNumber(0, 5); }, true},
             {[&] { return sequences.ModifySequenceNumber(5, 0); }, false}}) {
        ASSERT_EQ(change(), 0);
        EXPECT_EQ(core_.HasUnsavedSettings(), unsaved);
    }
    core_.ShutDown();
    const std::string first = ReadFileBytes(SettingsPath());
    EXPECT_EQ(ReadFileBytes(other), otherBytes);
    EXPECT_THAT(first, AllOf(HasSubstr(LEDLines("Green", "100", "10 90 0")),
                             EndsWith(WideToNarrow(SequenceFiles::SettingsSection(sequences)))));

    ApplicationCore second(notifier_);
    Start(second, kNextSecond);
    second.ShutDown();
    EXPECT_EQ(ReadFileBytes(DataPath().string() + "/../2017-05-16_09-05-04/OstraSettings.cfg"),
              first);
    EXPECT_THAT(receiver_.Errors(), IsEmpty());
}

// Numbering goes on past a hundred runs within one second.
TEST_F(ApplicationCoreTest, NumberedDataDirectoriesAllowSeveralStartsInOneSecond) {
    Start(core_);
    for (int n = 2; n <= 150; ++n)
        fs::create_directory(DataPath().string() + "_" + std::to_string(n));
    ApplicationCore reader(notifier_);
    reader.SetAllowNumberedDataDirectory(true);
    reader.SetSettingsAccess(ApplicationCore::SettingsAccess::ReadOnly);
    Start(reader);
    EXPECT_EQ(reader.GetLogFile().GetFullPath(), Wide(DataPath()) + L"_151/OstraLogFile.txt");
    EXPECT_THAT(notifier_.boxes, IsEmpty());
}

// --- Where the directories are, and what may stop them ---------------------------------

struct LocationCase {
    const char* name;
    // TEMP, XDG_DATA_HOME, APPDATA, XDG_CONFIG_HOME: "@" stands for the test's directory, "-"
    // for unset, "." for empty.
    const char* environment;
    // The data root and the per-user folder, relative to the test's directory.
    const char *dataRoot, *perUser;
};

class LocationTest : public ApplicationCoreTest,
                     public testing::WithParamInterface<LocationCase> {};

TEST_P(LocationTest, DirectoriesFollowTheEnvironment) {
    const LocationCase& c = GetParam();
    std::list<ScopedEnvironmentVariable> variables;
    std::istringstream values(c.environment);
    for (const char* name : {"TEMP", "XDG_DATA_HOME", "APPDATA", "XDG_CONFIG_HOME"}) {
        std::string value;
        values >> value;
        if (value.starts_with("@"))
            value = dir_.Path().string() + value.substr(1);
        variables.emplace_back(
            name, value == "-" ? std::nullopt : std::optional(value == "." ? "" : value));
    }
    Start(core_);
    EXPECT_EQ(core_.GetDataDirectory(),
              Wide(dir_.Path() / c.dataRoot / "Ostra" / "2017-05-16_09-05-03"));
    EXPECT_TRUE(fs::is_directory(WideToNarrow(core_.GetDataDirectory())));
    EXPECT_EQ(core_.GetSettingsFilePath(), Wide(dir_.Path() / c.perUser / "OstraSettings.cfg"));
    EXPECT_TRUE(fs::is_directory(dir_.Path() / c.perUser));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LocationTest,
    testing::Values(LocationCase{"WindowsVariablesWin", "@/temp @/xdg-data @/roaming @/xdg-config",
                                 "temp/VelorinData", "roaming/Velorin/Ostra"},
                    LocationCase{"TrailingSlashesDropped", "@/temp// - @/roaming/ -",
                                 "temp/VelorinData", "roaming/Velorin/Ostra"},
                    LocationCase{"XdgDirectories", "- @/xdg-data - @/xdg-config",
                                 "xdg-data/VelorinData", "xdg-config/Velorin/Ostra"},
                    LocationCase{"EmptyCountsAsUnset", ". @/xdg-data . @/xdg-config",
                                 "xdg-data/VelorinData", "xdg-config/Velorin/Ostra"},
                    LocationCase{"HomeDefaults", "- - - -", "home/.local/share/VelorinData",
                                 "home/.config/Velorin/Ostra"},
                    LocationCase{"RelativeXdgIgnored", "- relative/data - relative/config",
                                 "home/.local/share/VelorinData", "home/.config/Velorin/Ostra"}),
    [](const auto& info) { return std::string(info.param.name); });

// What is found where a folder must go, put there by someone else (or by an earlier start in
// the same second, where numbering is not allowed).
enum class Planted { EarlierRun, File, Link, OpenFolder, OtherUsersFolder };

struct RefusedCase {
    const char* name;
    Planted planted;
    const char* at;  // relative to the test's directory
    Result result;
    std::wstring message;  // "@" standing for the test's directory
};

class RefusedLocationTest : public ApplicationCoreTest,
                            public testing::WithParamInterface<RefusedCase> {};

// Another user's folder, a link or a folder anyone may change could redirect the run's files:
// each is refused before the log opens (the per-user folder after it), saying what to set;
// numbered data directories do not hide it. A run that never started writes nothing on close.
TEST_P(RefusedLocationTest, StartStopsAndSaysWhy) {
    const RefusedCase& c = GetParam();
    if (c.planted == Planted::OtherUsersFolder && geteuid() != 0)
        GTEST_SKIP() << "only root can give a folder to another user";
    const fs::path planted = dir_.Path() / c.at;
    fs::create_directories(planted.parent_path());
    if (c.planted == Planted::File) {
        WriteFileBytes(planted, "not a directory");
    } else if (c.planted == Planted::Link) {
        fs::create_symlink(dir_.Path(), planted);
    } else if (c.planted == Planted::EarlierRun) {
        ApplicationCore earlier(notifier_);
        Start(earlier);
    } else {
        fs::create_directories(planted);
        chmod(planted.c_str(), c.planted == Planted::OpenFolder ? 0777 : 01777);
        if (c.planted == Planted::OtherUsersFolder) {
            ASSERT_EQ(chown(planted.c_str(), 65534, 65534), 0);
        }
    }
    const std::string logBefore =
        c.planted == Planted::EarlierRun ? ReadFileBytes(DataPath() / "OstraLogFile.txt") : "";
    core_.SetAllowNumberedDataDirectory(c.planted != Planted::EarlierRun);
    ASSERT_EQ(Configure(core_), c.result) << WideToNarrow(receiver_.Text());

    std::wstring message = c.message;
    for (std::size_t at = message.find(L'@'); at != std::wstring::npos; at = message.find(L'@'))
        message.replace(at, 1, Wide(dir_.Path()));
    EXPECT_THAT(notifier_.boxes, ElementsAre(Pair(L"Data Directory Error", message)));
    const bool dataFailed = c.result == Result::DataDirectoryFailed;
    EXPECT_EQ(core_.GetLogFile().IsOpen(), !dataFailed);
    EXPECT_EQ(core_.GetExitCode(), dataFailed ? 0 : 1);
    core_.ShutDown();
    EXPECT_EQ(notifier_.boxes.size(), 1u);
    EXPECT_FALSE(fs::exists(SettingsPath()));
    if (c.planted == Planted::EarlierRun) {
        EXPECT_EQ(ReadFileBytes(DataPath() / "OstraLogFile.txt"), logBefore);
        EXPECT_THAT(DirectoryEntries(DataPath()), ElementsAre("OstraLogFile.txt"));
    }
}

// The refusal of a data root: which folder, and why.
std::wstring RootRefused(const std::wstring& root, const std::wstring& why) {
    return L"Error creating root data directory(@/temp/" + root + L").  Unable to proceed.  @/" +
           why + L".  Set TEMP to a folder of your own.";
}
const std::wstring kDatedRefused =
    L"Error creating data directory(@/temp/VelorinData/Ostra/2017-05-16_09-05-03).  Unable to "
    L"proceed.";
constexpr auto kDataFailed = Result::DataDirectoryFailed;

INSTANTIATE_TEST_SUITE_P(
    Cases, RefusedLocationTest,
    testing::Values(
        RefusedCase{"SecondStartInTheSameSecond", Planted::EarlierRun, "", kDataFailed,
                    kDatedRefused},
        RefusedCase{"DataRootFile", Planted::File, "temp/VelorinData", kDataFailed,
                    RootRefused(L"VelorinData", L"temp/VelorinData is not a folder")},
        RefusedCase{
            "ProductDirectoryLink", Planted::Link, "temp/VelorinData/Ostra", kDataFailed,
            RootRefused(L"VelorinData/Ostra", L"temp/VelorinData/Ostra is a symbolic link")},
        RefusedCase{"OpenBaseWithoutStickyBit", Planted::OpenFolder, "temp", kDataFailed,
                    RootRefused(L"VelorinData", L"temp may be changed by other users (mode 0777)")},
        RefusedCase{"SettingsFolderOfAnotherUser", Planted::OtherUsersFolder, "appdata/Velorin",
                    Result::SettingsFolderUnsafe,
                    L"The settings folder (@/appdata/Velorin/Ostra/) is not safe to use.  Unable "
                    L"to proceed.  @/appdata/Velorin belongs to another user.  Set APPDATA to a "
                    L"folder of your own."}),
    [](const auto& info) { return std::string(info.param.name); });

// Links in the settings folder, at the settings file and at its lock, are never followed: the
// file they name is neither read nor emptied nor written, and the links stay.
TEST_F(ApplicationCoreTest, LinksInTheSettingsFolderAreNotFollowed) {
    const std::string planted = "-SetIntensity \"Blue\" 255\r\n";
    const fs::path elsewhere = dir_.Path() / "elsewhere.cfg",
                   lock = SettingsPath().string() + ".lock";
    WriteFileBytes(elsewhere, planted);
    fs::create_directories(SettingsPath().parent_path());
    fs::create_symlink(elsewhere, SettingsPath());
    fs::create_symlink(elsewhere, lock);
    Start(core_);
    EXPECT_EQ(LedInfo(core_.GetMicroController(), 0).intensity, 26);
    core_.ShutDown();
    EXPECT_EQ(ReadFileBytes(elsewhere), planted);
    EXPECT_TRUE(fs::is_symlink(SettingsPath()) && fs::is_symlink(lock));
}

// A missing (or invalid: the same branch) setup file asks to end the application with exit
// code 1; the settings file is not read.
TEST_F(ApplicationCoreTest, SetupFileFailureAsksToEndTheApplication) {
    const fs::path setup = ProgramPath() / "OstraSetup.cfg";
    fs::remove(setup);
    EXPECT_EQ(Configure(core_), Result::SetupFileFailed);
    EXPECT_EQ(core_.GetExitCode(), 1);
    EXPECT_THAT(notifier_.boxes,
                ElementsAre(Pair(L"Configuration Error",
                                 L"Error, setup file (" + Wide(setup) +
                                     L") could not be found or was invalid.  Unable to start "
                                     L"application, please contact Velorin support")));
    EXPECT_EQ(core_.GetSettingsFilePath(), L"");
}

// A settings file that stops part-way is copied beside the log. A run that changes nothing
// leaves it as it is, so every start says so again until the operator mends it.
TEST_F(ApplicationCoreTest, SettingsFileFailingPartWayIsAnnouncedOnEveryStart) {
    const std::string original = "-SetIntensity \"Blue\" 100\r\n-SetIntensity \"Amber\" 5\r\n";
    WriteSettings(original);
    for (const LocalTime& time : {kStartTime, kNextSecond}) {
        ApplicationCore run(notifier_);
        run.SetAllowNumberedDataDirectory(true);
        receiver_.messages.clear();
        Start(run, time);
        const fs::path copy =
            fs::path(WideToNarrow(run.GetDataDirectory())) / "OstraSettings_failed_original.cfg";
        EXPECT_THAT(receiver_.MessagesAt(LogLevel::Warning),
                    ElementsAre(L"Settings file (" + Wide(SettingsPath()) +
                                L") could not be read completely; the original is kept as " +
                                Wide(copy) + L"."));
        EXPECT_EQ(LedInfo(run.GetMicroController(), 0).intensity, 100);
        EXPECT_EQ(ReadFileBytes(copy), original);
        run.ShutDown();
        EXPECT_EQ(ReadFileBytes(SettingsPath()), original);
    }
}

// --- Who may write the per-user settings ----------------------------------------------

// Two programs over one settings file; flock makes two cores of one process conflict as well.
// Neither the refused writer nor a reader writes what it changed; a writer that changed nothing
// leaves the file as written, comments and all.
TEST_F(ApplicationCoreTest, OneWriterAtATimeAndReadersNeverWrite) {
    const std::string handWritten = "# mine\r\n-SetIntensity Blue 100\r\n";
    WriteSettings(handWritten);
    Start(core_);
    for (const bool reads : {false, true}) {
        ApplicationCore other(notifier_);
        other.SetAllowNumberedDataDirectory(true);
        if (reads)
            other.SetSettingsAccess(ApplicationCore::SettingsAccess::ReadOnly);
        EXPECT_EQ(Configure(other), reads ? Result::Started : Result::SettingsInUse);
        EXPECT_EQ(other.GetExitCode(), reads ? 0 : 1);
        ASSERT_EQ(other.GetMicroController().SetIntensity(1, L"Blue"), 0);
        other.ShutDown();
    }
    EXPECT_THAT(notifier_.boxes,
                ElementsAre(Pair(L"Settings In Use",
                                 L"The settings file (" + Wide(SettingsPath()) +
                                     L") is in use by ostra_tests_app (process " +
                                     std::to_wstring(getpid()) +
                                     L").  Close that program, or wait until it ends, and try "
                                     L"again.")));
    core_.ShutDown();
    EXPECT_EQ(ReadFileBytes(SettingsPath()), handWritten);
}

// --- The record of a run ---------------------------------------------------------------

// A run leaves the timeline with the clock's start, and for a stop (asked for while the run
// waits) the stop, in the data directory; the closing line says which. Who asked for the run is
// named when the front end says it.
TEST_F(ApplicationCoreTest, RunLeavesTheDeliveredStimulusInTheDataDirectory) {
    ASSERT_EQ(driver_.Start(), 0);
    WriteSettings(
        "-AddSequence 2 \"Flash\"\r\n-AddSequenceCommandSet 2 0\r\n"
        "-AddSequenceCommand 2 0 \"-On Green\"\r\n-AddSequenceCommand 2 0 \"-Duration 2\"\r\n");
    Start(core_);
    ASSERT_EQ(core_.GetMicroController().GetConnection().Connect(4), 0);
    ASSERT_TRUE(core_.UploadSequences().status.Ok());
    for (const bool stop : {false, true}) {
        // Both runs start in the same second: the second record does not replace the first.
        const fs::path record = DataPath() / (stop ? "Stimulus_2_2017-05-16_09-05-03_2.tsv"
                                                   : "Stimulus_2_2017-05-16_09-05-03.tsv");
        int waits = 0;
        const SequenceRun::Result run = core_.RunSequence(
            2, [&](SequenceRun::Milliseconds) { return stop && ++waits == 2; }, nullptr, nullptr,
            stop ? L"script (process 4711)" : L"");
        ASSERT_EQ(run.completed, !stop);
        EXPECT_EQ(run.stimulusRecord, Wide(record));
        EXPECT_THAT(
            ReadFileBytes(record),
            AllOf(StartsWith("# Stimulus delivered by sequence 2 (Flash)\n# start\t2017-05-16 "
                             "09:05:03.000\n" +
                             std::string(stop ? "# by\tscript (process 4711)\n" : "") +
                             "time_ms\tlane\tvalue\tsource\n"),
                  HasSubstr("\n0.0\tGreen\ton\tseq 2 step 0\n"),
                  EndsWith(stop ? "\n# stop\t2017-05-16 09:05:03.000\n# completed\tno (stopped "
                                  "early)\n"
                                : "seq 2 step 0\n# completed\tyes\n")));
        EXPECT_EQ(receiver_.MessagesAt(LogLevel::Notice).back(),
                  stop ? L"Sequence 2 (Flash) was stopped." : L"Sequence 2 (Flash) completed.");
    }
}

// The window's preview is drawn unasked: a step the conversion refuses (an intensity and a TTL
// bit share it) leaves the operator's log untouched.
TEST_F(ApplicationCoreTest, PreviewOfATimelineLogsNothing) {
    WriteSettings(
        "-AddSequence 2 \"Mixed\"\r\n-AddSequenceCommandSet 2 0\r\n"
        "-AddSequenceCommand 2 0 \"-SetIntensity Green 20\"\r\n"
        "-AddSequenceCommand 2 0 \"-TTLHigh 3\"\r\n");
    Start(core_);
    const std::size_t logged = receiver_.MessagesAt(LogLevel::Error).size();
    EXPECT_TRUE(core_.PreviewSequenceTimeline(2, 100).timeline);
    EXPECT_EQ(receiver_.MessagesAt(LogLevel::Error).size(), logged);
}

// A run that crashes with unsaved settings leaves the recovery copy; the next run offers it and
// reads it only when the operator opens it, removes it only when the operator discards it, and
// keeps it for the start after otherwise (Escape once discarded it silently). The log says which.
TEST_F(ApplicationCoreTest, RecoveryCopyOfACrashedRunIsOfferedNotApplied) {
    {
        ApplicationCore crashed(notifier_);
        Start(crashed);
        PerUserFiles files(crashed);
        EXPECT_FALSE(crashed.HasUnsavedSettings());
        ASSERT_EQ(crashed.GetSequenceContainer().AddSequence(7, L"Kept"), 0);
        EXPECT_TRUE(crashed.HasUnsavedSettings());
        ASSERT_EQ(files.KeepRecoveryCopy(), 0);
        // No shut-down: the process ends here.
    }
    const fs::path copy = SettingsPath().parent_path() / PerUserFiles::kRecoveryName;
    ASSERT_TRUE(fs::exists(copy));
    using Choice = PerUserFiles::RecoveryChoice;
    const struct {
        Choice choice;
        bool copyStays;
        const wchar_t* log;
    } rows[] = {{Choice::Keep, true, L"is kept for the next start."},
                {Choice::Discard, false, L"is discarded."},
                {Choice::Open, true, L"is opened."}};
    fs::copy_file(copy, dir_.Path() / "copy.cfg");
    int minute = 6;
    for (const auto& row : rows) {
        fs::copy_file(dir_.Path() / "copy.cfg", copy, fs::copy_options::skip_existing);
        receiver_.messages.clear();
        ApplicationCore next(notifier_);
        Start(next, LocalTime{2017, 5, 16, 9, minute++, 3, 0});
        PerUserFiles files(next);
        std::wstring offered;
        EXPECT_EQ(files.OfferRecoveryCopy([&](const std::wstring& path) {
            offered = path;
            return row.choice;
        }),
                  row.choice == Choice::Open);
        EXPECT_EQ(offered, Wide(copy));
        EXPECT_EQ(next.GetSequenceContainer().GetSequenceName(7),
                  row.choice == Choice::Open ? L"Kept" : L"");
        EXPECT_EQ(fs::exists(copy), row.copyStays);
        EXPECT_THAT(receiver_.MessagesAt(LogLevel::Notice),
                    testing::Contains(L"The recovery copy of the settings (" + Wide(copy) + L") " +
                                      row.log));
        next.ShutDown();
    }
}

}  // namespace
