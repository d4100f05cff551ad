#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "foundation/platform/PrivateFolder.h"
#include "support/OtherUser.h"
#include "support/TempDir.h"

namespace {

using Outcome = PrivateFolder::Outcome;

// A level in a shared sticky base is judged by its owner and mode, whether or not the operator
// may list or even enter it.
TEST(PrivateFolderTest, EveryLevelIsJudgedWhateverTheOperatorMayRead) {
    if (geteuid() != 0)
        GTEST_SKIP() << "only root can act as two users";
    const struct {
        uid_t owner;
        mode_t mode;
        Outcome expected;
    } rows[] = {{kOtherUser, 0711, Outcome::Unsafe},
                {kOtherUser, 0700, Outcome::Unsafe},
                {kOtherUser, 0755, Outcome::Unsafe},
                {kOperatorUser, 0300, Outcome::Opened}};
    for (const auto& row : rows) {
        const TempDir dir;
        const std::filesystem::path base = dir.Path() / "shared", level = base / "Velorin";
        std::filesystem::create_directories(level / "Ostra");
        chmod(dir.Path().c_str(), 0755);
        chmod(base.c_str(), 01777);
        ASSERT_EQ(chown((level / "Ostra").c_str(), row.owner, row.owner), 0);
        ASSERT_EQ(chown(level.c_str(), row.owner, row.owner), 0);
        chmod(level.c_str(), row.mode);
        const int outcome = RunAsUser(kOperatorUser, [&] {
            PrivateFolder folder;
            const Outcome opened =
                folder.Open(base, "Velorin/Ostra", PrivateFolder::Missing::Create);
            const bool named = folder.Problem() == level.string() + " belongs to another user.";
            return opened == Outcome::Unsafe && !named ? 100 : static_cast<int>(opened);
        });
        EXPECT_EQ(outcome, static_cast<int>(row.expected)) << std::oct << row.mode;
    }
}

}  // namespace
