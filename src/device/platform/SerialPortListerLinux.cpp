#include "device/platform/SerialPortListerLinux.h"

#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>
#include <optional>
#include <system_error>
#include <utility>

#include "device/PortDirectory.h"
#include "device/platform/SerialLine.h"
#include "foundation/TextConversion.h"

using VlrDataTypes::VLR_FAILURE;
using VlrDataTypes::VLR_SUCCESS;
using VlrDataTypes::VlrRetVal;

namespace {

namespace fs = std::filesystem;

constexpr char kAcmPrefix[] = "ttyACM";

// The entry names of a directory, sorted so that the list does not depend on the file system's
// order (the last matching port wins in discovery).
VlrRetVal SortedEntryNames(const fs::path& directory, std::vector<std::string>& names,
                           std::error_code& error) {
    names.clear();
    fs::directory_iterator entry(directory, error);
    for (; !error && entry != fs::directory_iterator(); entry.increment(error)) {
        // Dot files are bookkeeping (the emulator's process ID notes), never ports.
        if (entry->path().filename().native().front() != '.') {
            names.push_back(entry->path().filename().native());
        }
    }
    std::sort(names.begin(), names.end());
    return error ? VLR_FAILURE : VLR_SUCCESS;
}

std::string FailureReason(const fs::path& directory, const std::error_code& error) {
    return directory.native() + ": " + error.message();
}

bool IsInside(const fs::path& path, const fs::path& root) {
    return std::mismatch(root.begin(), root.end(), path.begin(), path.end()).first == root.end();
}

std::optional<std::string> ReadProductString(const fs::path& file) {
    std::ifstream stream(file, std::ios::binary);
    if (!stream) {
        return std::nullopt;
    }
    std::string text{std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>()};
    while (!text.empty() && text.back() == '\n') {
        text.pop_back();
    }
    return text;
}

// The product string of the USB device a tty belongs to: the first directory above the tty's
// device, within the (canonical) sysfs root, that has a "product" file. None for a tty that is
// not on USB.
std::optional<std::string> UsbProductOf(const fs::path& ttyClassEntry, const fs::path& root) {
    std::error_code error;
    fs::path directory = fs::canonical(ttyClassEntry / "device", error);
    if (error) {
        return std::nullopt;
    }
    for (; directory != root && IsInside(directory, root); directory = directory.parent_path()) {
        if (fs::is_regular_file(directory / "product", error)) {
            return ReadProductString(directory / "product");
        }
    }
    return std::nullopt;
}

// "(COMN)" for ttyACMN, the port name the device is known by; "(name)" for any other tty.
std::wstring PortNameSuffix(const std::string& ttyName) {
    const std::string number = ttyName.substr(std::min(ttyName.size(), sizeof kAcmPrefix - 1));
    const bool isAcm =
        ttyName.rfind(kAcmPrefix, 0) == 0 && !number.empty() &&
        std::all_of(number.begin(), number.end(), [](char c) { return c >= '0' && c <= '9'; });
    if (isAcm) {
        return L"(COM" + PortDirectory::PathText(number) + L")";
    }
    return L"(" + PortDirectory::PathText(ttyName) + L")";
}

// Why a port directory entry cannot be a port: it must lead to a character device, where sysfs
// knows that device (ptys it does not) to one of the tty class, and one that connecting accepts.
std::wstring UnusableReason(const fs::path& entry, const fs::path& sysfsRoot) {
    struct stat status {};
    if (stat(entry.c_str(), &status) != 0) {
        return errno == ENOENT ? L"points at nothing"
                               : L"cannot be reached (" + NarrowToWide(std::strerror(errno)) + L")";
    }
    std::error_code error;
    const fs::path subsystem = fs::read_symlink(
        sysfsRoot / "dev" / "char" /
            (std::to_string(major(status.st_rdev)) + ":" + std::to_string(minor(status.st_rdev))) /
            "subsystem",
        error);
    if (!S_ISCHR(status.st_mode) || (!error && subsystem.filename() != "tty")) {
        return L"is not a terminal device";
    }
    if (!SerialLine::IsTrustedOwner(status.st_uid)) {
        return L"belongs to another user";
    }
    return L"";
}

}  // namespace

SerialPortListerLinux::SerialPortListerLinux(fs::path sysfsRoot, PortDirectory::Place portDirectory)
    : sysfsRoot_(std::move(sysfsRoot)), portDirectory_(std::move(portDirectory)) {}

VlrRetVal SerialPortListerLinux::ListPorts(std::vector<SerialPortListing>& ports,
                                           std::string& reason) const {
    ports.clear();
    if (ListUsbTtys(ports, reason) != VLR_SUCCESS) {
        return VLR_FAILURE;
    }
    return ListPortDirectory(ports, reason);
}

VlrRetVal SerialPortListerLinux::ListUsbTtys(std::vector<SerialPortListing>& ports,
                                             std::string& reason) const {
    const fs::path ttyClass = sysfsRoot_ / "class" / "tty";
    std::vector<std::string> names;
    std::error_code error;
    const fs::path root = fs::canonical(sysfsRoot_, error);
    if (error || SortedEntryNames(ttyClass, names, error) != VLR_SUCCESS) {
        reason = FailureReason(ttyClass, error);
        return VLR_FAILURE;
    }
    for (const std::string& name : names) {
        const std::optional<std::string> product = UsbProductOf(ttyClass / name, root);
        if (product) {
            ports.push_back({PortDirectory::PathText(*product) + L" " + PortNameSuffix(name),
                             fs::path("/dev") / name, L""});
        }
    }
    return VLR_SUCCESS;
}

// The port directory is optional: when it does not exist nobody registered a port.
VlrRetVal SerialPortListerLinux::ListPortDirectory(std::vector<SerialPortListing>& ports,
                                                   std::string& reason) const {
    std::vector<std::string> names;
    if (!PortDirectory::OwnEntries(portDirectory_, names, reason)) {
        return VLR_FAILURE;
    }
    for (const std::string& name : names) {
        const fs::path entry = portDirectory_.Path() / name;
        ports.push_back({PortDirectory::PathText(name), entry, UnusableReason(entry, sysfsRoot_)});
    }
    return VLR_SUCCESS;
}

std::unique_ptr<SerialPortLister> CreatePlatformSerialPortLister() {
    return std::make_unique<SerialPortListerLinux>("/sys", PortDirectory::LocationPlace());
}
