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

struct LocationCase {
    std::optional<std::string> ostraPortDir;
    std::optional<std::string> xdgRuntimeDir;
    std::string expected;  // "<uid>" stands for the user's id
};

class PortDirectoryLocation : public testing::TestWithParam<LocationCase> {};

TEST_P(PortDirectoryLocation, FollowsTheEnvironmentInOrderOfPrecedence) {
    const ScopedEnvironmentVariable own("OSTRA_PORT_DIR", GetParam().ostraPortDir);
    const ScopedEnvironmentVariable runtime("XDG_RUNTIME_DIR", GetParam().xdgRuntimeDir);
    std::string expected = GetParam().expected;
    const std::size_t uid = expected.find("<uid>");
    if (uid != std::string::npos) {
        expected.replace(uid, 5, std::to_string(getuid()));
    }
    EXPECT_EQ(PortDirectory::Location(), fs::path(expected));
}

INSTANTIATE_TEST_SUITE_P(
    Environment, PortDirectoryLocation,
    testing::Values(LocationCase{"/srv/ports", "/run/user/7", "/srv/ports"},
                    LocationCase{"/srv/ports", std::nullopt, "/srv/ports"},
                    LocationCase{"", "/run/user/7", "/run/user/7/ostra/ports"},
                    LocationCase{std::nullopt, "/run/user/7", "/run/user/7/ostra/ports"},
                    LocationCase{std::nullopt, std::nullopt, "/tmp/ostra-<uid>/ports"},
                    LocationCase{"", "", "/tmp/ostra-<uid>/ports"}));

struct PortCase {
    int portNumber;
    std::string expected;  // an entry name of the port directory, or an absolute path
};

// A port directory holding a symbolic link per name, each to /dev/null.
class DevicePathForPort : public testing::TestWithParam<PortCase> {
  protected:
    DevicePathForPort() {
        for (const char* name :
             {"Emulator (COM1)", "Adapter (COM11)", "Adapter (COM12)", "b Second (COM5)",
              "a First (COM5)", "Spare (COM3) old", "Plain COM7", "(COM8)x"}) {
            fs::create_symlink("/dev/null", dir.Path() / name);
        }
    }

    TempDir dir;
    ScopedEnvironmentVariable portDir{"OSTRA_PORT_DIR", dir.Path().string()};
};

TEST_P(DevicePathForPort, TakesTheFirstEntryEndingInThePortSuffixElseTheAcmDevice) {
    const fs::path expected = GetParam().expected.front() == '/' ? fs::path(GetParam().expected)
                                                                 : dir.Path() / GetParam().expected;
    EXPECT_EQ(PortDirectory::DevicePathForPort(GetParam().portNumber), expected);
}

INSTANTIATE_TEST_SUITE_P(Entries, DevicePathForPort,
                         testing::Values(PortCase{1, "Emulator (COM1)"},
                                         PortCase{11, "Adapter (COM11)"},
                                         PortCase{12, "Adapter (COM12)"},
                                         PortCase{2, "/dev/ttyACM2"}, PortCase{5, "a First (COM5)"},
                                         PortCase{3, "/dev/ttyACM3"}, PortCase{7, "/dev/ttyACM7"},
                                         PortCase{8, "/dev/ttyACM8"}, PortCase{4, "/dev/ttyACM4"},
                                         PortCase{0, "/dev/ttyACM0"},
                                         PortCase{123, "/dev/ttyACM123"}));

TEST(DevicePathForPortWithoutDirectory, FallsBackToTheAcmDevice) {
    TempDir dir;
    const ScopedEnvironmentVariable portDir("OSTRA_PORT_DIR", (dir.Path() / "absent").string());
    EXPECT_EQ(PortDirectory::DevicePathForPort(4), fs::path("/dev/ttyACM4"));
}

TEST(PortSuffix, IsTheComNameInParentheses) {
    EXPECT_EQ(PortDirectory::PortSuffix(7), L"(COM7)");
    EXPECT_EQ(PortDirectory::PortSuffix(12), L"(COM12)");
}

TEST(PathText, DecodesUtf8AndTakesOtherBytesOneByOne) {
    EXPECT_EQ(PortDirectory::PathText("/dev/ttyACM4"), L"/dev/ttyACM4");
    EXPECT_EQ(PortDirectory::PathText("Caf\xc3\xa9 (COM2)"), L"Caf\u00e9 (COM2)");
    EXPECT_EQ(PortDirectory::PathText("Caf\xe9 (COM2)"), L"Caf\u00e9 (COM2)");
    EXPECT_EQ(PortDirectory::PathText(""), L"");
}

}  // namespace
