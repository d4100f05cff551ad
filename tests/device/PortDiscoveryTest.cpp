#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "device/PortDirectory.h"
#include "device/PortDiscovery.h"
#include "device/platform/SerialPortListerLinux.h"
#include "support/FileBytes.h"
#include "support/ListedPorts.h"
#include "support/LogCapture.h"
#include "support/ScopedEnvironmentVariable.h"
#include "support/TempDir.h"

namespace {

namespace fs = std::filesystem;
using NamePaths = std::vector<std::pair<std::wstring, std::string>>;

const std::wstring kNotFound =
    L"Error retrieving Zavik Driver device information.  Unable to determine port number for "
    L"device.";

constexpr std::uint32_t kConfigured = 4;
const std::wstring kZ = L"Zavik Driver Virtual Com Port ";

// The number of the last listed name that is the driver's, or a failure that keeps the configured
// port (none).
TEST(PortDiscovery, TakesTheNumberOfTheLastMatchingPortOrFails) {
    const std::pair<std::vector<std::wstring>, std::optional<std::uint32_t>> rows[] = {
        {{kZ + L"(COM9)", L"USB Serial Device (COM6)", kZ + L"(COM3)"}, 3},
        {{L"Bench " + kZ + L"#2 (COM021) spare"}, 21},
        {{kZ + L"(COM2147483647)"}, 2147483647u},
        {{kZ + L"(COM5)", kZ, kZ + L"(COM8"}, 5},  // later unusable names skipped
        {{}, std::nullopt},
        {{L"Communications Port (COM1)"}, std::nullopt},
        {{kZ + L"(COM2147483648)"}, std::nullopt},  // beyond INT_MAX
        {{L"zavik driver virtual com port (COM8)"}, std::nullopt},
        {{kZ + L"(COM)"}, std::nullopt},
        {{kZ + L"(ttyUSB3)"}, std::nullopt},
        {{L"(2) " + kZ + L"COM8)"}, std::nullopt},  // ")" before the "COM"
        {{kZ + L"COMBO (COM8)"}, std::nullopt}};
    for (const auto& [names, found] : rows) {
        LogCapture log;
        PortDiscovery::DriverPort port{kConfigured, ""};
        EXPECT_EQ(PortDiscovery::DiscoverPort(ListedPorts(names), port, &log), found ? 0 : -1);
        EXPECT_EQ(port.portNumber, found.value_or(kConfigured));
        EXPECT_EQ(log.messages, (found ? Messages{} : Messages{{LogLevel::Error, kNotFound}}));
    }
}

TEST(PortDiscovery, ListingFailureLogsTheReasonAndWorksWithoutALog) {
    LogCapture log;
    PortDiscovery::DriverPort port{kConfigured, ""};
    EXPECT_EQ(PortDiscovery::DiscoverPort(ListedPorts({}, "sysfs is gone"), port, &log), -1);
    EXPECT_EQ(port.portNumber, kConfigured);
    EXPECT_EQ(log.messages,
              (Messages{{LogLevel::Error, L"Failed to list serial ports: sysfs is gone"},
                        {LogLevel::Error, kNotFound}}));
    EXPECT_EQ(PortDiscovery::DiscoverPort(ListedPorts({}, "x"), port, nullptr), -1);
    EXPECT_EQ(PortDiscovery::DiscoverPort(ListedPorts({kZ + L"(COM2)"}), port, nullptr), 0);
}

// A sysfs tree laid out as the kernel lays it out: class/tty/<name> links to the tty's directory
// under devices/, whose "device" link leads up to the interface, below the USB device that has
// the "product" file.
class FakeSystem {
  public:
    FakeSystem() { fs::create_directories(sys / "class" / "tty"); }

