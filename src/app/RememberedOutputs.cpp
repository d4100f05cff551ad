#include "app/RememberedOutputs.h"

#include <cstdint>
#include <string>

#include "app/platform/FileReplacement.h"
#include "device/MicroController.h"
#include "foundation/platform/PrivateFolder.h"

namespace {

// Longer than any mask text.
constexpr std::size_t kMaskTextLimit = 16;

// The port's tty path as one file name: '/' and the escape '%' written as %2F and %25.
std::string FileNameOf(MicroController& device) {
    std::string name;
    for (const char c : device.GetConnection().Port().DevicePath().string()) {
        name += c == '/' ? "%2F" : c == '%' ? "%25" : std::string(1, c);
    }
    return name;
}

PortDirectory::Place BesideThePortDirectory() {
    const PortDirectory::Place ports = PortDirectory::LocationPlace();
    return {ports.base, ports.levels.parent_path() / "outputs"};
}

}  // namespace

RememberedOutputs::RememberedOutputs() : folder_(BesideThePortDirectory()) {}

void RememberedOutputs::Recall(MicroController& device) const {
    PrivateFolder folder;
    std::string text;
    if (!device.GetConnection().IsConnected() ||
        folder.Open(folder_.base, folder_.levels, PrivateFolder::Missing::Refuse) !=
            PrivateFolder::Outcome::Opened ||
        folder.ReadFile(FileNameOf(device), kMaskTextLimit, text) != 0) {
        return;
    }
    try {
        const unsigned long mask = std::stoul(text);
        if (mask <= UINT16_MAX) {
            device.AssumeOutputMask(static_cast<std::uint16_t>(mask));
        }
    } catch (const std::exception&) {
        // Not a mask of ours: the outputs stay believed off.
    }
}

bool RememberedOutputs::Record(MicroController& device) const {
    PrivateFolder folder;
    return device.GetConnection().IsConnected() &&
           folder.Open(folder_.base, folder_.levels, PrivateFolder::Missing::Create) ==
               PrivateFolder::Outcome::Opened &&
           ReplaceFileContentIn(folder, FileNameOf(device),
                                std::to_string(device.GetOutputMask()) + "\n");
}
