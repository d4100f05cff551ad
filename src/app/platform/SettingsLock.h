#pragma once

#include <filesystem>
#include <string>

// The lock that makes one program at a time the writer of the operator's settings. It is an
// advisory lock on a file of its own beside the settings file (the settings file itself is
// replaced on every save, so a lock on it would not last); the file names the holder, and the
// lock goes with the holder's process however that ends. A holder that cannot be locked out
// keeps its lock until Release or destruction.
class SettingsLock {
  public:
    enum class Outcome {
        Acquired,
        // Another program holds it: Holder() names it.
        HeldElsewhere,
        // The lock file can neither be made nor opened.
        Unavailable,
    };

    SettingsLock() = default;
    ~SettingsLock();
    SettingsLock(const SettingsLock&) = delete;
    SettingsLock& operator=(const SettingsLock&) = delete;

    // Never waits. Locks taken through two calls conflict even within one process.
    Outcome Acquire(const std::filesystem::path& lockFile);
    void Release();
    bool IsHeld() const { return fd_ >= 0; }

    // After HeldElsewhere: the holder as "program (process N)", empty when it has not written
    // its name (yet).
    const std::string& Holder() const { return holder_; }

  private:
    int fd_ = -1;
    std::string holder_;
};
