#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>

#include "app/platform/ControlSocket.h"
#include "app/platform/Paths.h"
#include "foundation/platform/PrivateFolder.h"

namespace ControlSocket {

namespace {

struct Place {
    std::filesystem::path base;
    std::filesystem::path levels;
};

Place SocketPlace() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime != nullptr && *runtime != '\0') {
        return {runtime, "ostra"};
    }
    return {Paths::ToNativePath(Paths::PerUserBase()), std::filesystem::path("Velorin") / "Ostra"};
}

}  // namespace

std::filesystem::path Path() {
    const Place place = SocketPlace();
    return place.base / place.levels / kName;
}

bool OpenFolder(PrivateFolder& folder, std::string& problem) {
    const Place place = SocketPlace();
    if (folder.Open(place.base, place.levels, PrivateFolder::Missing::Create) ==
        PrivateFolder::Outcome::Opened) {
        return true;
    }
    problem = folder.Problem();
    return false;
}

std::optional<int> PeerProcess(int descriptor, unsigned uid) {
    ucred credentials{};
    socklen_t size = sizeof credentials;
    if (getsockopt(descriptor, SOL_SOCKET, SO_PEERCRED, &credentials, &size) != 0 ||
        credentials.uid != uid) {
        return std::nullopt;
    }
    return credentials.pid;
}

unsigned CurrentUser() {
    return geteuid();
}

}  // namespace ControlSocket
