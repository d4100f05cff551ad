#include "zavik-sim/PortRegistration.h"

#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <optional>
#include <system_error>
#include <vector>

#include "device/PortDirectory.h"
#include "foundation/LogFile.h"
#include "foundation/TextConversion.h"
#include "foundation/platform/PrivateFolder.h"

using VlrDataTypes::VLR_FAILURE;
using VlrDataTypes::VLR_SUCCESS;
using VlrDataTypes::VlrRetVal;
namespace fs = std::filesystem;

namespace {

std::wstring Text(const fs::path& path) {
    return PortDirectory::PathText(path);
}

std::wstring Reason(const std::error_code& error) {
    return NarrowToWide(error.message());
}

// The emulator that made an entry notes its process ID beside it, in a file the port listing
// skips (its name begins with a dot).
fs::path PidFileOf(const fs::path& entry) {
    return PortDirectory::EmulatorNoteOf(entry);
}

std::optional<pid_t> ReadPid(const fs::path& file) {
    std::ifstream stream(file);
    long pid = 0;
    if (stream >> pid && pid > 0) {
        return static_cast<pid_t>(pid);
    }
    return std::nullopt;
}

bool IsAlive(pid_t pid) {
    return kill(pid, 0) == 0 || errno == EPERM;
}

}  // namespace

PortRegistration::PortRegistration(LogFile* log) : log_(log) {}

PortRegistration::~PortRegistration() {
    Remove();
}

VlrRetVal PortRegistration::Register(const PortDirectory::Place& directory,
                                     const std::wstring& name, const fs::path& target) {
    Remove();
    entry_ = directory.Path() / WideToNarrow(name);
    target_ = target;
    if (CreateDirectory(directory) != VLR_SUCCESS) {
        return VLR_FAILURE;
    }
    RemoveStaleEntries(directory.Path());
    if (CheckExistingEntry() != VLR_SUCCESS || CreateLink() != VLR_SUCCESS) {
        return VLR_FAILURE;
    }
    std::ofstream(PidFileOf(entry_)) << getpid() << "\n";
    registered_ = true;
    return VLR_SUCCESS;
}

// Entries of emulators that were killed before they could remove them: whether the tty they
// point at exists says nothing, since a later emulator may have been given the same one.
void PortRegistration::RemoveStaleEntries(const fs::path& directory) const {
    std::error_code error;
    std::vector<fs::path> stale;
    for (fs::directory_iterator item(directory, error), end; !error && item != end;
         item.increment(error)) {
        const std::string name = item->path().filename().native();
        if (name.size() <= 5 || name[0] != '.' || !name.ends_with(".pid")) {
            continue;  // never read a port entry: that would read from its tty
        }
        const std::optional<pid_t> pid = ReadPid(item->path());
        if (pid && !IsAlive(*pid)) {
            stale.push_back(item->path());
        }
    }
    for (const fs::path& pidFile : stale) {
        const std::string name = pidFile.filename().native();
        const fs::path entry = directory / name.substr(1, name.size() - 5);
        if (fs::is_symlink(fs::symlink_status(entry, error))) {
            fs::remove(entry, error);
        }
        fs::remove(pidFile, error);
    }
}

// Only the user's own processes have any business in the port directory.
VlrRetVal PortRegistration::CreateDirectory(const PortDirectory::Place& directory) {
    PrivateFolder folder;
    if (folder.Open(directory.base, directory.levels, PrivateFolder::Missing::Create) ==
        PrivateFolder::Outcome::Opened) {
        return VLR_SUCCESS;
    }
    return Fail(L"PortRegistration::Register() - Error, unable to use the port directory: " +
                Text(folder.Problem()) + L"  Choose a folder of your own (--port-dir).");
}

VlrRetVal PortRegistration::CheckExistingEntry() const {
    std::error_code error;
    const fs::file_status status = fs::symlink_status(entry_, error);
    if (!fs::exists(status)) {
        return VLR_SUCCESS;
    }
    if (!fs::is_symlink(status)) {
        return Fail(L"PortRegistration::Register() - Error, " + Text(entry_) +
                    L" exists and is not a symbolic link.  It was left alone.");
    }
    const fs::path current = fs::read_symlink(entry_, error);
    // An entry without a process ID beside it was not made by an emulator; it is taken as live
    // while its tty exists.
    const std::optional<pid_t> owner = ReadPid(PidFileOf(entry_));
    // (Emulators within one process, as in tests, tell each other apart by their ttys.)
    const bool liveTty = fs::exists(entry_, error) && current != target_;
    const bool live = owner ? IsAlive(*owner) && (*owner != getpid() || liveTty) : liveTty;
    if (live) {
        return Fail(L"PortRegistration::Register() - Error, " + Text(entry_.filename()) +
                    L" is already registered in " + Text(entry_.parent_path()) +
                    L" for the live device " + Text(current) +
                    L".  Stop the emulator that uses it or choose another port number.");
    }
    return VLR_SUCCESS;
}

VlrRetVal PortRegistration::CreateLink() {
    // Made under a temporary name and renamed over the entry, so a client never finds the
    // name missing or half made while a stale link is replaced.
    fs::path temporary = entry_;
    temporary += ".new-" + std::to_string(getpid());
    std::error_code error;
    fs::remove(temporary, error);
    fs::create_symlink(target_, temporary, error);
    if (!error) {
        fs::rename(temporary, entry_, error);
    }
    if (error) {
        std::error_code ignored;
        fs::remove(temporary, ignored);
        return Fail(L"PortRegistration::Register() - Error, unable to register " + Text(entry_) +
                    L": " + Reason(error) + L".");
    }
    return VLR_SUCCESS;
}

void PortRegistration::Remove() {
    if (!registered_) {
        return;
    }
    registered_ = false;
    std::error_code error;
    // Another emulator may have taken the name over since; its entry is not ours to remove.
    if (fs::is_symlink(fs::symlink_status(entry_, error)) &&
        fs::read_symlink(entry_, error) == target_) {
        fs::remove(entry_, error);
    }
    if (ReadPid(PidFileOf(entry_)) == getpid()) {
        fs::remove(PidFileOf(entry_), error);
    }
}

VlrRetVal PortRegistration::Fail(const std::wstring& message) const {
    if (log_ != nullptr) {
        log_->WriteMessage(LogLevel::Error, message);
    }
    return VLR_FAILURE;
}
