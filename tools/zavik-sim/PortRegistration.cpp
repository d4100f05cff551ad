#include "zavik-sim/PortRegistration.h"

#include <unistd.h>

#include <system_error>

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
    if (CreateDirectory(directory) != VLR_SUCCESS || CheckExistingEntry() != VLR_SUCCESS ||
        CreateLink() != VLR_SUCCESS) {
        return VLR_FAILURE;
    }
    registered_ = true;
    return VLR_SUCCESS;
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
    const bool live = fs::exists(entry_, error);
    if (live && current != target_) {
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
}

VlrRetVal PortRegistration::Fail(const std::wstring& message) const {
    if (log_ != nullptr) {
        log_->WriteMessage(LogLevel::Error, message);
    }
    return VLR_FAILURE;
}
