#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "device/PortDirectory.h"
#include "foundation/TextConversion.h"
#include "foundation/platform/PrivateFolder.h"

namespace {

std::string EnvironmentValue(const char* name) {
    const char* value = std::getenv(name);
    return value == nullptr ? std::string() : std::string(value);
}

bool EndsWith(const std::string& text, const std::string& suffix) {
    return text.size() >= suffix.size() &&
           text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

// The user's own entries whose names end in the suffix; none when the directory cannot be used.
std::vector<std::string> EntriesEndingIn(const PortDirectory::Place& place,
                                         const std::string& suffix) {
    std::vector<std::string> names;
    std::string ignored;
    if (!PortDirectory::OwnEntries(place, names, ignored)) {
        names.clear();
    }
    names.erase(std::remove_if(names.begin(), names.end(),
                               [&](const std::string& name) { return !EndsWith(name, suffix); }),
                names.end());
    return names;
}

}  // namespace

namespace PortDirectory {

Place LocationPlace() {
    const std::string own = EnvironmentValue("OSTRA_PORT_DIR");
    if (!own.empty()) {
        return Place(std::filesystem::path(own));
    }
    const std::string runtime = EnvironmentValue("XDG_RUNTIME_DIR");
    if (!runtime.empty()) {
        return Place(runtime, std::filesystem::path("ostra") / "ports");
    }
    return Place("/tmp", std::filesystem::path("ostra-" + std::to_string(getuid())) / "ports");
}

std::filesystem::path Location() {
    return LocationPlace().Path();
}

bool OwnEntries(const Place& place, std::vector<std::string>& names, std::string& problem) {
    names.clear();
    PrivateFolder folder;
    const PrivateFolder::Outcome outcome =
        folder.Open(place.base, place.levels, PrivateFolder::Missing::Refuse);
    if (outcome != PrivateFolder::Outcome::Opened) {
        problem = folder.Problem();
        if (outcome == PrivateFolder::Outcome::Unsafe) {
            problem += "  Set XDG_RUNTIME_DIR or OSTRA_PORT_DIR to a folder of your own.";
        }
        return outcome == PrivateFolder::Outcome::Absent;
    }
    const int listing = dup(folder.Handle());
    DIR* entries = listing < 0 ? nullptr : fdopendir(listing);
    if (entries == nullptr) {
        problem = place.Path().string() + ": " + std::strerror(errno);
        if (listing >= 0) {
            close(listing);
        }
        return false;
    }
    while (const dirent* entry = readdir(entries)) {
        const std::string name = entry->d_name;
        struct stat status {};
        // Dot files are bookkeeping (the emulator's process ID notes), never ports.
        if (!name.starts_with('.') &&
            fstatat(folder.Handle(), name.c_str(), &status, AT_SYMLINK_NOFOLLOW) == 0 &&
            status.st_uid == geteuid()) {
            names.push_back(name);
        }
    }
    closedir(entries);
    std::sort(names.begin(), names.end());
    return true;
}

std::filesystem::path DevicePathForPort(int portNumber) {
    const Place place = LocationPlace();
    const std::vector<std::string> names =
        EntriesEndingIn(place, WideToNarrow(PortSuffix(portNumber)));
    if (!names.empty()) {
        return place.Path() / names.front();
    }
    return "/dev/ttyACM" + std::to_string(portNumber);
}

std::filesystem::path EmulatorNoteOf(const std::filesystem::path& entry) {
    return entry.parent_path() / ("." + entry.filename().native() + ".pid");
}

bool IsEmulatorEntry(const std::filesystem::path& devicePath) {
    std::error_code error;
    return devicePath.parent_path() == Location() &&
           std::filesystem::exists(EmulatorNoteOf(devicePath), error);
}

}  // namespace PortDirectory
