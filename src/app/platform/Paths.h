#pragma once

#include <filesystem>
#include <string>

// Where the application finds itself and the operator's directories, and how the wide path
// text of the core maps to the operating system's file names. One implementation per platform.
namespace Paths {

// Between a directory and the next name.
const std::wstring& Separator();

inline std::wstring Join(const std::wstring& directory, const std::wstring& name) {
    return directory + Separator() + name;
}

// The directory of the running executable, without a trailing separator; empty when the
// system cannot tell.
std::wstring ExecutableDirectory();

// The directory under which the data root of every run is made: the "TEMP" directory when that
// variable is set, otherwise the user's data directory. Without a trailing separator.
std::wstring DataRootBase();

// The directory under which the per-user settings live: the "APPDATA" directory when that
// variable is set, otherwise the user's configuration directory. Without a trailing separator.
std::wstring PerUserBase();

// Path text is kept byte for byte, as the configuration file reader opens its files, so a file
// written under a name reads back under the same name.
std::filesystem::path ToNativePath(const std::wstring& path);

// What to tell an operator whose user may not open the tty: the command that grants it, on a
// line of its own so it can be copied.
std::wstring PortPermissionAdvice(const std::filesystem::path& devicePath);

}  // namespace Paths
