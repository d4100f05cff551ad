#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <system_error>
#include <vector>

#include "app/platform/Paths.h"
#include "foundation/TextConversion.h"

namespace {

// Unset and empty mean the same: an empty TEMP must not put the data root at "/VelorinData".
std::string EnvironmentValue(const char* name) {
    const char* value = std::getenv(name);
    return value == nullptr ? std::string() : std::string(value);
}

std::string WithoutTrailingSlashes(std::string directory) {
    while (directory.size() > 1 && directory.back() == '/') {
        directory.pop_back();
    }
    return directory;
}

std::string HomeDirectory() {
    const std::string home = EnvironmentValue("HOME");
    if (!home.empty()) {
        return home;
    }
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd* found = nullptr;
    if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 &&
        found != nullptr && found->pw_dir != nullptr) {
        return found->pw_dir;
    }
    return std::string();
}

// An XDG base directory: the variable when it holds an absolute path (a relative one is
// invalid and ignored, as the XDG rules say), otherwise the default under the home directory.
std::string XdgDirectory(const char* variable, const char* defaultUnderHome) {
    const std::string value = EnvironmentValue(variable);
    if (!value.empty() && value.front() == '/') {
        return value;
    }
    return HomeDirectory() + defaultUnderHome;
}

// The variable that names the directory on Windows wins, so that one setting moves the data
// the same way on every platform.
std::wstring BaseDirectory(const char* variable, const char* xdgVariable,
                           const char* defaultUnderHome) {
    std::string directory = EnvironmentValue(variable);
    if (directory.empty()) {
        directory = XdgDirectory(xdgVariable, defaultUnderHome);
    }
    return NarrowToWide(WithoutTrailingSlashes(directory));
}

}  // namespace

namespace Paths {

const std::wstring& Separator() {
    static const std::wstring separator = L"/";
    return separator;
}

std::wstring ExecutableDirectory() {
    std::error_code error;
    const std::filesystem::path executable = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) {
        return std::wstring();
    }
    return NarrowToWide(executable.parent_path().string());
}

std::wstring DataRootBase() {
    return BaseDirectory("TEMP", "XDG_DATA_HOME", "/.local/share");
}

std::wstring PerUserBase() {
    return BaseDirectory("APPDATA", "XDG_CONFIG_HOME", "/.config");
}

std::filesystem::path ToNativePath(const std::wstring& path) {
    return WideToPath(path);
}

std::wstring PortPermissionAdvice(const std::filesystem::path& devicePath) {
    // Serial adapters belong to the group dialout; a new group counts from the next log-in.
    return L"Your user may not open " + NarrowToWide(devicePath.string()) +
           L".  Add it to the dialout group, then log out and in again:\n\n"
           L"sudo usermod -aG dialout $USER";
}

}  // namespace Paths
