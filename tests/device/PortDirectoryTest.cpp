#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <optional>
#include <string>

#include "device/PortDirectory.h"
#include "support/ScopedEnvironmentVariable.h"
#include "support/TempDir.h"

namespace {

namespace fs = std::filesystem;

TEST(PortDirectoryLocation, FollowsTheEnvironmentInOrderOfPrecedence) {
    using Env = std::optional<std::string>;
    const std::string tmp = "/tmp/ostra-" + std::to_string(getuid()) + "/ports";
    const struct {
        Env own, runtime;
        std::string expected;
    } cases[] = {{"/srv/ports", "/run/user/7", "/srv/ports"},
                 {"", "/run/user/7", "/run/user/7/ostra/ports"},
                 {std::nullopt, "/run/user/7", "/run/user/7/ostra/ports"},
                 {std::nullopt, std::nullopt, tmp},
                 {"", "", tmp}};
    for (const auto& c : cases) {
        const ScopedEnvironmentVariable own("OSTRA_PORT_DIR", c.own);
        const ScopedEnvironmentVariable runtime("XDG_RUNTIME_DIR", c.runtime);
        EXPECT_EQ(PortDirectory::Location(), fs::path(c.expected)) << c.expected;
    }
}

// Port N is the first entry (by name) ending in "(COMN)", else /dev/ttyACMN.
TEST(DevicePathForPort, TakesTheFirstEntryEndingInThePortSuffixElseTheAcmDevice) {
    TempDir dir;
    const ScopedEnvironmentVariable portDir("OSTRA_PORT_DIR", dir.Path().string());
    for (const char* name : {"Emulator (COM1)", "Adapter (COM11)", "b Second (COM5)",
                             "a First (COM5)", "Spare (COM3) old", "Plain COM7"}) {
        fs::create_symlink("/dev/null", dir.Path() / name);
    }
    const struct {
        int port;
        fs::path expected;
    } cases[] = {{1, dir.Path() / "Emulator (COM1)"},
                 {11, dir.Path() / "Adapter (COM11)"},
                 {5, dir.Path() / "a First (COM5)"},
                 {3, "/dev/ttyACM3"},
                 {7, "/dev/ttyACM7"},
                 {123, "/dev/ttyACM123"}};
    for (const auto& c : cases) {
        EXPECT_EQ(PortDirectory::DevicePathForPort(c.port), c.expected) << c.port;
    }
    const ScopedEnvironmentVariable absent("OSTRA_PORT_DIR", (dir.Path() / "absent").string());
    EXPECT_EQ(PortDirectory::DevicePathForPort(1), fs::path("/dev/ttyACM1"));
}

TEST(PathText, DecodesUtf8AndTakesOtherBytesOneByOne) {
    EXPECT_EQ(PortDirectory::PathText("Caf\xc3\xa9 (COM2)"), L"Caf\u00e9 (COM2)");
    EXPECT_EQ(PortDirectory::PathText("Caf\xe9 (COM2)"), L"Caf\u00e9 (COM2)");
}

}  // namespace
