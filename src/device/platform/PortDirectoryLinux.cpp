#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <system_error>
#include <vector>

#include "device/PortDirectory.h"
#include "foundation/TextConversion.h"

namespace {

std::string EnvironmentValue(const char* name) {
    const char* value = std::getenv(name);
    return value == nullptr ? std::string() : std::string(value);
}

bool EndsWith(const std::string& text, const std::string& suffix) {
    return text.size() >= suffix.size() &&
           text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

// Entry names of the directory ending in the suffix, sorted so that the choice among several
// registrations of one number does not depend on the file system's order. A missing or
// unreadable directory simply has no entries.
std::vector<std::string> EntriesEndingIn(const std::filesystem::path& directory,
                                         const std::string& suffix) {
    std::vector<std::string> names;
    std::error_code error;
    std::filesystem::directory_iterator entry(directory, error);
    for (; !error && entry != std::filesystem::directory_iterator(); entry.increment(error)) {
        std::string name = entry->path().filename().native();
        if (EndsWith(name, suffix)) {
            names.push_back(std::move(name));
        }
    }
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace

namespace PortDirectory {

std::filesystem::path Location() {
    const std::string own = EnvironmentValue("OSTRA_PORT_DIR");
    if (!own.empty()) {
        return own;
    }
    const std::string runtime = EnvironmentValue("XDG_RUNTIME_DIR");
    if (!runtime.empty()) {
        return std::filesystem::path(runtime) / "ostra" / "ports";
    }
    return std::filesystem::path("/tmp") / ("ostra-" + std::to_string(getuid())) / "ports";
}

std::filesystem::path DevicePathForPort(int portNumber) {
    const std::filesystem::path directory = Location();
    const std::vector<std::string> names =
        EntriesEndingIn(directory, WideToNarrow(PortSuffix(portNumber)));
    if (!names.empty()) {
        return directory / names.front();
    }
    return "/dev/ttyACM" + std::to_string(portNumber);
}

}  // namespace PortDirectory
