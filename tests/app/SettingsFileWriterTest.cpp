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
#include <string>
#include <tuple>
#include <vector>

#include "app/SettingsFileWriter.h"
#include "foundation/TextConversion.h"
#include "support/DirectoryEntries.h"
#include "support/FileBytes.h"
#include "support/LogCapture.h"
#include "support/TempDir.h"

namespace {

using testing::ElementsAre;

// The writer joins the two sections as they come.
const std::wstring kDeviceSection = L"-SetIntensity \"Bl\u00fc\" 26\r\n\r\n";
const std::wstring kSequenceSection = L"-AddSequence 0 \"Train\"\r\n";
// Single-byte text, as every settings file holds it.
const std::string kFileBytes = WideToNarrow(kDeviceSection + kSequenceSection);

// Files may grow to `bytes` only while the object lives: a write beyond fails as on a full
// disk, part-way through, instead of raising SIGXFSZ.
struct ScopedFileSizeLimit {
    explicit ScopedFileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &previous);
        rlimit limit = previous;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~ScopedFileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &previous);
        std::signal(SIGXFSZ, handler);
    }
    rlimit previous{};
    void (*handler)(int) = std::signal(SIGXFSZ, SIG_IGN);
};

// Files are written into a folder of their own, so a temporary left behind shows in its listing.
class SettingsFileWriterTest : public testing::Test {
  protected:
    SettingsFileWriterTest() { std::filesystem::create_directory(target); }

    std::wstring Target(const std::string& name) const { return dir.File("target/" + name); }
    int Write(const std::wstring& path) {
        return WriteSettingsFile(path, kDeviceSection, kSequenceSection, &log);
    }
    // The one message of a failed write.
    static std::vector<std::pair<LogLevel, std::wstring>> Failure(const std::wstring& path) {
        return {{LogLevel::Error,
                 L"Error creating settings file(" + path + L").  File could not be created."}};
    }

    TempDir dir;
    const std::filesystem::path target = dir.Path() / "target";
    LogCapture log;
};

// The fault this writer exists for: a write that fails part-way (here the file size limit,
// as a full disk would) must leave the previous file complete.
TEST_F(SettingsFileWriterTest, WriteFailingPartWayKeepsTheOldFile) {
    const std::string old = "-SetMicroControllerPortNumber 9\r\n";
    WriteFileBytes(target / "settings.cfg", old);
    {
        ScopedFileSizeLimit limit(4096);
        EXPECT_EQ(WriteSettingsFile(Target("settings.cfg"), std::wstring(20000, L'x'),
                                    kSequenceSection, &log),
                  -1);
    }
    EXPECT_EQ(ReadFileBytes(target / "settings.cfg"), old);
    EXPECT_THAT(DirectoryEntries(target), ElementsAre("settings.cfg"));
    EXPECT_EQ(log.messages, Failure(Target("settings.cfg")));
}

// A directory where a file is expected can be neither written nor replaced; nothing is left. A
// full disk answers every write with ENOSPC; it is written in place, as no device may be
// replaced by a file.
TEST_F(SettingsFileWriterTest, UnwritableTargetsAreLoggedAndLeaveNothingBehind) {
    std::filesystem::create_directory(target / "folder.cfg");
    for (const std::wstring& path : {Target("missing/s.cfg"), Target("folder.cfg"), std::wstring(),
                                     std::wstring(L"/dev/full")}) {
        log.messages.clear();
        EXPECT_EQ(Write(path), -1);
        EXPECT_EQ(log.messages, Failure(path));
    }
    EXPECT_THAT(DirectoryEntries(target), ElementsAre("folder.cfg"));
    EXPECT_TRUE(std::filesystem::is_directory(target / "folder.cfg"));
    EXPECT_TRUE(std::filesystem::is_character_file("/dev/full"));
}

// An existing file (longer than the new one) as the operator set it up: the writer respects
// what the user may write and keeps the file's mode, owner and links, writing in place where it
// cannot replace the file. An operator who keeps the settings elsewhere and links to them keeps
// the link; a link a colleague planted in a shared folder is not followed to the operator's file.
enum class Link { None, Hard, Own, Others };

struct ExistingFileCase {
    const char* name;
    // Written by an unprivileged user (a child that drops root, which may write any file).
    bool asUser;
    mode_t fileMode;
    mode_t folderMode;
    Link link;
    // Root only: the file (or the symbolic link) belongs to another user.
    bool otherOwner;
    int expected;
};

class ExistingFileTest : public SettingsFileWriterTest,
                         public testing::WithParamInterface<ExistingFileCase> {};

constexpr uid_t kUser = 65534;

struct stat Stat(const std::filesystem::path& path) {
    struct stat status {};
    stat(path.c_str(), &status);
    return status;
}

