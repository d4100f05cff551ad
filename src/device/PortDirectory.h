#pragma once

#include <filesystem>
#include <string>

// Port numbers and the ttys they name. On Linux (platform/PortDirectoryLinux.cpp) a port number
// N names a tty by this rule:
//   1. an entry of the per-user port directory whose name ends in "(COMN)" (a symbolic link to
//      any tty; the emulator and unusual adapters register there, no root needed);
//   2. otherwise /dev/ttyACMN.
// The port directory is $OSTRA_PORT_DIR when set, else $XDG_RUNTIME_DIR/ostra/ports, else
// /tmp/ostra-<uid>/ports.
namespace PortDirectory {

std::filesystem::path Location();

// The tty path for port number N by the rule above.
std::filesystem::path DevicePathForPort(int portNumber);

// "(COMN)" as it ends a registered entry's name.
std::wstring PortSuffix(int portNumber);

// A path or file name as wide text for messages and port lists: UTF-8 decoded, or byte for byte
// (Latin-1) when it is not valid UTF-8.
std::wstring PathText(const std::filesystem::path& path);

}  // namespace PortDirectory
