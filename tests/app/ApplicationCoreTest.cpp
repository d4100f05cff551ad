#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "app/ApplicationCore.h"
#include "app/SequenceFiles.h"
#include "foundation/TextConversion.h"
#include "support/DirectoryEntries.h"
#include "support/EmulatedDriver.h"
#include "support/FileBytes.h"
#include "support/LedInfo.h"
#include "support/PrivateUserEnvironment.h"
#include "support/RecordingNotifier.h"
#include "support/ScopedEnvironmentVariable.h"
#include "support/TempDir.h"

namespace {

namespace fs = std::filesystem;
using testing::Contains;
using testing::ElementsAre;
using testing::IsEmpty;
using testing::Pair;

const LocalTime kStartTime{2017, 5, 16, 9, 5, 3, 0};
const LocalTime kNextSecond{2017, 5, 16, 9, 5, 4, 0};
const std::wstring kDatedName = L"2017-05-16_09-05-03";

const std::string kSetupFile =
    "# the test rig\r\n"
    "-AddLED Blue 12.5\r\n"
    "-AddLED Green 9.8\r\n"
    "-AddLED Red 15\r\n"
    "-SetMicroControllerPortNumber 6\r\n";

std::string LEDLines(const std::string& label, const std::string& intensity,
                     const std::string& pulse) {
    return "-SetIntensity \"" + label + "\" " + intensity + "\r\n-SetLEDPulse \"" + label + "\" " +
           pulse + "\r\n\r\n";
}

// What the shut-down writes after a run that changed nothing.
const std::string kUntouchedSettings =
    "#Micro Controller Settings\r\n"
    "-SetMicroControllerPortNumber 6\r\n"
    "\r\n" +
    LEDLines("Blue", "26", "10 90 0") + LEDLines("Green", "26", "10 90 0") +
    LEDLines("Red", "26", "10 90 0") +
    "\r\n"
    "#Sequence Container Settings\r\n"
    "\r\n"
    "\r\n";

std::wstring Wide(const fs::path& path) {
    return NarrowToWide(path.string());
}

std::vector<std::string> Lines(const std::string& bytes) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end = bytes.find("\r\n"); end != std::string::npos;
         end = bytes.find("\r\n", start)) {
        lines.push_back(bytes.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

// The environment of every test points into a temporary directory, so no test touches the
// real home; TEMP and APPDATA are set, the XDG variables are not.
class ApplicationCoreTest : public testing::Test {
  protected:
    ApplicationCoreTest() {
        fs::create_directories(TempPath());
        fs::create_directories(ProgramPath());
        WriteFileBytes(ProgramPath() / "OstraSetup.cfg", kSetupFile);
    }

    fs::path TempPath() const { return dir.Path() / "temp"; }
    fs::path ProgramPath() const { return dir.Path() / "program"; }
    fs::path DataPath() const {
        return TempPath() / "VelorinData" / "Ostra" / "2017-05-16_09-05-03";
    }
    fs::path SettingsPath() const {
        return dir.Path() / "appdata" / "Velorin" / "Ostra" / "OstraSettings.cfg";
    }
    std::pair<std::wstring, std::wstring> DataDirectoryErrorBox() const {
        return {L"Data Directory Error",
                L"Error creating data directory(" + Wide(DataPath()) + L").  Unable to proceed."};
    }

    void Configure(ApplicationCore& core, const LocalTime& time = kStartTime) {
        core.SetProgramDirectory(Wide(ProgramPath()));
        core.SetClock([time] { return time; });
        core.SetMessageReceiver(&receiver);
    }

    void Start(ApplicationCore& core, const LocalTime& time = kStartTime) {
        Configure(core, time);
        ASSERT_EQ(core.RunStartupSequence(), ApplicationCore::StartupResult::Started)
            << WideToNarrow(receiver.Text());
    }

    TempDir dir;
    PrivateUserEnvironment environment{dir.Path()};
    RecordingNotifier notifier;
    RecordingReceiver receiver;
    ApplicationCore core{notifier};
};

// --- Start-up ---------------------------------------------------------------------------

TEST_F(ApplicationCoreTest, StartupPreparesDirectoriesLogAndModels) {
    Start(core);

    EXPECT_EQ(core.GetExitCode(), 0);
    EXPECT_THAT(notifier.boxes, IsEmpty());
    EXPECT_EQ(core.GetProgramDirectory(), Wide(ProgramPath()));
    EXPECT_EQ(core.GetDataDirectory(), Wide(TempPath()) + L"/VelorinData/Ostra/" + kDatedName);
    EXPECT_EQ(core.GetSettingsFilePath(), Wide(SettingsPath()));
    EXPECT_TRUE(fs::is_directory(SettingsPath().parent_path()));

    const std::vector<std::string> log = Lines(ReadFileBytes(DataPath() / "OstraLogFile.txt"));
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(log[0], "Velorin Base Log File Opened - File Name: " +
                          (DataPath() / "OstraLogFile.txt").string());
    EXPECT_EQ(log[1], "Time Opened: (m/d/y)  5/16/2017 at time 9:5:3.0");
    EXPECT_EQ(core.GetLogFile().GetFullPath(), Wide(DataPath() / "OstraLogFile.txt"));

    MicroController& device = core.GetMicroController();
    std::vector<std::wstring> labels;
    device.GetColorLabels(labels);
    EXPECT_THAT(labels, ElementsAre(L"Blue", L"Green", L"Red"));
    EXPECT_EQ(device.GetPortNumber(), 6u);
    EXPECT_EQ(device.GetOutputMask(), 0x0080);
    EXPECT_TRUE(core.GetConfigFileProcessor().IsInitialized());

    // The sequence model knows the LEDs, logs into the run's log and snapshots into its
    // directory.
    EXPECT_EQ(core.GetSequenceContainer().GetColorLabels(), labels);
    EXPECT_EQ(core.GetSequenceContainer().ValidateSequenceNumber(255), -1);
    EXPECT_EQ(receiver.Errors().size(), 1u);
    EXPECT_EQ(core.GetSnapshotFileName(),
              Wide(DataPath()) + L"/TrivaneSettings_2017-05-16_09-05-03.cfg");
}

TEST_F(ApplicationCoreTest, MissingSettingsFileIsANoticeAndIsCreatedOnClose) {
    Start(core);
    EXPECT_THAT(receiver.MessagesAt(LogLevel::Notice),
                Contains(L"Settings file (" + Wide(SettingsPath()) + L") was not found."));
    EXPECT_THAT(receiver.Errors(), IsEmpty());
    EXPECT_FALSE(fs::exists(SettingsPath()));

    core.ShutDown();

    EXPECT_EQ(ReadFileBytes(SettingsPath()), kUntouchedSettings);
    EXPECT_EQ(ReadFileBytes(DataPath() / "OstraSettings.cfg"), kUntouchedSettings);
    EXPECT_THAT(DirectoryEntries(DataPath()), ElementsAre("OstraLogFile.txt", "OstraSettings.cfg"));
    EXPECT_FALSE(core.GetLogFile().IsOpen());
    const std::string log = ReadFileBytes(DataPath() / "OstraLogFile.txt");
    EXPECT_TRUE(log.ends_with("Log File Closed - End of File\r\n\r\n"));
    EXPECT_THAT(notifier.boxes, IsEmpty());
}

// Everything the operator can set survives a close and the next start: the file the second
// run writes is the file the first one wrote, byte for byte.
TEST_F(ApplicationCoreTest, SettingsWrittenReadBackAndWrittenAgainAreIdentical) {
    Start(core);
    MicroController& device = core.GetMicroController();
    ASSERT_EQ(device.SetIntensity(0, L"Blue"), 0);
    ASSERT_EQ(device.SetIntensity(255, L"Red"), 0);
    ASSERT_EQ(device.SetLEDPulse(L"Green", PulseParameters{1000000, 1234.567, 1800000}), 0);
    ASSERT_EQ(device.SetLEDPulse(L"Red", PulseParameters{0, 0.1, 0.5}), 0);
    device.SetPortNumber(12);
    SequenceContainer& sequences = core.GetSequenceContainer();
    ASSERT_EQ(sequences.AddSequence(254, L"Last One"), 0);
    ASSERT_EQ(sequences.AddSequence(0, L"First"), 0);
    ASSERT_EQ(sequences.AddCommandSet(0, 0), 0);
    ASSERT_EQ(sequences.AddCommand(0, 0, L"-SetIntensity Blue 200"), 0);
    ASSERT_EQ(sequences.AddCommand(0, 0, L"-On Blue"), 0);
    ASSERT_EQ(sequences.AddCommand(0, 0, L"-Duration 12.5"), 0);
    ASSERT_EQ(sequences.AddCommandSet(0, 1), 0);
    ASSERT_EQ(sequences.AddCommandSet(0, 2), 0);
    ASSERT_EQ(sequences.AddCommand(0, 2, L"-TTLHigh 4"), 0);
    ASSERT_EQ(sequences.AddSequence(7, L"Caller"), 0);
    ASSERT_EQ(sequences.AddCommandSet(7, 0), 0);
    ASSERT_EQ(sequences.AddCommand(7, 0, L"-Call 0"), 0);
    core.ShutDown();
    const std::string first = ReadFileBytes(SettingsPath());

    // Numbers as the device section writes them, every sequence as its section does.
    EXPECT_NE(first.find(LEDLines("Green", "26", "1234.57 1.8e+06 1000000")), std::string::npos);
    EXPECT_TRUE(first.ends_with(WideToNarrow(SequenceFiles::SettingsSection(sequences)))) << first;

    ApplicationCore second(notifier);
    Start(second, kNextSecond);
    second.ShutDown();
    EXPECT_EQ(ReadFileBytes(SettingsPath()), first);
    EXPECT_THAT(receiver.Errors(), IsEmpty());
}

TEST_F(ApplicationCoreTest, SecondStartInTheSameSecondIsRefused) {
    Start(core);
    const std::string firstLog = ReadFileBytes(DataPath() / "OstraLogFile.txt");

    ApplicationCore second(notifier);
    Configure(second);
    EXPECT_EQ(second.RunStartupSequence(), ApplicationCore::StartupResult::DataDirectoryFailed);

    EXPECT_THAT(notifier.boxes, ElementsAre(DataDirectoryErrorBox()));
    EXPECT_EQ(second.GetExitCode(), 0);
    EXPECT_EQ(second.GetDataDirectory(), L"");
    EXPECT_FALSE(second.GetLogFile().IsOpen());
    EXPECT_EQ(second.GetMicroController().GetLEDCount(), 0);

    // A run that never started writes nothing when it closes, and its log stays unopened.
    second.ShutDown();
    EXPECT_EQ(notifier.boxes.size(), 1u);
    EXPECT_FALSE(fs::exists(SettingsPath()));
    EXPECT_EQ(ReadFileBytes(DataPath() / "OstraLogFile.txt"), firstLog);
    EXPECT_THAT(DirectoryEntries(DataPath()), ElementsAre("OstraLogFile.txt"));
}

TEST_F(ApplicationCoreTest, NumberedDataDirectoriesAllowSeveralStartsInOneSecond) {
    core.SetAllowNumberedDataDirectory(true);
    Start(core);
    ApplicationCore second(notifier);
    second.SetAllowNumberedDataDirectory(true);
    second.SetSettingsAccess(ApplicationCore::SettingsAccess::ReadOnly);
    Start(second);
    // Well over a hundred runs within that second.
    for (int suffix = 3; suffix <= 150; ++suffix) {
        fs::create_directory(DataPath().string() + "_" + std::to_string(suffix));
    }
    ApplicationCore third(notifier);
    third.SetAllowNumberedDataDirectory(true);
    third.SetSettingsAccess(ApplicationCore::SettingsAccess::ReadOnly);
    Start(third);

    EXPECT_EQ(core.GetDataDirectory(), Wide(DataPath()));
    EXPECT_EQ(second.GetDataDirectory(), Wide(DataPath()) + L"_2");
    EXPECT_EQ(third.GetDataDirectory(), Wide(DataPath()) + L"_151");
    EXPECT_EQ(third.GetLogFile().GetFullPath(), Wide(DataPath()) + L"_151/OstraLogFile.txt");
    EXPECT_EQ(third.GetSnapshotFileName(),
              Wide(DataPath()) + L"_151/TrivaneSettings_2017-05-16_09-05-03.cfg");
    EXPECT_THAT(notifier.boxes, IsEmpty());
}

// What is found where a folder must go, put there by someone else.
enum class Planted { File, Link, OpenFolder, OtherUsersFolder };

struct DirectoryFailureCase {
    const char* name;
    // Relative to the test's root, which "@" stands for in the message.
    std::string path;
    Planted planted;
    ApplicationCore::StartupResult result;
    std::wstring message;
};

void PrintTo(const DirectoryFailureCase& c, std::ostream* out) {
    *out << c.name;
}

class DirectoryFailureTest : public ApplicationCoreTest,
                             public testing::WithParamInterface<DirectoryFailureCase> {};

// Another user's folder, a link or a folder anyone may change could redirect the run's files;
// each is refused before the log opens (the per-user folder after it), saying what to set.
TEST_P(DirectoryFailureTest, ShowsTheMessageAndStopsBeforeUsingTheFolder) {
    const DirectoryFailureCase& c = GetParam();
    if (c.planted == Planted::OtherUsersFolder && geteuid() != 0) {
        GTEST_SKIP() << "only root can give a folder to another user";
    }
    const fs::path planted = dir.Path() / c.path;
    fs::create_directories(planted.parent_path());
    if (c.planted == Planted::File) {
        WriteFileBytes(planted, "not a directory");
    } else if (c.planted == Planted::Link) {
        fs::create_symlink(dir.Path(), planted);
    } else {
        fs::create_directories(planted);
        chmod(planted.c_str(), c.planted == Planted::OpenFolder ? 0777 : 01777);
        if (c.planted == Planted::OtherUsersFolder) {
            ASSERT_EQ(chown(planted.c_str(), 65534, 65534), 0);
        }
    }
    // Numbered data directories do not hide these failures.
    core.SetAllowNumberedDataDirectory(true);
    Configure(core);

    EXPECT_EQ(core.RunStartupSequence(), c.result);

    std::wstring message = c.message;
    for (std::size_t at = message.find(L'@'); at != std::wstring::npos; at = message.find(L'@')) {
        message.replace(at, 1, Wide(dir.Path()));
    }
    EXPECT_THAT(notifier.boxes, ElementsAre(Pair(L"Data Directory Error", message)));
    const bool dataFailed = c.result == ApplicationCore::StartupResult::DataDirectoryFailed;
    EXPECT_EQ(core.GetLogFile().IsOpen(), !dataFailed);
    EXPECT_EQ(core.GetExitCode(), dataFailed ? 0 : 1);
    core.ShutDown();
    EXPECT_FALSE(fs::exists(SettingsPath()));
}

constexpr auto kDataFailed = ApplicationCore::StartupResult::DataDirectoryFailed;
constexpr auto kSettingsFolderUnsafe = ApplicationCore::StartupResult::SettingsFolderUnsafe;

INSTANTIATE_TEST_SUITE_P(
    Cases, DirectoryFailureTest,
    testing::Values(
        DirectoryFailureCase{"DataRootFile", "temp/VelorinData", Planted::File, kDataFailed,
                             L"Error creating root data directory(@/temp/VelorinData).  Unable to "
                             L"proceed.  @/temp/VelorinData is not a folder.  Set TEMP to a folder "
                             L"of your own."},
        DirectoryFailureCase{"ProductDirectoryLink", "temp/VelorinData/Ostra", Planted::Link,
                             kDataFailed,
                             L"Error creating root data directory(@/temp/VelorinData/Ostra).  "
                             L"Unable to proceed.  @/temp/VelorinData/Ostra is a symbolic link.  "
                             L"Set TEMP to a folder of your own."},
        DirectoryFailureCase{"DatedDirectoryFile", "temp/VelorinData/Ostra/2017-05-16_09-05-03",
                             Planted::File, kDataFailed,
                             L"Error creating data directory(@/temp/VelorinData/Ostra/"
                             L"2017-05-16_09-05-03).  Unable to proceed."},
        DirectoryFailureCase{"ProductDirectoryOfAnotherUser", "temp/VelorinData/Ostra",
                             Planted::OtherUsersFolder, kDataFailed,
                             L"Error creating root data directory(@/temp/VelorinData/Ostra).  "
                             L"Unable to proceed.  @/temp/VelorinData/Ostra belongs to another "
                             L"user.  Set TEMP to a folder of your own."},
        DirectoryFailureCase{"OpenBaseWithoutStickyBit", "temp", Planted::OpenFolder, kDataFailed,
                             L"Error creating root data directory(@/temp/VelorinData).  Unable to "
                             L"proceed.  @/temp may be changed by other users (mode 0777).  Set "
                             L"TEMP to a folder of your own."},
        DirectoryFailureCase{"SettingsFolderOfAnotherUser", "appdata/Velorin",
                             Planted::OtherUsersFolder, kSettingsFolderUnsafe,
                             L"The settings folder (@/appdata/Velorin/Ostra/) is not safe to use.  "
                             L"Unable to proceed.  @/appdata/Velorin belongs to another user.  Set "
                             L"APPDATA to a folder of your own."}));

// A missing or invalid setup file asks to end the application with exit code 1; the settings
// file is neither read nor, on close, overwritten.
TEST_F(ApplicationCoreTest, SetupFileFailureAsksToEndTheApplication) {
    const fs::path setup = ProgramPath() / "OstraSetup.cfg";
    const std::wstring missing =
        L"FormatCmdLine::OpenFileCfg() - Could not find the file " + Wide(setup) + L".";
    const std::wstring unknown =
        L"ConfigFileProcessor::ProcessCommandString() - Invalid Command Line Syntax, "
        L"Unrecognized Command: -AddLamp";
    for (const auto& [file, logged] :
         {std::pair{std::string(), missing},
          std::pair{std::string("-AddLED B\r\n-AddLamp R\r\n"), unknown}}) {
        fs::remove(setup);
        if (!file.empty()) {
            WriteFileBytes(setup, file);
        }
        ApplicationCore run(notifier);
        run.SetAllowNumberedDataDirectory(true);
        receiver.messages.clear();
        notifier.boxes.clear();
        Configure(run);
        EXPECT_EQ(run.RunStartupSequence(), ApplicationCore::StartupResult::SetupFileFailed);
        EXPECT_EQ(run.GetExitCode(), 1);
        EXPECT_THAT(notifier.boxes,
                    ElementsAre(Pair(L"Configuration Error",
                                     L"Error, setup file (" + Wide(setup) +
                                         L") could not be found or was invalid.  Unable to start "
                                         L"application, please contact Velorin support")));
        EXPECT_THAT(receiver.Errors(), ElementsAre(logged));
        EXPECT_EQ(run.GetSettingsFilePath(), L"");
    }
}

// A settings file that stops part-way is copied beside the log. A run that changes nothing
// leaves it as it is, so every start says so again until the operator mends it.
TEST_F(ApplicationCoreTest, SettingsFileFailingPartWayIsAnnouncedOnEveryStart) {
    const std::string original =
        "-SetIntensity \"Blue\" 100\r\n"
        "-SetIntensity \"Amber\" 5\r\n"
        "-AddSequence 3 \"Lost Without The Copy\"\r\n";
    fs::create_directories(SettingsPath().parent_path());
    WriteFileBytes(SettingsPath(), original);
    ApplicationCore second(notifier);
    for (auto [run, time] : {std::pair{&core, kStartTime}, std::pair{&second, kNextSecond}}) {
        receiver.messages.clear();
        Start(*run, time);
        const fs::path copy =
            fs::path(WideToNarrow(run->GetDataDirectory())) / "OstraSettings_failed_original.cfg";
        EXPECT_THAT(receiver.MessagesAt(LogLevel::Warning),
                    ElementsAre(L"Settings file (" + Wide(SettingsPath()) +
                                L") could not be read completely; the original is kept as " +
                                Wide(copy) + L"."));
        EXPECT_EQ(LedInfo(run->GetMicroController(), 0).intensity, 100);
        EXPECT_EQ(ReadFileBytes(copy), original);
        run->ShutDown();
        EXPECT_EQ(ReadFileBytes(SettingsPath()), original);
    }
}

// --- Who may write the per-user settings ----------------------------------------------

// Two programs over one settings file; flock makes two cores of one process conflict as well.
TEST_F(ApplicationCoreTest, OneWriterAtATimeAndReadersNeverWrite) {
    const std::string handWritten = "# mine\r\n-SetIntensity Blue 100\r\n";
    fs::create_directories(SettingsPath().parent_path());
    WriteFileBytes(SettingsPath(), handWritten);
    core.SetAllowNumberedDataDirectory(true);
    Start(core);

    ApplicationCore refused(notifier);
    refused.SetAllowNumberedDataDirectory(true);
    Configure(refused);
    EXPECT_EQ(refused.RunStartupSequence(), ApplicationCore::StartupResult::SettingsInUse);
    EXPECT_EQ(refused.GetExitCode(), 1);
    EXPECT_THAT(notifier.boxes,
                ElementsAre(Pair(L"Settings In Use",
                                 L"The settings file (" + Wide(SettingsPath()) +
                                     L") is in use by ostra_tests_app (process " +
                                     std::to_wstring(getpid()) +
                                     L").  Close that program, or wait until it ends, and try "
                                     L"again.")));
    ASSERT_EQ(refused.GetMicroController().SetIntensity(1, L"Blue"), 0);
    refused.ShutDown();

    ApplicationCore reader(notifier);
    reader.SetAllowNumberedDataDirectory(true);
    reader.SetSettingsAccess(ApplicationCore::SettingsAccess::ReadOnly);
    Start(reader);
    ASSERT_EQ(reader.GetMicroController().SetIntensity(2, L"Blue"), 0);
    reader.ShutDown();

    // A writer that changed nothing leaves the file as written, comments and all.
    core.ShutDown();
    EXPECT_EQ(ReadFileBytes(SettingsPath()), handWritten);
}

// --- Settings files on demand -----------------------------------------------------------

TEST_F(ApplicationCoreTest, ReadSettingsFileReplacesTheSequencesOnly) {
    fs::create_directories(SettingsPath().parent_path());
    WriteFileBytes(SettingsPath(),
                   "-SetIntensity \"Green\" 100\r\n"
                   "-AddSequence 0 \"Old\"\r\n");
    Start(core);
    int changes = 0;
    core.GetSequenceContainer().SubscribeToChanges([&changes] {
        ++changes;
        return 0;
    });
    const fs::path other = dir.Path() / "other.cfg";
    const std::string otherBytes =
        "-SetIntensity \"Blue\" 50\r\n"
        "-AddSequence 9 \"New\"\r\n";
    WriteFileBytes(other, otherBytes);

    core.ReadSettingsFile(Wide(other));

    EXPECT_EQ(core.GetSequenceContainer().GetSequenceName(0), L"");
    EXPECT_EQ(core.GetSequenceContainer().GetSequenceName(9), L"New");
    // One event for emptying the model, one for the new sequence.
    EXPECT_EQ(changes, 2);
    EXPECT_EQ(LedInfo(core.GetMicroController(), 0).intensity, 50);
    EXPECT_EQ(LedInfo(core.GetMicroController(), 1).intensity, 100);

    // The file read is not remembered: the close saves to the per-user file.
    core.ShutDown();
    EXPECT_EQ(ReadFileBytes(other), otherBytes);
    EXPECT_NE(ReadFileBytes(SettingsPath()).find("-AddSequence 9 \"New\"\r\n"), std::string::npos);
}

// --- Where the directories are ----------------------------------------------------------

struct LocationCase {
    const char* name;
    // Values of TEMP, XDG_DATA_HOME, APPDATA, XDG_CONFIG_HOME; "@" stands for the test's
    // directory, absent means unset.
    std::optional<std::string> temp;
    std::optional<std::string> xdgData;
    std::optional<std::string> appData;
    std::optional<std::string> xdgConfig;
    // Relative to the test's directory.
    std::string dataRoot;
    std::string perUser;
};

void PrintTo(const LocationCase& c, std::ostream* out) {
    *out << c.name;
}

class LocationTest : public ApplicationCoreTest, public testing::WithParamInterface<LocationCase> {
  protected:
    std::optional<std::string> Expand(const std::optional<std::string>& value) const {
        if (!value || !value->starts_with("@")) {
            return value;
        }
        return dir.Path().string() + value->substr(1);
    }
};

TEST_P(LocationTest, DirectoriesFollowTheEnvironment) {
    const LocationCase& c = GetParam();
    ScopedEnvironmentVariable tempValue("TEMP", Expand(c.temp));
    ScopedEnvironmentVariable xdgDataValue("XDG_DATA_HOME", Expand(c.xdgData));
    ScopedEnvironmentVariable appDataValue("APPDATA", Expand(c.appData));
    ScopedEnvironmentVariable xdgConfigValue("XDG_CONFIG_HOME", Expand(c.xdgConfig));
    Start(core);

    EXPECT_EQ(core.GetDataDirectory(),
              Wide(dir.Path()) + L"/" + NarrowToWide(c.dataRoot) + L"/Ostra/" + kDatedName);
    EXPECT_TRUE(fs::is_directory(dir.Path() / c.dataRoot / "Ostra" / "2017-05-16_09-05-03"));
    EXPECT_EQ(core.GetSettingsFilePath(),
              Wide(dir.Path()) + L"/" + NarrowToWide(c.perUser) + L"/OstraSettings.cfg");
    EXPECT_TRUE(fs::is_directory(dir.Path() / c.perUser));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LocationTest,
    testing::Values(LocationCase{"WindowsVariablesWin", "@/temp", "@/xdg-data", "@/roaming",
                                 "@/xdg-config", "temp/VelorinData", "roaming/Velorin/Ostra"},
                    LocationCase{"TrailingSlashesDropped", "@/temp//", std::nullopt, "@/roaming/",
                                 std::nullopt, "temp/VelorinData", "roaming/Velorin/Ostra"},
                    LocationCase{"XdgDirectories", std::nullopt, "@/xdg-data", std::nullopt,
                                 "@/xdg-config", "xdg-data/VelorinData",
                                 "xdg-config/Velorin/Ostra"},
                    LocationCase{"EmptyCountsAsUnset", "", "@/xdg-data", "", "@/xdg-config",
                                 "xdg-data/VelorinData", "xdg-config/Velorin/Ostra"},
                    LocationCase{"HomeDefaults", std::nullopt, std::nullopt, std::nullopt,
                                 std::nullopt, "home/.local/share/VelorinData",
                                 "home/.config/Velorin/Ostra"},
                    LocationCase{"RelativeXdgIgnored", std::nullopt, "relative/data", std::nullopt,
                                 "relative/config", "home/.local/share/VelorinData",
                                 "home/.config/Velorin/Ostra"}));

// The build puts the default setup file beside this test, as beside every program that
// starts the application.
TEST_F(ApplicationCoreTest, DefaultSetupFileBesideTheExecutableStartsTheApplication) {
    core.SetClock([] { return kStartTime; });
    ASSERT_EQ(core.RunStartupSequence(), ApplicationCore::StartupResult::Started);

    const fs::path executable = fs::read_symlink("/proc/self/exe");
    EXPECT_EQ(core.GetProgramDirectory(), Wide(executable.parent_path()));
    std::vector<std::wstring> labels;
    core.GetMicroController().GetColorLabels(labels);
    EXPECT_THAT(labels, ElementsAre(L"Blue", L"Green", L"Red"));
    EXPECT_EQ(LedInfo(core.GetMicroController(), 0).maximumPower, 12.5);
    EXPECT_EQ(core.GetMicroController().GetPortNumber(), 4u);
    EXPECT_THAT(notifier.boxes, IsEmpty());
}

// --- The record of a run ---------------------------------------------------------------

class StimulusRecordTest : public ApplicationCoreTest, public testing::WithParamInterface<bool> {};

// A run leaves the timeline with the clock's start, and for a stop (asked for while the run
// waits) the stop, in the data directory; the closing line says which.
TEST_P(StimulusRecordTest, RunLeavesTheDeliveredStimulusInTheDataDirectory) {
    const bool stop = GetParam();
    EmulatedDriver driver(dir.Path() / "ports", 6);
    ASSERT_EQ(driver.Start(), 0);
    Start(core);
    SequenceContainer& sequences = core.GetSequenceContainer();
    ASSERT_EQ(sequences.AddSequence(2, L"Flash"), 0);
    ASSERT_EQ(sequences.AddCommandSet(2, 0), 0);
    ASSERT_EQ(sequences.AddCommand(2, 0, L"-On Green"), 0);
    ASSERT_EQ(sequences.AddCommand(2, 0, L"-Duration 2"), 0);
    ASSERT_EQ(core.GetMicroController().GetConnection().Connect(6), 0);
    ASSERT_TRUE(core.UploadSequences().status.Ok());

    int waits = 0;
    const SequenceRun::Result run =
        core.RunSequence(2, [&](SequenceRun::Milliseconds) { return stop && ++waits == 2; });
    ASSERT_EQ(run.completed, !stop);
    const fs::path record = DataPath() / "Stimulus_2_2017-05-16_09-05-03.tsv";
    EXPECT_EQ(run.stimulusRecord, Wide(record));
    const std::string text = ReadFileBytes(record);
    EXPECT_TRUE(
        text.starts_with("# Stimulus delivered by sequence 2 (Flash)\n"
                         "# start\t2017-05-16 09:05:03.000\n"
                         "time_ms\tlane\tvalue\tsource\n"))
        << text;
    EXPECT_NE(text.find("\n0.0\tGreen\ton\tseq 2 step 0\n"), std::string::npos) << text;
    EXPECT_TRUE(text.ends_with(stop ? "\n# stop\t2017-05-16 09:05:03.000\n# completed\tno (stopped "
                                      "early)\n"
                                    : "seq 2 step 0\n# completed\tyes\n"))
        << text;
}

INSTANTIATE_TEST_SUITE_P(CompletedOrStopped, StimulusRecordTest, testing::Bool());

}  // namespace
