#include <gmock/gmock.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <iterator>
#include <string>
#include <tuple>
#include <vector>

#include "app/SettingsFileWriter.h"
#include "support/DirectoryEntries.h"
#include "support/FileBytes.h"
#include "support/LogCapture.h"
#include "support/TempDir.h"

namespace {

using testing::ElementsAre;
using testing::IsEmpty;
using testing::Pair;

const std::wstring kDeviceSection =
    L"#Micro Controller Settings\r\n"
    L"-SetMicroControllerPortNumber 4\r\n"
    L"\r\n"
    L"-SetIntensity \"Bl\u00fc\" 26\r\n"
    L"-SetLEDPulse \"Bl\u00fc\" 10 90 0\r\n"
    L"\r\n"
    L"\r\n";
const std::wstring kSequenceSection =
    L"#Sequence Container Settings\r\n"
    L"-AddSequence 0 \"Train\"\r\n"
    L"\r\n"
    L"#Sequence 0 commands.\r\n"
    L"\r\n"
    L"\r\n";
const std::string kFileBytes =
    "#Micro Controller Settings\r\n"
    "-SetMicroControllerPortNumber 4\r\n"
    "\r\n"
    "-SetIntensity \"Bl\xfc\" 26\r\n"
    "-SetLEDPulse \"Bl\xfc\" 10 90 0\r\n"
    "\r\n"
    "\r\n"
    "#Sequence Container Settings\r\n"
    "-AddSequence 0 \"Train\"\r\n"
    "\r\n"
    "#Sequence 0 commands.\r\n"
    "\r\n"
    "\r\n";

// Files may grow to `bytes` only while the object lives: a write beyond fails as on a full
// disk, part-way through, instead of raising SIGXFSZ.
class ScopedFileSizeLimit {
  public:
    explicit ScopedFileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &previous_);
        previousHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = previous_;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~ScopedFileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &previous_);
        std::signal(SIGXFSZ, previousHandler_);
    }
    ScopedFileSizeLimit(const ScopedFileSizeLimit&) = delete;
    ScopedFileSizeLimit& operator=(const ScopedFileSizeLimit&) = delete;

  private:
    rlimit previous_{};
    void (*previousHandler_)(int) = nullptr;
};

class SettingsFileWriterTest : public testing::Test {
  protected:
    SettingsFileWriterTest() { std::filesystem::create_directory(dir.Path() / "target"); }

    std::wstring Target(const std::string& name) const { return dir.File("target/" + name); }
    std::filesystem::path TargetPath(const std::string& name) const {
        return dir.Path() / "target" / name;
    }

    // Everything in the target directory, so a temporary left behind shows up.
    std::vector<std::string> TargetDirectory() const {
        return DirectoryEntries(dir.Path() / "target");
    }

    int Write(const std::wstring& path) {
        return WriteSettingsFile(path, kDeviceSection, kSequenceSection, &log);
    }

    std::wstring FailureMessage(const std::wstring& path) const {
        return L"Error creating settings file(" + path + L").  File could not be created.";
    }

    TempDir dir;
    LogCapture log{dir.File("writer.txt")};
};

TEST_F(SettingsFileWriterTest, WritesBothSectionsAsSingleByteTextReplacingALongerFile) {
    WriteFileBytes(TargetPath("old.cfg"), std::string(10000, '#'));
    EXPECT_EQ(Write(Target("old.cfg")), 0);
    EXPECT_EQ(ReadFileBytes(TargetPath("old.cfg")), kFileBytes);
    EXPECT_THAT(TargetDirectory(), ElementsAre("old.cfg"));
    EXPECT_THAT(log.messages, IsEmpty());
}

// The fault this writer exists for: a write that fails part-way (here the file size limit,
// as a full disk would) must leave the previous file complete.
TEST_F(SettingsFileWriterTest, WriteFailingPartWayKeepsTheOldFile) {
    const std::string old = "-SetMicroControllerPortNumber 9\r\n";
    WriteFileBytes(TargetPath("settings.cfg"), old);
    const std::wstring big(20000, L'x');
    int result = 0;
    {
        ScopedFileSizeLimit limit(4096);
        result = WriteSettingsFile(Target("settings.cfg"), big, kSequenceSection, &log);
    }
    EXPECT_EQ(result, -1);
    EXPECT_EQ(ReadFileBytes(TargetPath("settings.cfg")), old);
    EXPECT_THAT(TargetDirectory(), ElementsAre("settings.cfg"));
    EXPECT_THAT(log.messages,
                ElementsAre(Pair(LogLevel::Error, FailureMessage(Target("settings.cfg")))));
}