TEST_P(ExistingFileTest, RespectsTheFile) {
    const ExistingFileCase& c = GetParam();
    const bool root = geteuid() == 0;
    if (c.otherOwner && !root) {
        GTEST_SKIP() << "only root can give a file to another user";
    }
    const bool symbolic = c.link == Link::Own || c.link == Link::Others;
    const std::string name = symbolic ? "link.cfg" : "s.cfg";
    const std::filesystem::path file = symbolic ? dir.Path() / "real.cfg" : target / name;
    const std::string old(10000, '#');
    WriteFileBytes(file, old);
    chmod(file.c_str(), c.fileMode);
    if (c.link == Link::Hard) {
        std::filesystem::create_hard_link(file, dir.Path() / "link.cfg");
    } else if (symbolic) {
        std::filesystem::create_symlink(file, target / name);
        ASSERT_EQ(c.link == Link::Others ? lchown((target / name).c_str(), kUser, kUser) : 0, 0);
    }
    if ((c.asUser || c.otherOwner) && root && !symbolic) {
        chmod(dir.Path().c_str(), 0755);
        chown(file.c_str(), kUser, kUser);
        chown(file.parent_path().c_str(), kUser, kUser);
    }
    const struct stat before = Stat(file);
    chmod(file.parent_path().c_str(), c.folderMode);
    int result = -2;
    if (c.asUser && root) {
        if (fork() == 0) {
            _exit(setgroups(0, nullptr) == 0 && setgid(kUser) == 0 && setuid(kUser) == 0
                      ? -Write(Target(name))
                      : 2);
        }
        int status = 0;
        wait(&status);
        result = WIFEXITED(status) ? -WEXITSTATUS(status) : -2;
    } else {
        result = Write(Target(name));
    }
    chmod(file.parent_path().c_str(), 0755);

    EXPECT_EQ(result, c.expected);
    EXPECT_EQ(ReadFileBytes(file), c.expected == 0 ? kFileBytes : old);
    const struct stat after = Stat(file);
    EXPECT_EQ(std::tie(after.st_mode, after.st_uid, after.st_gid, after.st_nlink),
              std::tie(before.st_mode, before.st_uid, before.st_gid, before.st_nlink));
    if (c.link == Link::Hard || c.folderMode == 0555) {
        EXPECT_EQ(after.st_ino, before.st_ino);
    }
    EXPECT_THAT(DirectoryEntries(target), ElementsAre(name));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ExistingFileTest,
    testing::Values(
        ExistingFileCase{"ReadOnlyFileRefused", true, 0444, 0755, Link::None, false, -1},
        ExistingFileCase{"HardLinkKept", false, 0644, 0755, Link::Hard, false, 0},
        ExistingFileCase{"InReadOnlyFolder", true, 0644, 0555, Link::None, false, 0},
        ExistingFileCase{"OwnerKept", false, 0604, 0755, Link::None, true, 0},
        ExistingFileCase{"OwnSymbolicLinkFollowed", false, 0644, 0755, Link::Own, false, 0},
        ExistingFileCase{"OthersSymbolicLinkRefused", false, 0644, 0755, Link::Others, true, -1}),
    [](const auto& info) { return std::string(info.param.name); });

// A save cut short by a signal leaves its temporary; the next save of that name removes the
// ones whose process is gone or which are too old to be a save in progress, and nothing else.
// The new file gets the permissions any new file gets, not those of a private temporary.
TEST_F(SettingsFileWriterTest, NewFileFollowsTheUmaskAndStaleTemporariesGo) {
    const pid_t ended = fork();
    if (ended == 0)
        _exit(0);
    waitpid(ended, nullptr, 0);
    const std::string gone = std::to_string(ended);
    const std::string alive = std::to_string(getppid());
    for (const std::string& name : {"s.cfg.tmp" + gone + "_0", "s.cfg.tmp" + alive + "_0",
                                    "s.cfg.tmp" + alive + "_1", "t.cfg.tmp" + gone + "_0"}) {
        WriteFileBytes(target / name, "partial");
    }
    const std::filesystem::path old = target / ("s.cfg.tmp" + alive + "_1");
    std::filesystem::last_write_time(old,
                                     std::filesystem::last_write_time(old) - std::chrono::hours(1));

    const mode_t previous = umask(022);
    EXPECT_EQ(Write(Target("s.cfg")), 0);
    umask(previous);
    EXPECT_EQ(Stat(target / "s.cfg").st_mode & 0777, 0644u);
    EXPECT_THAT(DirectoryEntries(target),
                testing::UnorderedElementsAre("s.cfg", "s.cfg.tmp" + alive + "_0",
                                              "t.cfg.tmp" + gone + "_0"));
}

}  // namespace
