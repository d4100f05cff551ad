#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
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

TEST_F(ApplicationCoreTest, StartupPreparesDirectoriesLogAndModelsAndTheCloseSaves) {
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

    // A missing settings file is a notice, and the close creates it.
    EXPECT_THAT(receiver.MessagesAt(LogLevel::Notice),
                Contains(L"Settings file (" + Wide(SettingsPath()) + L") was not found."));
    EXPECT_FALSE(fs::exists(SettingsPath()));
    core.ShutDown();

    EXPECT_EQ(ReadFileBytes(SettingsPath()), kUntouchedSettings);
    EXPECT_EQ(ReadFileBytes(DataPath() / "OstraSettings.cfg"), kUntouchedSettings);
    EXPECT_THAT(DirectoryEntries(DataPath()), ElementsAre("OstraLogFile.txt", "OstraSettings.cfg"));
    EXPECT_FALSE(core.GetLogFile().IsOpen());
    EXPECT_TRUE(ReadFileBytes(DataPath() / "OstraLogFile.txt")
                    .ends_with("Log File Closed - End of File\r\n\r\n"));
    EXPECT_THAT(notifier.boxes, IsEmpty());
}

// A file read on demand replaces the sequences and is not remembered: the close saves to the
// per-user file, and what it saves the next run reads back and saves again byte for byte.
TEST_F(ApplicationCoreTest, SettingsReadOnDemandSurviveTheCloseAndTheNextStart) {
    fs::create_directories(SettingsPath().parent_path());
    WriteFileBytes(SettingsPath(), "-SetIntensity \"Green\" 100\r\n-AddSequence 3 \"Old\"\r\n");
    Start(core);
    const fs::path other = dir.Path() / "other.cfg";
    const std::string otherBytes =
        "-SetIntensity \"Blue\" 0\r\n-SetIntensity \"Red\" 255\r\n"
        "-SetLEDPulse \"Green\" 1234.567 1800000 1000000\r\n-SetLEDPulse \"Red\" 0.1 0.5 0\r\n"
        "-AddSequence 254 \"Last One\"\r\n-AddSequence 0 \"First\"\r\n-AddSequence 7 \"Caller\"\r\n"
        "-AddSequenceCommandSet 0 0\r\n-AddSequenceCommand 0 0 \"-SetIntensity Blue 200\"\r\n"
        "-AddSequenceCommand 0 0 \"-Duration 12.5\"\r\n-AddSequenceCommandSet 0 1\r\n"
        "-AddSequenceCommandSet 0 2\r\n-AddSequenceCommand 0 2 \"-TTLHigh 4\"\r\n"
        "-AddSequenceCommandSet 7 0\r\n-AddSequenceCommand 7 0 \"-Call 0\"\r\n";
    WriteFileBytes(other, otherBytes);
    ASSERT_EQ(core.ReadSettingsFile(Wide(other)), 0);
    SequenceContainer& sequences = core.GetSequenceContainer();
    EXPECT_EQ(sequences.GetSequenceName(3), L"");
    EXPECT_EQ(LedInfo(core.GetMicroController(), 1).intensity, 100);  // untouched by the file
    core.ShutDown();
    const std::string first = ReadFileBytes(SettingsPath());
    EXPECT_EQ(ReadFileBytes(other), otherBytes);
    // Numbers as the device section writes them, every sequence as its section does.
    EXPECT_NE(first.find(LEDLines("Green", "100", "1234.57 1.8e+06 1000000")), std::string::npos)
        << first;
    EXPECT_TRUE(first.ends_with(WideToNarrow(SequenceFiles::SettingsSection(sequences)))) << first;

    ApplicationCore second(notifier);
    Start(second, kNextSecond);
    second.ShutDown();
    EXPECT_EQ(ReadFileBytes(DataPath().string() + "/../2017-05-16_09-05-04/OstraSettings.cfg"),
              first);
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

// --- Where the directories are, and what may stop them ---------------------------------

// What is found where a folder must go, put there by someone else.
enum class Planted { Nothing, File, Link, OpenFolder, OtherUsersFolder };

struct LocationCase {
    const char* name;
    // TEMP, XDG_DATA_HOME, APPDATA, XDG_CONFIG_HOME: "@" stands for the test's directory,
    // nullptr for unset.
    std::array<const char*, 4> environment;
    Planted planted;
    std::string plantedAt;  // relative to the test's directory
    ApplicationCore::StartupResult result;
    // Started: the data root and the per-user folder, relative to the test's directory.
    // Otherwise the box's message, "@" standing for the test's directory.
    std::string dataRoot, perUser;
    std::wstring message;
};

void PrintTo(const LocationCase& c, std::ostream* out) {
    *out << c.name;
}

class LocationTest : public ApplicationCoreTest,
                     public testing::WithParamInterface<LocationCase> {};

// The directories follow the environment. Another user's folder, a link or a folder anyone may
// change could redirect the run's files: each is refused before the log opens (the per-user
// folder after it), saying what to set; numbered data directories do not hide it.
TEST_P(LocationTest, DirectoriesFollowTheEnvironmentOrTheStartStops) {
    const LocationCase& c = GetParam();
    if (c.planted == Planted::OtherUsersFolder && geteuid() != 0) {
        GTEST_SKIP() << "only root can give a folder to another user";
    }
    std::vector<std::unique_ptr<ScopedEnvironmentVariable>> variables;
    const char* names[] = {"TEMP", "XDG_DATA_HOME", "APPDATA", "XDG_CONFIG_HOME"};
    for (std::size_t i = 0; i < 4; ++i) {
        std::optional<std::string> value;
        if (c.environment[i] != nullptr) {
            value = c.environment[i];
            if (value->starts_with("@")) {
                value = dir.Path().string() + value->substr(1);
            }
        }
        variables.push_back(std::make_unique<ScopedEnvironmentVariable>(names[i], value));
    }
    const fs::path planted = dir.Path() / c.plantedAt;
    fs::create_directories(planted.parent_path());
    if (c.planted == Planted::File) {
        WriteFileBytes(planted, "not a directory");
    } else if (c.planted == Planted::Link) {
        fs::create_symlink(dir.Path(), planted);
    } else if (c.planted != Planted::Nothing) {
        fs::create_directories(planted);
        chmod(planted.c_str(), c.planted == Planted::OpenFolder ? 0777 : 01777);
        if (c.planted == Planted::OtherUsersFolder) {
            ASSERT_EQ(chown(planted.c_str(), 65534, 65534), 0);
        }
    }
    core.SetAllowNumberedDataDirectory(true);
    Configure(core);
    ASSERT_EQ(core.RunStartupSequence(), c.result) << WideToNarrow(receiver.Text());

    if (c.result == ApplicationCore::StartupResult::Started) {
        EXPECT_EQ(core.GetDataDirectory(),
                  Wide(dir.Path() / c.dataRoot / "Ostra" / "2017-05-16_09-05-03"));
        EXPECT_TRUE(fs::is_directory(WideToNarrow(core.GetDataDirectory())));
        EXPECT_EQ(core.GetSettingsFilePath(), Wide(dir.Path() / c.perUser / "OstraSettings.cfg"));
        EXPECT_TRUE(fs::is_directory(dir.Path() / c.perUser));
        return;
    }
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

constexpr auto kStarted = ApplicationCore::StartupResult::Started;
constexpr auto kDataFailed = ApplicationCore::StartupResult::DataDirectoryFailed;
constexpr auto kSettingsFolderUnsafe = ApplicationCore::StartupResult::SettingsFolderUnsafe;
constexpr std::array<const char*, 4> kUsual = {"@/temp", nullptr, "@/appdata", nullptr};

INSTANTIATE_TEST_SUITE_P(
    Cases, LocationTest,
    testing::Values(
        LocationCase{"WindowsVariablesWin",
                     {"@/temp", "@/xdg-data", "@/roaming", "@/xdg-config"},
                     Planted::Nothing,
                     "",
                     kStarted,
                     "temp/VelorinData",
                     "roaming/Velorin/Ostra",
                     L""},
        LocationCase{"TrailingSlashesDropped",
                     {"@/temp//", nullptr, "@/roaming/", nullptr},
                     Planted::Nothing,
                     "",
                     kStarted,
                     "temp/VelorinData",
                     "roaming/Velorin/Ostra",
                     L""},
        LocationCase{"XdgDirectories",
                     {nullptr, "@/xdg-data", nullptr, "@/xdg-config"},
                     Planted::Nothing,
                     "",
                     kStarted,
                     "xdg-data/VelorinData",
                     "xdg-config/Velorin/Ostra",
                     L""},
        LocationCase{"EmptyCountsAsUnset",
                     {"", "@/xdg-data", "", "@/xdg-config"},
                     Planted::Nothing,
                     "",
                     kStarted,
                     "xdg-data/VelorinData",
                     "xdg-config/Velorin/Ostra",
                     L""},
        LocationCase{"HomeDefaults",
                     {nullptr, nullptr, nullptr, nullptr},
                     Planted::Nothing,
                     "",
                     kStarted,
                     "home/.local/share/VelorinData",
                     "home/.config/Velorin/Ostra",
                     L""},
        LocationCase{"RelativeXdgIgnored",
                     {nullptr, "relative/data", nullptr, "relative/config"},
                     Planted::Nothing,
                     "",
                     kStarted,
                     "home/.local/share/VelorinData",
                     "home/.config/Velorin/Ostra",
                     L""},
        LocationCase{"DataRootFile", kUsual, Planted::File, "temp/VelorinData", kDataFailed, "", "",
                     L"Error creating root data directory(@/temp/VelorinData).  Unable to "
                     L"proceed.  @/temp/VelorinData is not a folder.  Set TEMP to a folder "
                     L"of your own."},
        LocationCase{"ProductDirectoryLink", kUsual, Planted::Link, "temp/VelorinData/Ostra",
                     kDataFailed, "", "",
                     L"Error creating root data directory(@/temp/VelorinData/Ostra).  "
                     L"Unable to proceed.  @/temp/VelorinData/Ostra is a symbolic link.  "
                     L"Set TEMP to a folder of your own."},
        LocationCase{"DatedDirectoryFile", kUsual, Planted::File,
                     "temp/VelorinData/Ostra/2017-05-16_09-05-03", kDataFailed, "", "",
                     L"Error creating data directory(@/temp/VelorinData/Ostra/"
                     L"2017-05-16_09-05-03).  Unable to proceed."},
        LocationCase{"ProductDirectoryOfAnotherUser", kUsual, Planted::OtherUsersFolder,
                     "temp/VelorinData/Ostra", kDataFailed, "", "",
                     L"Error creating root data directory(@/temp/VelorinData/Ostra).  "
                     L"Unable to proceed.  @/temp/VelorinData/Ostra belongs to another "
                     L"user.  Set TEMP to a folder of your own."},
        LocationCase{"OpenBaseWithoutStickyBit", kUsual, Planted::OpenFolder, "temp", kDataFailed,
                     "", "",
                     L"Error creating root data directory(@/temp/VelorinData).  Unable to "
                     L"proceed.  @/temp may be changed by other users (mode 0777).  Set "
                     L"TEMP to a folder of your own."},
        LocationCase{"SettingsFolderOfAnotherUser", kUsual, Planted::OtherUsersFolder,
                     "appdata/Velorin", kSettingsFolderUnsafe, "", "",
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
