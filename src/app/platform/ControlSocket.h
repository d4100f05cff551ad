#pragma once

#include <filesystem>
#include <optional>
#include <string>

class PrivateFolder;

// Where the control socket lives and who may use it. One implementation per platform.
namespace ControlSocket {

inline constexpr const char* kName = "control.sock";

// $XDG_RUNTIME_DIR/ostra/control.sock, or control.sock in the per-user settings folder when
// XDG_RUNTIME_DIR is unset.
std::filesystem::path Path();

// Opens the socket's folder as a private one (made with mode 0700 when missing). On failure
// `problem` says what is wrong with it.
bool OpenFolder(PrivateFolder& folder, std::string& problem);

// The process at the other end of a connected socket, when it runs as the user `uid`; nothing
// for another user's (or when the system cannot tell).
std::optional<int> PeerProcess(int descriptor, unsigned uid);

// The user this program runs as.
unsigned CurrentUser();

}  // namespace ControlSocket
