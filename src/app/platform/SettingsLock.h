#pragma once

#include <string>

class PrivateFolder;

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

    // The lock file `name` inside the settings folder, through its handle. A link there is not
    // followed, and only the user's own regular file is used (a lock file has one name): anything
    // else is Unavailable, and the file is never emptied before that is known. Never waits.
    // Locks taken through two calls conflict even within one process.
    Outcome Acquire(const PrivateFolder& folder, const std::string& name);
    void Release();
    bool IsHeld() const { return fd_ >= 0; }

    // After HeldElsewhere: the holder as "program (process N)", empty when it has not written
    // its name (yet).
    const std::string& Holder() const { return holder_; }

  private:
    int fd_ = -1;
    std::string holder_;
};