// A directory where a file is expected can be neither written nor replaced; nothing is left.
TEST_F(SettingsFileWriterTest, UnwritableTargetsAreLoggedAndLeaveNothingBehind) {
    std::filesystem::create_directory(TargetPath("folder.cfg"));
    for (const std::wstring& path : {Target("missing/s.cfg"), Target("folder.cfg"),
                                     Target("folder.cfg/x/s.cfg"), std::wstring()}) {
        log.messages.clear();
        EXPECT_EQ(Write(path), -1);
        EXPECT_THAT(log.messages, ElementsAre(Pair(LogLevel::Error, FailureMessage(path))));
    }
    EXPECT_THAT(TargetDirectory(), ElementsAre("folder.cfg"));
    EXPECT_TRUE(std::filesystem::is_directory(TargetPath("folder.cfg")));
    EXPECT_EQ(WriteSettingsFile(Target("missing/s.cfg"), kDeviceSection, kSequenceSection, nullptr),
              -1);
}

// A full disk: the device answers every write with ENOSPC. It is written in place, as no
// device may be replaced by a file.
TEST_F(SettingsFileWriterTest, AFullDiskIsAFailure) {
    EXPECT_EQ(Write(L"/dev/full"), -1);
    EXPECT_THAT(log.messages, ElementsAre(Pair(LogLevel::Error, FailureMessage(L"/dev/full"))));
    EXPECT_TRUE(std::filesystem::is_character_file("/dev/full"));
}

// An existing file as the operator set it up: the writer respects what the user may write and
// keeps the file's mode, owner and links, writing in place where it cannot replace the file.
struct ExistingFileCase {
    const char* name;
    // Written by an unprivileged user (a child that drops root, which may write any file).
    bool asUser;
    mode_t fileMode;
    mode_t folderMode;
    bool hardLink;
    // Root only: the file belongs to another user.
    bool otherOwner;
    int expected;
};

void PrintTo(const ExistingFileCase& c, std::ostream* out) {
    *out << c.name;
}

class ExistingFileTest : public SettingsFileWriterTest,
                         public testing::WithParamInterface<ExistingFileCase> {};

TEST_P(ExistingFileTest, RespectsTheFile) {
    const ExistingFileCase& c = GetParam();
    const bool root = geteuid() == 0;
    if (c.otherOwner && !root) {
        GTEST_SKIP() << "only root can give a file to another user";
    }
    constexpr uid_t kUser = 65534;
    const std::filesystem::path file = TargetPath("s.cfg");
    WriteFileBytes(file, "old");
    chmod(file.c_str(), c.fileMode);
    if (c.hardLink) {
        std::filesystem::create_hard_link(file, dir.Path() / "link.cfg");
    }
    if ((c.asUser || c.otherOwner) && root) {
        chmod(dir.Path().c_str(), 0755);
        chown(file.c_str(), kUser, kUser);
        chown(file.parent_path().c_str(), kUser, kUser);
    }
    struct stat before {};
    stat(file.c_str(), &before);
    chmod(file.parent_path().c_str(), c.folderMode);
    int result = -2;
    if (c.asUser && root) {
        const pid_t child = fork();
        if (child == 0) {
            _exit(setgroups(0, nullptr) == 0 && setgid(kUser) == 0 && setuid(kUser) == 0
                      ? -Write(Target("s.cfg"))
                      : 2);
        }
        int status = 0;
        waitpid(child, &status, 0);
        result = WIFEXITED(status) ? -WEXITSTATUS(status) : -2;
    } else {
        result = Write(Target("s.cfg"));
    }
    chmod(file.parent_path().c_str(), 0755);

    EXPECT_EQ(result, c.expected);
    EXPECT_EQ(ReadFileBytes(file), c.expected == 0 ? kFileBytes : "old");
    struct stat after {};
    stat(file.c_str(), &after);
    EXPECT_EQ(std::tie(after.st_mode, after.st_uid, after.st_gid, after.st_nlink),
              std::tie(before.st_mode, before.st_uid, before.st_gid, before.st_nlink));
    if (c.hardLink || c.folderMode == 0555) {
        EXPECT_EQ(after.st_ino, before.st_ino);
    }
    EXPECT_THAT(TargetDirectory(), ElementsAre("s.cfg"));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ExistingFileTest,
    testing::Values(ExistingFileCase{"ReadOnlyFileRefused", true, 0444, 0755, false, false, -1},
                    ExistingFileCase{"ModeKept", false, 0640, 0755, false, false, 0},
                    ExistingFileCase{"HardLinkKept", false, 0644, 0755, true, false, 0},
                    ExistingFileCase{"InReadOnlyFolder", true, 0644, 0555, false, false, 0},
                    ExistingFileCase{"OwnerKept", false, 0604, 0755, false, true, 0}));