    // A tty below devicesPath (relative to devices/); no device link when devicesPath is empty.
    void AddTty(const std::string& name, const std::string& devicesPath) const {
        const fs::path tty =
            sys / "devices" / (devicesPath.empty() ? "virtual" : devicesPath) / "tty" / name;
        fs::create_directories(tty);
        if (!devicesPath.empty())
            fs::create_directory_symlink("../..", tty / "device");
        fs::create_directory_symlink(fs::relative(tty, sys / "class" / "tty"),
                                     sys / "class" / "tty" / name);
    }
    void SetProduct(const std::string& devicesPath, const std::string& bytes) const {
        fs::create_directories(sys / "devices" / devicesPath);
        WriteFileBytes(sys / "devices" / devicesPath / "product", bytes);
    }
    void Register(const std::string& name, const fs::path& target = "/dev/null") const {
        fs::create_directories(ports);
        fs::create_symlink(target, ports / name);
    }
    // Lists into `listed` and `reason`.
    int List() { return SerialPortListerLinux(sys, ports).ListPorts(listed, reason); }

    std::vector<SerialPortListing> listed;
    std::string reason;
    TempDir dir;
    fs::path sys = dir.Path() / "sys";
    fs::path ports = dir.Path() / "ports";
};

constexpr char kUsb[] = "pci0000:00/0000:00:14.0/usb1/1-";

TEST(SerialPortListerLinux, NamesUsbTtysByProductThenListsThePortDirectory) {
    FakeSystem system;
    WriteFileBytes(system.dir.Path() / "product", "Outside the sysfs root\n");
    system.SetProduct(kUsb + std::string("2"), "Zavik Driver Virtual Com Port\n");
    system.AddTty("ttyACM7", kUsb + std::string("2/1-2:1.0"));
    system.SetProduct(kUsb + std::string("3"), "FT232R USB UART\n");
    system.AddTty("ttyUSB3", kUsb + std::string("3/1-3:1.0/ttyUSB3"));
    system.SetProduct(kUsb + std::string("4"), "Caf\xc3\xa9 Bridge");
    system.AddTty("ttyACM10", kUsb + std::string("4/1-4:1.2"));
    system.AddTty("ttyS0", "platform/serial8250");
    system.AddTty("tty0", "");
    system.Register("Zavik Driver Virtual Com Port (COM20)");
    system.Register("Emulator (COM3)");

    system.listed = {{L"stale", "/dev/stale", L""}};
    ASSERT_EQ(system.List(), 0);
    NamePaths got;
    for (const SerialPortListing& port : system.listed)
        got.emplace_back(port.name, port.devicePath.string());
    const std::string dir = system.ports.string() + "/";
    EXPECT_EQ(got, (NamePaths{{L"Caf\u00e9 Bridge (COM10)", "/dev/ttyACM10"},
                              {L"Zavik Driver Virtual Com Port (COM7)", "/dev/ttyACM7"},
                              {L"FT232R USB UART (ttyUSB3)", "/dev/ttyUSB3"},
                              {L"Emulator (COM3)", dir + "Emulator (COM3)"},
                              {L"Zavik Driver Virtual Com Port (COM20)",
                               dir + "Zavik Driver Virtual Com Port (COM20)"}}));
}

TEST(SerialPortListerLinux, UnreadableSysfsOrPortDirectoryFailsWithTheReason) {
    FakeSystem system;
    WriteFileBytes(system.ports, "not a directory");
    EXPECT_EQ(system.List(), -1);
    EXPECT_EQ(system.reason, system.ports.string() + " is not a folder.");
    fs::remove_all(system.sys);
    EXPECT_EQ(system.List(), -1);
    EXPECT_EQ(system.reason, system.sys.string() + "/class/tty: No such file or directory");
}

// Anyone who can add an entry could pose as the device: a port directory that another user
// could change fails the listing and is not used to open a port; another user's entry in the
// user's own directory is passed over.
enum class Planted { Link, OpenDirectory, OtherUsersDirectory, OtherUsersEntry };

TEST(UnsafePortDirectory, IsNotUsed) {
    for (const Planted planted : {Planted::Link, Planted::OpenDirectory,
                                  Planted::OtherUsersDirectory, Planted::OtherUsersEntry}) {
        SCOPED_TRACE(static_cast<int>(planted));
        // Only root can give a file to another user.
        if (planted >= Planted::OtherUsersDirectory && geteuid() != 0)
            continue;
        FakeSystem system;
        const fs::path real = system.dir.Path() / "real";
        const std::string entry = "Zavik Driver Virtual Com Port (COM4)";
        fs::create_directories(real);
        fs::create_symlink("/dev/null", real / entry);
        if (planted == Planted::Link) {
            fs::create_directory_symlink(real, system.ports);
        } else {
            fs::rename(real, system.ports);
            chmod(system.ports.c_str(), planted == Planted::OpenDirectory ? 0777 : 0755);
            const fs::path given =
                planted == Planted::OtherUsersEntry ? system.ports / entry : system.ports;
            ASSERT_TRUE(planted < Planted::OtherUsersDirectory ||
                        lchown(given.c_str(), 65534, 65534) == 0);
        }
        const ScopedEnvironmentVariable portDirectory("OSTRA_PORT_DIR", system.ports.string());

        const bool ownDirectory = planted == Planted::OtherUsersEntry;
        EXPECT_EQ(system.List(), ownDirectory ? 0 : -1);
        EXPECT_TRUE(ownDirectory ||
                    system.reason.ends_with("  Set XDG_RUNTIME_DIR or OSTRA_PORT_DIR "
                                            "to a folder of your own."))
            << system.reason;
        EXPECT_TRUE(system.listed.empty());
        EXPECT_EQ(PortDirectory::DevicePathForPort(4), fs::path("/dev/ttyACM4"));
    }
}

// An entry that leads to no terminal device, or one connecting refuses, is listed with the reason.
TEST(SerialPortListerLinux, SaysWhyAnEntryCannotBeAPort) {
    FakeSystem system;
    fs::create_directories(system.sys / "dev" / "char" / "1:3");
    fs::create_symlink("../../class/mem", system.sys / "dev" / "char" / "1:3" / "subsystem");
    WriteFileBytes(system.dir.Path() / "plain", "");
    const std::string kName = "Zavik Driver Virtual Com Port (COM";
    system.Register(kName + "1)", "/dev/tty");
    system.Register(kName + "2)", system.dir.Path() / "gone");
    system.Register(kName + "3)", system.dir.Path() / "plain");
    system.Register(kName + "4)", "/dev/null");
    // Another user's pty (only root can give one away).
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    const bool givenAway =
        grantpt(master) == 0 && unlockpt(master) == 0 && chown(ptsname(master), 65534, 65534) == 0;
    system.Register(kName + "5)", givenAway ? fs::path(ptsname(master)) : system.dir.Path() / "x");
    ASSERT_EQ(system.List(), 0);
    close(master);
    std::vector<std::wstring> reasons;
    for (const SerialPortListing& port : system.listed)
        reasons.push_back(port.unusable);
    EXPECT_EQ(reasons, (std::vector<std::wstring>{
                           L"", L"points at nothing", L"is not a terminal device",
                           L"is not a terminal device",
                           givenAway ? L"belongs to another user" : L"points at nothing"}));
    const std::optional<PortDiscovery::DriverPort> found = PortDiscovery::FindDriver(system.listed);
    ASSERT_TRUE(found);
    EXPECT_EQ(found->devicePath, system.ports / (kName + "1)"));
}

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
                             "a First (COM5)", "Spare (COM3) old", "Plain COM7"})
        fs::create_symlink("/dev/null", dir.Path() / name);
    const struct {
        int port;
        fs::path expected;
    } cases[] = {{1, dir.Path() / "Emulator (COM1)"},
                 {11, dir.Path() / "Adapter (COM11)"},
                 {5, dir.Path() / "a First (COM5)"},
                 {3, "/dev/ttyACM3"},
                 {7, "/dev/ttyACM7"},
                 {123, "/dev/ttyACM123"}};
    for (const auto& c : cases)
        EXPECT_EQ(PortDirectory::DevicePathForPort(c.port), c.expected) << c.port;
    const ScopedEnvironmentVariable absent("OSTRA_PORT_DIR", (dir.Path() / "absent").string());
    EXPECT_EQ(PortDirectory::DevicePathForPort(1), fs::path("/dev/ttyACM1"));
}

TEST(PathText, TakesBytesThatAreNoUtf8OneByOne) {
    EXPECT_EQ(PortDirectory::PathText("Caf\xe9 (COM2)"), L"Caf\u00e9 (COM2)");
}

}  // namespace
