#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "device/PortDirectory.h"
#include "device/PortDiscovery.h"
#include "device/platform/SerialPortListerLinux.h"
#include "support/FileBytes.h"
#include "support/LogCapture.h"
#include "support/ScopedEnvironmentVariable.h"
#include "support/TempDir.h"

namespace {

namespace fs = std::filesystem;
using Messages = std::vector<std::pair<LogLevel, std::wstring>>;

const std::wstring kNotFoundMessage =
    L"Error retrieving Zavik Driver device information.  Unable to determine port number for "
    L"device.";

// Lists the given names, or fails with the given reason.
class FakeLister final : public SerialPortLister {
  public:
    explicit FakeLister(std::vector<std::wstring> names) : names_(std::move(names)) {}
    explicit FakeLister(std::string failure) : failure_(std::move(failure)) {}

    VlrDataTypes::VlrRetVal ListPorts(std::vector<SerialPortListing>& ports,
                                      std::string& reason) const override {
        if (failure_) {
            reason = *failure_;
            return -1;
        }
        ports.clear();
        for (const std::wstring& name : names_) {
            ports.push_back({name, "/dev/null", L""});
        }
        return 0;
    }

  private:
    std::vector<std::wstring> names_;
    std::optional<std::string> failure_;
};

// A log writing into a directory of its own, with its messages recorded.
struct RecordedLog {
    TempDir dir;
    LogCapture log{dir.File("log")};
};

constexpr std::uint32_t kConfiguredPort = 4;

struct DiscoveryCase {
    std::vector<std::wstring> names;
    std::optional<std::uint32_t> found;  // none: discovery fails
};

class PortDiscoveryNames : public testing::TestWithParam<DiscoveryCase> {};

TEST_P(PortDiscoveryNames, TakeTheNumberOfTheLastMatchingPortOrFail) {
    RecordedLog recorded;
    PortDiscovery::DriverPort port{kConfiguredPort, ""};
    testing::internal::CaptureStdout();
    const int result =
        PortDiscovery::DiscoverPort(FakeLister(GetParam().names), port, &recorded.log);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    const std::uint32_t portNumber = port.portNumber;

    if (GetParam().found) {
        EXPECT_EQ(result, 0);
        EXPECT_EQ(portNumber, *GetParam().found);
        EXPECT_TRUE(recorded.log.messages.empty());
    } else {
        EXPECT_EQ(result, -1);
        EXPECT_EQ(portNumber, kConfiguredPort);
        EXPECT_EQ(recorded.log.messages, (Messages{{LogLevel::Error, kNotFoundMessage}}));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Listings, PortDiscoveryNames,
    testing::Values(
        DiscoveryCase{{L"Zavik Driver Virtual Com Port (COM7)"}, 7},
        DiscoveryCase{
            {L"Zavik Driver Virtual Com Port (COM3)", L"Zavik Driver Virtual Com Port (COM9)"}, 9},
        DiscoveryCase{
            {L"Zavik Driver Virtual Com Port (COM9)", L"Zavik Driver Virtual Com Port (COM3)"}, 3},
        DiscoveryCase{{L"Zavik Driver Virtual Com Port (COM12)"}, 12},
        DiscoveryCase{{L"Zavik Driver Virtual Com Port (COM07)"}, 7},
        DiscoveryCase{{L"Zavik Driver Virtual Com Port (COM0)"}, 0},
        DiscoveryCase{{L"Zavik Driver Virtual Com Port (COM2147483647)"}, 2147483647u},
        DiscoveryCase{{L"Communications Port (COM1)", L"Zavik Driver Virtual Com Port (COM5)",
                       L"USB Serial Device (COM6)"},
                      5},
        DiscoveryCase{{L"Bench Zavik Driver Virtual Com Port #2 (COM21) spare"}, 21},
        // Matching names without a usable number are skipped; an earlier match stands.
        DiscoveryCase{{L"Zavik Driver Virtual Com Port (COM5)", L"Zavik Driver Virtual Com Port",
                       L"Zavik Driver Virtual Com Port (COM8"},
                      5},
        DiscoveryCase{{}, std::nullopt},
        DiscoveryCase{{L"Communications Port (COM1)", L"USB Serial Device (COM6)"}, std::nullopt},
        DiscoveryCase{{L"Zavik Driver Virtual Com Port"}, std::nullopt},
        DiscoveryCase{{L"Zavik Driver Virtual Com Port (ttyUSB3)"}, std::nullopt},
        DiscoveryCase{{L"Zavik Driver Virtual Com Port (COM8"}, std::nullopt},
        DiscoveryCase{{L"Zavik Driver Virtual Com Port COM8"}, std::nullopt},
        DiscoveryCase{{L"zavik driver virtual com port (COM8)"}, std::nullopt},
        DiscoveryCase{{L"Zavik Driver Virtual Com Port (com8)"}, std::nullopt},
        DiscoveryCase{{L"Zavik Driver Virtual Com Port (COM)"}, std::nullopt},
        DiscoveryCase{{L"Zavik Driver Virtual Com Port (COM 8)"}, std::nullopt},
        DiscoveryCase{{L"Zavik Driver Virtual Com Port (COM-8)"}, std::nullopt},
        // Above what a port can be opened as.
        DiscoveryCase{{L"Zavik Driver Virtual Com Port (COM2147483648)"}, std::nullopt},
        // The first ")" comes before the "COM".
        DiscoveryCase{{L"(2) Zavik Driver Virtual Com Port COM8)"}, std::nullopt},
        // The first "COM" is not the one before the number.
        DiscoveryCase{{L"Zavik Driver Virtual Com Port COMBO (COM8)"}, std::nullopt}));

TEST(PortDiscoveryListingFailure, LogsTheReasonAndKeepsThePortNumber) {
    RecordedLog recorded;
    PortDiscovery::DriverPort port{kConfiguredPort, ""};
    testing::internal::CaptureStdout();
    const int result =
        PortDiscovery::DiscoverPort(FakeLister(std::string("sysfs is gone")), port, &recorded.log);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(result, -1);
    EXPECT_EQ(port.portNumber, kConfiguredPort);
    EXPECT_EQ(recorded.log.messages,
              (Messages{{LogLevel::Error, L"Failed to list serial ports: sysfs is gone"},
                        {LogLevel::Error, kNotFoundMessage}}));
}

TEST(PortDiscoveryWithoutLog, StillFailsAndSucceeds) {
    PortDiscovery::DriverPort port{kConfiguredPort, ""};
    EXPECT_EQ(PortDiscovery::DiscoverPort(FakeLister(std::vector<std::wstring>{}), port, nullptr),
              -1);
    EXPECT_EQ(PortDiscovery::DiscoverPort(
                  FakeLister(std::vector<std::wstring>{L"Zavik Driver Virtual Com Port (COM2)"}),
                  port, nullptr),
              0);
    EXPECT_EQ(port.portNumber, 2u);
}

// A sysfs tree in a temporary directory, laid out as the kernel lays it out: class/tty/<name>
// links to the tty's directory under devices/, whose "device" link leads to the interface or
// port device, below the USB device that has the "product" file.
class FakeSystem {
  public:
    FakeSystem() { fs::create_directories(sys / "class" / "tty"); }

    // A tty below devicesPath (relative to devices/); the device link points at that directory.
    void AddTty(const std::string& name, const std::string& devicesPath) const {
        const fs::path device = sys / "devices" / devicesPath;
        const fs::path ttyDirectory = device / "tty" / name;
        fs::create_directories(ttyDirectory);
        fs::create_directory_symlink(fs::path("../.."), ttyDirectory / "device");
        fs::create_directory_symlink(fs::relative(ttyDirectory, sys / "class" / "tty"),
                                     sys / "class" / "tty" / name);
    }

    // A tty of the kernel's own (tty0, console): no device link at all.
    void AddVirtualTty(const std::string& name) const {
        const fs::path ttyDirectory = sys / "devices" / "virtual" / "tty" / name;
        fs::create_directories(ttyDirectory);
        fs::create_directory_symlink(fs::relative(ttyDirectory, sys / "class" / "tty"),
                                     sys / "class" / "tty" / name);
    }

    void SetProduct(const std::string& devicesPath, const std::string& bytes) const {
        fs::create_directories(sys / "devices" / devicesPath);
        WriteFileBytes(sys / "devices" / devicesPath / "product", bytes);
    }

    void Register(const std::string& name) const {
        fs::create_directories(ports);
        fs::create_symlink("/dev/null", ports / name);
    }

    SerialPortListerLinux Lister() const { return SerialPortListerLinux(sys, ports); }

    TempDir dir;
    fs::path sys = dir.Path() / "sys";
    fs::path ports = dir.Path() / "ports";
};

constexpr char kUsbDevice[] = "pci0000:00/0000:00:14.0/usb1/1-2";
constexpr char kAcmInterface[] = "pci0000:00/0000:00:14.0/usb1/1-2/1-2:1.0";

std::vector<std::pair<std::wstring, std::string>> NamesAndPaths(
    const std::vector<SerialPortListing>& ports) {
    std::vector<std::pair<std::wstring, std::string>> result;
    for (const SerialPortListing& port : ports) {
        result.emplace_back(port.name, port.devicePath.string());
    }
    return result;
}

TEST(SerialPortListerLinux, NamesUsbTtysByProductThenListsThePortDirectory) {
    FakeSystem system;
    system.SetProduct(kUsbDevice, "Zavik Driver Virtual Com Port\n");
    system.AddTty("ttyACM7", kAcmInterface);
    system.SetProduct("pci0000:00/0000:00:14.0/usb1/1-3", "FT232R USB UART\n");
    system.AddTty("ttyUSB3", "pci0000:00/0000:00:14.0/usb1/1-3/1-3:1.0/ttyUSB3");
    system.SetProduct("pci0000:00/0000:00:14.0/usb1/1-4", "Caf\xc3\xa9 Bridge");
    system.AddTty("ttyACM10", "pci0000:00/0000:00:14.0/usb1/1-4/1-4:1.2");
    system.AddTty("ttyS0", "platform/serial8250");
    system.AddVirtualTty("tty0");
    system.Register("Zavik Driver Virtual Com Port (COM20)");
    system.Register("Emulator (COM3)");

    std::vector<SerialPortListing> ports{{L"stale", "/dev/stale", L""}};
    std::string reason;
    ASSERT_EQ(system.Lister().ListPorts(ports, reason), 0);
    const std::string registered = system.ports.string();
    EXPECT_EQ(NamesAndPaths(ports), (std::vector<std::pair<std::wstring, std::string>>{
                                        {L"Caf\u00e9 Bridge (COM10)", "/dev/ttyACM10"},
                                        {L"Zavik Driver Virtual Com Port (COM7)", "/dev/ttyACM7"},
                                        {L"FT232R USB UART (ttyUSB3)", "/dev/ttyUSB3"},
                                        {L"Emulator (COM3)", registered + "/Emulator (COM3)"},
                                        {L"Zavik Driver Virtual Com Port (COM20)",
                                         registered + "/Zavik Driver Virtual Com Port (COM20)"}}));
}

TEST(SerialPortListerLinux, LooksForTheProductOnlyInsideTheSysfsRoot) {
    FakeSystem system;
    WriteFileBytes(system.dir.Path() / "product", "Outside\n");
    system.AddTty("ttyS1", "platform/serial8250");
    std::vector<SerialPortListing> ports;
    std::string reason;
    ASSERT_EQ(system.Lister().ListPorts(ports, reason), 0);
    EXPECT_TRUE(ports.empty());
}

TEST(SerialPortListerLinux, MissingPortDirectoryMeansNoRegisteredPorts) {
    FakeSystem system;
    system.SetProduct(kUsbDevice, "Zavik Driver Virtual Com Port\n");
    system.AddTty("ttyACM0", kAcmInterface);
    std::vector<SerialPortListing> ports;
    std::string reason;
    ASSERT_EQ(system.Lister().ListPorts(ports, reason), 0);
    EXPECT_EQ(NamesAndPaths(ports),
              (std::vector<std::pair<std::wstring, std::string>>{
                  {L"Zavik Driver Virtual Com Port (COM0)", "/dev/ttyACM0"}}));
}

TEST(SerialPortListerLinux, UnreadableSysfsFailsWithTheReason) {
    FakeSystem system;
    const fs::path missing = system.dir.Path() / "nosys";
    std::vector<SerialPortListing> ports;
    std::string reason;
    EXPECT_EQ(SerialPortListerLinux(missing, system.ports).ListPorts(ports, reason), -1);
    EXPECT_EQ(reason, missing.string() + "/class/tty: No such file or directory");
}

TEST(SerialPortListerLinux, PortDirectoryThatIsNoDirectoryFailsWithTheReason) {
    FakeSystem system;
    WriteFileBytes(system.ports, "not a directory");
    std::vector<SerialPortListing> ports;
    std::string reason;
    EXPECT_EQ(system.Lister().ListPorts(ports, reason), -1);
    EXPECT_EQ(reason, system.ports.string() + " is not a folder.");
}

// Anyone who can add an entry could pose as the device: a port directory that another user
// could change fails the listing and is not used to open a port; another user's entry in the
// user's own directory is passed over.
enum class Planted { Link, OpenDirectory, OtherUsersDirectory, OtherUsersEntry };

class UnsafePortDirectory : public testing::TestWithParam<Planted> {};

TEST_P(UnsafePortDirectory, IsNotUsed) {
    const Planted planted = GetParam();
    if (planted >= Planted::OtherUsersDirectory && geteuid() != 0) {
        GTEST_SKIP() << "only root can give a file to another user";
    }
    FakeSystem system;
    const fs::path real = system.dir.Path() / "real";
    fs::create_directories(real);
    fs::create_symlink("/dev/null", real / "Zavik Driver Virtual Com Port (COM4)");
    if (planted == Planted::Link) {
        fs::create_directory_symlink(real, system.ports);
    } else {
        fs::rename(real, system.ports);
        chmod(system.ports.c_str(), planted == Planted::OpenDirectory ? 0777 : 0755);
        const fs::path given = planted == Planted::OtherUsersEntry
                                   ? system.ports / "Zavik Driver Virtual Com Port (COM4)"
                                   : system.ports;
        ASSERT_TRUE(planted < Planted::OtherUsersDirectory ||
                    lchown(given.c_str(), 65534, 65534) == 0);
    }
    const ScopedEnvironmentVariable portDirectory("OSTRA_PORT_DIR", system.ports.string());

    std::vector<SerialPortListing> ports;
    std::string reason;
    const bool ownDirectory = planted == Planted::OtherUsersEntry;
    EXPECT_EQ(system.Lister().ListPorts(ports, reason), ownDirectory ? 0 : -1);
    EXPECT_TRUE(ownDirectory ||
                reason.ends_with("  Set XDG_RUNTIME_DIR or OSTRA_PORT_DIR to a folder of your "
                                 "own."))
        << reason;
    EXPECT_TRUE(ports.empty());
    EXPECT_EQ(PortDirectory::DevicePathForPort(4), fs::path("/dev/ttyACM4"));
}

INSTANTIATE_TEST_SUITE_P(Cases, UnsafePortDirectory,
                         testing::Values(Planted::Link, Planted::OpenDirectory,
                                         Planted::OtherUsersDirectory, Planted::OtherUsersEntry));

TEST(SerialPortListerLinux, DiscoveryFindsTheDeviceAndTheLastRegisteredPortWins) {
    FakeSystem system;
    system.SetProduct(kUsbDevice, "Zavik Driver Virtual Com Port\n");
    system.AddTty("ttyACM7", kAcmInterface);
    RecordedLog recorded;
    PortDiscovery::DriverPort port;

    EXPECT_EQ(PortDiscovery::DiscoverPort(system.Lister(), port, &recorded.log), 0);
    EXPECT_EQ(port.portNumber, 7u);

    system.Register("Zavik Driver Virtual Com Port (COM20)");
    EXPECT_EQ(PortDiscovery::DiscoverPort(system.Lister(), port, &recorded.log), 0);
    EXPECT_EQ(port.portNumber, 20u);
    EXPECT_TRUE(recorded.log.messages.empty());
}

// An entry that leads to no terminal device is listed with the reason and never chosen.
TEST(SerialPortListerLinux, SaysWhyAnEntryCannotBeAPort) {
    FakeSystem system;
    fs::create_directories(system.sys / "dev" / "char" / "1:3");
    fs::create_symlink("../../class/mem", system.sys / "dev" / "char" / "1:3" / "subsystem");
    fs::create_directories(system.ports);
    WriteFileBytes(system.dir.Path() / "plain", "");
    const std::vector<std::pair<std::string, fs::path>> entries{
        {"Zavik Driver Virtual Com Port (COM1)", "/dev/tty"},
        {"Zavik Driver Virtual Com Port (COM2)", system.dir.Path() / "gone"},
        {"Zavik Driver Virtual Com Port (COM3)", system.dir.Path() / "plain"},
        {"Zavik Driver Virtual Com Port (COM4)", "/dev/null"}};
    for (const auto& [name, target] : entries) {
        fs::create_symlink(target, system.ports / name);
    }
    std::vector<SerialPortListing> ports;
    std::string reason;
    ASSERT_EQ(system.Lister().ListPorts(ports, reason), 0);
    std::vector<std::wstring> reasons;
    for (const SerialPortListing& port : ports) {
        reasons.push_back(port.unusable);
    }
    EXPECT_EQ(reasons,
              (std::vector<std::wstring>{L"", L"points at nothing", L"is not a terminal device",
                                         L"is not a terminal device"}));
    const std::optional<PortDiscovery::DriverPort> found = PortDiscovery::FindDriver(ports);
    ASSERT_TRUE(found);
    EXPECT_EQ(found->devicePath, system.ports / entries[0].first);
}

TEST(PlatformSerialPortLister, ListsTheSystemAndEndsWithThePortDirectory) {
    TempDir dir;
    const ScopedEnvironmentVariable portDirectory("OSTRA_PORT_DIR", dir.Path().string());
    fs::create_symlink("/dev/null", dir.Path() / "Zavik Driver Virtual Com Port (COM33)");
    std::vector<SerialPortListing> ports;
    std::string reason;
    ASSERT_EQ(CreatePlatformSerialPortLister()->ListPorts(ports, reason), 0) << reason;
    ASSERT_FALSE(ports.empty());
    EXPECT_EQ(ports.back().name, L"Zavik Driver Virtual Com Port (COM33)");
    EXPECT_EQ(ports.back().devicePath, dir.Path() / "Zavik Driver Virtual Com Port (COM33)");
}

}  // namespace
