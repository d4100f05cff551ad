#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <thread>

#include "app/platform/SettingsLock.h"
#include "foundation/platform/PrivateFolder.h"

namespace {

// Readable by others so that a second program can name the holder.
constexpr mode_t kLockFileMode = 0644;

constexpr int kLockFileFlags = O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;

bool IsOwnLockFile(int fd) {
    struct stat status {};
    return fstat(fd, &status) == 0 && S_ISREG(status.st_mode) && status.st_uid == geteuid() &&
           status.st_nlink == 1;
}

int OpenLockFile(const PrivateFolder& folder, const std::string& name) {
    if (!folder.IsOpen()) {
        return -1;
    }
    int fd =
        openat(folder.Handle(), name.c_str(), O_RDWR | O_CREAT | kLockFileFlags, kLockFileMode);
    if (fd < 0) {
        // A lock file in a directory this user may not write still locks when it exists.
        fd = openat(folder.Handle(), name.c_str(), O_RDONLY | kLockFileFlags);
    }
    if (fd >= 0 && !IsOwnLockFile(fd)) {
        close(fd);
        return -1;
    }
    return fd;
}

std::string ReadAll(int fd) {
    std::string text;
    char buffer[256];
    for (off_t offset = 0;;) {
        const ssize_t count = pread(fd, buffer, sizeof buffer, offset);
        if (count <= 0) {
            break;
        }
        text.append(buffer, static_cast<std::size_t>(count));
        offset += count;
    }
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) {
        text.pop_back();
    }
    return text;
}

// The holder writes its name just after taking the lock; a moment's patience covers that gap.
std::string ReadHolder(int fd) {
    constexpr int kAttempts = 20;
    for (int attempt = 0;; ++attempt) {
        std::string holder = ReadAll(fd);
        if (!holder.empty() || attempt == kAttempts) {
            return holder;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

void WriteHolder(int fd) {
    const std::string text = std::string(program_invocation_short_name) + " (process " +
                             std::to_string(getpid()) + ")\n";
    if (ftruncate(fd, 0) == 0) {
        // Only a courtesy to a refused program: the lock holds without it.
        [[maybe_unused]] const ssize_t ignored = pwrite(fd, text.data(), text.size(), 0);
    }
}

}  // namespace

SettingsLock::~SettingsLock() {
    Release();
}

SettingsLock::Outcome SettingsLock::Acquire(const PrivateFolder& folder, const std::string& name) {
    Release();
    holder_.clear();
    const int fd = OpenLockFile(folder, name);
    if (fd < 0) {
        return Outcome::Unavailable;
    }
    int result = 0;
    do {
        result = flock(fd, LOCK_EX | LOCK_NB);
    } while (result != 0 && errno == EINTR);
    if (result != 0) {
        const bool held = errno == EWOULDBLOCK;
        if (held) {
            holder_ = ReadHolder(fd);
        }
        close(fd);
        return held ? Outcome::HeldElsewhere : Outcome::Unavailable;
    }
    WriteHolder(fd);
    fd_ = fd;
    return Outcome::Acquired;
}

void SettingsLock::Release() {
    if (fd_ < 0) {
        return;
    }
    // The name would otherwise outlive the lock; the next holder writes its own.
    [[maybe_unused]] const int ignored = ftruncate(fd_, 0);
    close(fd_);
    fd_ = -1;
}
