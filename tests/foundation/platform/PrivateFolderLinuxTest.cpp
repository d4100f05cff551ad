#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "foundation/platform/PrivateFolder.h"
#include "support/OtherUser.h"
#include "support/TempDir.h"

namespace {

namespace fs = std::filesystem;

// A level found in a shared sticky base as another user (or the operator) left it. Whether the
// operator may list or even enter it must not matter: it is judged by its owner and mode.
struct LevelCase {
    const char* name;
    uid_t owner;
    mode_t mode;
    PrivateFolder::Outcome expected;
};

class SharedBaseTest : public testing::TestWithParam<LevelCase> {};

TEST_P(SharedBaseTest, EveryLevelIsJudgedWhateverTheOperatorMayRead) {
    const LevelCase& c = GetParam();
    if (geteuid() != 0) {
        GTEST_SKIP() << "only root can act as two users";
    }
    const TempDir dir;
    chmod(dir.Path().c_str(), 0755);
    const fs::path base = dir.Path() / "shared";
    fs::create_directories(base / "Velorin/Ostra");
    chmod(base.c_str(), 01777);
    ASSERT_EQ(chown((base / "Velorin/Ostra").c_str(), c.owner, c.owner), 0);
    ASSERT_EQ(chown((base / "Velorin").c_str(), c.owner, c.owner), 0);
    chmod((base / "Velorin/Ostra").c_str(), c.owner == kOtherUser ? 0777 : 0700);
    chmod((base / "Velorin").c_str(), c.mode);

    const std::string unsafe = (base / "Velorin").string() + " belongs to another user.";
    const int outcome = RunAsUser(kOperatorUser, [&] {
        PrivateFolder folder;
        const PrivateFolder::Outcome opened =
            folder.Open(base, "Velorin/Ostra", PrivateFolder::Missing::Create);
        const bool explained =
            opened != PrivateFolder::Outcome::Unsafe || folder.Problem() == unsafe;
        return explained ? static_cast<int>(opened) : 100;
    });
    EXPECT_EQ(outcome, static_cast<int>(c.expected));
}

INSTANTIATE_TEST_SUITE_P(
    Levels, SharedBaseTest,
    testing::Values(
        LevelCase{"AnotherUsersUnlistable", kOtherUser, 0711, PrivateFolder::Outcome::Unsafe},
        LevelCase{"AnotherUsersClosed", kOtherUser, 0700, PrivateFolder::Outcome::Unsafe},
        LevelCase{"AnotherUsersReadable", kOtherUser, 0755, PrivateFolder::Outcome::Unsafe},
        LevelCase{"OwnUnlistable", kOperatorUser, 0300, PrivateFolder::Outcome::Opened}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