// A new file gets the permissions any new file gets, not those of a private temporary.
TEST_F(SettingsFileWriterTest, NewFileFollowsTheUmask) {
    const mode_t previous = umask(022);
    const int result = Write(Target("fresh.cfg"));
    umask(previous);
    ASSERT_EQ(result, 0);
    struct stat status {};
    ASSERT_EQ(stat(TargetPath("fresh.cfg").c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0644u);
}

// An operator who keeps the settings elsewhere and links to them keeps the link; a link that a
// colleague planted in a shared folder is not followed to the operator's own file.
class LinkedFileTest : public SettingsFileWriterTest, public testing::WithParamInterface<bool> {};

TEST_P(LinkedFileTest, FollowsOnlyTheUsersOwnLink) {
    const bool othersLink = GetParam();
    if (othersLink && geteuid() != 0) {
        GTEST_SKIP() << "only root can give a link to another user";
    }
    std::filesystem::create_directory(dir.Path() / "elsewhere");
    WriteFileBytes(dir.Path() / "elsewhere" / "real.cfg", "old");
    std::filesystem::create_symlink(dir.Path() / "elsewhere" / "real.cfg", TargetPath("link.cfg"));
    if (othersLink) {
        ASSERT_EQ(lchown(TargetPath("link.cfg").c_str(), 65534, 65534), 0);
    }
    EXPECT_EQ(Write(Target("link.cfg")), othersLink ? -1 : 0);
    EXPECT_TRUE(std::filesystem::is_symlink(TargetPath("link.cfg")));
    EXPECT_EQ(ReadFileBytes(dir.Path() / "elsewhere" / "real.cfg"),
              othersLink ? "old" : kFileBytes);
    EXPECT_THAT(TargetDirectory(), ElementsAre("link.cfg"));
    EXPECT_THAT(DirectoryEntries(dir.Path() / "elsewhere"), ElementsAre("real.cfg"));
    EXPECT_EQ(log.messages.size(), othersLink ? 1u : 0u);
}

INSTANTIATE_TEST_SUITE_P(OwnAndOthers, LinkedFileTest, testing::Bool());

// A save cut short by a signal leaves its temporary; the next save of that name removes the
// ones whose process is gone or which are too old to be a save in progress, and nothing else.
TEST_F(SettingsFileWriterTest, NextSaveRemovesStaleTemporaries) {
    const pid_t ended = fork();
    if (ended == 0) {
        _exit(0);
    }
    waitpid(ended, nullptr, 0);
    const std::string gone = std::to_string(ended);
    const std::string alive = std::to_string(getppid());
    for (const std::string& name :
         {"s.cfg.tmp" + gone + "_0", "s.cfg.tmp" + alive + "_0", "s.cfg.tmp" + alive + "_1",
          "t.cfg.tmp" + gone + "_0", "s.cfg.tmp" + gone + "_x", "s.cfg.tmp" + gone}) {
        WriteFileBytes(TargetPath(name), "partial");
    }
    const std::filesystem::path old = TargetPath("s.cfg.tmp" + alive + "_1");
    std::filesystem::last_write_time(old,
                                     std::filesystem::last_write_time(old) - std::chrono::hours(1));

    EXPECT_EQ(Write(Target("s.cfg")), 0);

    EXPECT_THAT(TargetDirectory(), testing::UnorderedElementsAre(
                                       "s.cfg", "s.cfg.tmp" + gone, "s.cfg.tmp" + gone + "_x",
                                       "s.cfg.tmp" + alive + "_0", "t.cfg.tmp" + gone + "_0"));
}

}  // namespace
