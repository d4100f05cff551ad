#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <tuple>
#include <vector>

#include "app/SettingsFileWriter.h"
#include "foundation/TextConversion.h"
#include "support/DirectoryEntries.h"
#include "support/FileBytes.h"
#include "support/LogCapture.h"
#include "support/OtherUser.h"
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
    int Write(const std::wstring& path, const std::wstring& deviceSection = kDeviceSection) {
        return WriteSettingsFile(path, deviceSection, kSequenceSection, &log);
    }
    // The one message of a failed write.
    static Messages Failure(const std::wstring& path) {
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

// Only a regular file is saved over or replaced: a directory, a device and a FIFO (which
// another user may have put there, and which would hold the save until a reader comes; here one
// is waiting) are refused at once, and nothing is left.
TEST_F(SettingsFileWriterTest, UnwritableTargetsAreLoggedAndLeaveNothingBehind) {
    std::filesystem::create_directory(target / "folder.cfg");
    ASSERT_EQ(mkfifo((target / "fifo.cfg").c_str(), 0666), 0);
    const int reader = open((target / "fifo.cfg").c_str(), O_RDONLY | O_NONBLOCK);
    for (const std::wstring& path : {Target("missing/s.cfg"), Target("folder.cfg"), std::wstring(),
                                     std::wstring(L"/dev/full"), Target("fifo.cfg")}) {
        log.messages.clear();
        EXPECT_EQ(Write(path), -1);
        EXPECT_EQ(log.messages, Failure(path));
    }
    char byte = 0;
    EXPECT_EQ(read(reader, &byte, 1), 0) << "nothing was written into the FIFO";
    close(reader);
    EXPECT_THAT(DirectoryEntries(target), ElementsAre("fifo.cfg", "folder.cfg"));
    EXPECT_TRUE(std::filesystem::is_directory(target / "folder.cfg"));
    EXPECT_TRUE(std::filesystem::is_character_file("/dev/full"));
}

// A file with a second name is written in place; on a full disk the new content cannot be
// reserved, and the old one stays whole under both names.
TEST_F(SettingsFileWriterTest, FullDiskKeepsTheContentOfAFileWithTwoNames) {
    const std::filesystem::path disk = target;
    if (mount("tmpfs", disk.c_str(), "tmpfs", 0, "size=64k") != 0)
        GTEST_SKIP() << "a small file system cannot be mounted here: " << strerror(errno);
    const std::string old = std::string(8000, '#') + "\r\n";
    WriteFileBytes(disk / "s.cfg", old);
    std::filesystem::create_hard_link(disk / "s.cfg", disk / "link.cfg");
    std::ofstream(disk / "filler") << std::string(64 * 1024, 'f');
    EXPECT_EQ(Write((disk / "s.cfg").wstring(), std::wstring(30000, L'x')), -1);
    const bool kept =
        ReadFileBytes(disk / "s.cfg") == old && ReadFileBytes(disk / "link.cfg") == old;
    umount2(disk.c_str(), MNT_DETACH);
    EXPECT_TRUE(kept);
}

// A folder on the way that is a link in a shared sticky folder (as /tmp) is followed only when
// the user or root made it: another user's would send the save into the operator's folders.
TEST_F(SettingsFileWriterTest, InASharedFolderOnlyTrustedFolderLinksAreFollowed) {
    if (geteuid() != 0)
        GTEST_SKIP() << "only root can give a link to another user";
    const std::filesystem::path shared = dir.Path() / "shared", link = shared / "evdir";
    std::filesystem::create_directory(shared);
    chmod(shared.c_str(), 01777);
    std::filesystem::create_symlink(target, link);
    for (const uid_t owner : {kOtherUser, uid_t{0}}) {
        ASSERT_EQ(lchown(link.c_str(), owner, owner), 0);
        EXPECT_EQ(Write((link / "trial.cfg").wstring()), owner == 0 ? 0 : -1);
        EXPECT_EQ(DirectoryEntries(target).size(), owner == 0 ? 1u : 0u);
    }
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

constexpr uid_t kUser = kOtherUser;

struct stat Stat(const std::filesystem::path& path) {
    struct stat status {};
    stat(path.c_str(), &status);
    return status;
}

TEST_P(ExistingFileTest, RespectsTheFile) {
    const ExistingFileCase& c = GetParam();
    const bool root = geteuid() == 0;
    if (c.otherOwner && !root)
        GTEST_SKIP() << "only root can give a file to another user";
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
    const int result = c.asUser && root ? -RunAsUser(kUser, [&] { return -Write(Target(name)); })
                                        : Write(Target(name));
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
                                    "s.cfg.tmp" + alive + "_1", "t.cfg.tmp" + gone + "_0"})
        WriteFileBytes(target / name, "partial");
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
