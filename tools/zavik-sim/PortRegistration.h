#pragma once

#include <filesystem>
#include <string>

#include "device/PortDirectory.h"
#include "foundation/VlrDataTypes.h"

class LogFile;

// Makes a tty findable by port number: a symbolic link in the port directory, named with the
// port's descriptive name, pointing at the tty. The entry is removed again by Remove() or on
// destruction, but only while it still points at that tty.
class PortRegistration {
  public:
    explicit PortRegistration(LogFile* log = nullptr);
    ~PortRegistration();
    PortRegistration(const PortRegistration&) = delete;
    PortRegistration& operator=(const PortRegistration&) = delete;

    // Creates the directory if needed (missing levels with mode 0700); one that another user
    // could change is refused, as clients would not use it. Beside the entry a dot file holds the
    // emulator's process ID; entries whose process is gone are stale and removed. An existing
    // entry of the name is replaced when it is stale or ours; one of a live emulator, or
    // anything that is not a link, is refused.
    VlrDataTypes::VlrRetVal Register(const PortDirectory::Place& directory,
                                     const std::wstring& name, const std::filesystem::path& target);
    void Remove();

    bool IsRegistered() const { return registered_; }
    const std::filesystem::path& EntryPath() const { return entry_; }

  private:
    VlrDataTypes::VlrRetVal CreateDirectory(const PortDirectory::Place& directory);
    void RemoveStaleEntries(const std::filesystem::path& directory) const;
    VlrDataTypes::VlrRetVal CheckExistingEntry() const;
    VlrDataTypes::VlrRetVal CreateLink();
    VlrDataTypes::VlrRetVal Fail(const std::wstring& message) const;

    LogFile* log_ = nullptr;
    std::filesystem::path entry_;
    std::filesystem::path target_;
    bool registered_ = false;
};
