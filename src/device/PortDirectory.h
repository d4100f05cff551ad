#pragma once

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

// Port numbers and the ttys they name. On Linux (platform/PortDirectoryLinux.cpp) a port number
// N names a tty by this rule:
//   1. an entry of the per-user port directory whose name ends in "(COMN)" (a symbolic link to
//      any tty; the emulator and unusual adapters register there, no root needed);
//   2. otherwise /dev/ttyACMN.
// The port directory is $OSTRA_PORT_DIR when set, else $XDG_RUNTIME_DIR/ostra/ports, else
// /tmp/ostra-<uid>/ports. Anyone who can add an entry can pose as the device, so the directory
// counts only while it is a private folder of the user's own (PrivateFolder: its levels below
// the base, e.g. ostra-<uid> and ports under /tmp), and only the entries that the user made.
namespace PortDirectory {

// The port directory as the base the environment names and the levels below it.
struct Place {
    std::filesystem::path base;
    std::filesystem::path levels;

    Place(std::filesystem::path base, std::filesystem::path levels)
        : base(std::move(base)), levels(std::move(levels)) {}
    // A directory given whole: its last name is the level, the rest the base.
    Place(const std::filesystem::path& directory)  // NOLINT(google-explicit-constructor)
        : base(Whole(directory).parent_path()), levels(Whole(directory).filename()) {}

    std::filesystem::path Path() const { return base / levels; }

  private:
    // Without a trailing separator.
    static std::filesystem::path Whole(const std::filesystem::path& directory) {
        return directory.has_filename() ? directory : directory.parent_path();
    }
};

Place LocationPlace();
std::filesystem::path Location();

// The names of the entries the user made in the port directory (the entry itself, not what a
// link names, belongs to the user), sorted so that a choice among them does not depend on the
// file system's order. None when the directory does not exist. False, with the reason and what
// to do, when it exists but is unusable or could be changed by another user.
bool OwnEntries(const Place& place, std::vector<std::string>& names, std::string& problem);

// The tty path for port number N by the rule above.
std::filesystem::path DevicePathForPort(int portNumber);

// The note an emulator keeps beside its entry (its process ID, in a dot file the listing skips).
std::filesystem::path EmulatorNoteOf(const std::filesystem::path& entry);
// True when the tty path is an entry of the port directory that an emulator registered, so
// that a window can say it talks to no real device.
bool IsEmulatorEntry(const std::filesystem::path& devicePath);

// "(COMN)" as it ends a registered entry's name.
std::wstring PortSuffix(int portNumber);

// A path or file name as wide text for messages and port lists: UTF-8 decoded, or byte for byte
// (Latin-1) when it is not valid UTF-8.
std::wstring PathText(const std::filesystem::path& path);

}  // namespace PortDirectory
