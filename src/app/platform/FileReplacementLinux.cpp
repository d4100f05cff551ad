#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

#include "app/platform/FileReplacement.h"

namespace {

// The file that really receives the bytes: renaming over a symbolic link would replace the
// link itself, and the file it names would silently stop being updated.
std::filesystem::path ResolvedTarget(const std::filesystem::path& target) {
    std::error_code error;
    if (!std::filesystem::is_symlink(target, error)) {
        return target;
    }
    const std::filesystem::path resolved = std::filesystem::weakly_canonical(target, error);
    return error ? target : resolved;
}

// A name of its own per attempt: the process id keeps two running programs apart, the counter
// the attempts of one.
std::filesystem::path TemporaryName(const std::filesystem::path& target, unsigned attempt) {
    std::filesystem::path name = target;
    name += ".tmp" + std::to_string(getpid()) + "_" + std::to_string(attempt);
    return name;
}

// Created with 0666 so that the umask applies as it does to any new file.
int CreateTemporary(const std::filesystem::path& target, std::filesystem::path& temporary) {
    constexpr unsigned kAttempts = 100;
    for (unsigned attempt = 0; attempt < kAttempts; ++attempt) {
        temporary = TemporaryName(target, attempt);
        const int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) {
            return fd;
        }
    }
    return -1;
}

bool WriteAll(int fd, const std::string& bytes) {
    std::size_t written = 0;
    while (written < bytes.size()) {
        const ssize_t result = write(fd, bytes.data() + written, bytes.size() - written);
        if (result < 0 && errno == EINTR) {
            continue;
        }
        if (result <= 0) {
            return false;
        }
        written += static_cast<std::size_t>(result);
    }
    return true;
}

void KeepPermissionsOf(const std::filesystem::path& target, int fd) {
    struct stat status {};
    if (stat(target.c_str(), &status) == 0) {
        fchmod(fd, status.st_mode & 07777);
    }
}

bool FillAndClose(int fd, const std::filesystem::path& target, const std::string& bytes) {
    KeepPermissionsOf(target, fd);
    const bool stored = WriteAll(fd, bytes) && fsync(fd) == 0;
    // close reports late write errors of some file systems, so its result counts too.
    const bool closed = close(fd) == 0;
    return stored && closed;
}

// Makes the rename itself survive a power loss; a failure here changes nothing for the caller,
// since the new file is already in place.
void SyncDirectoryOf(const std::filesystem::path& target) {
    const std::filesystem::path parent = target.parent_path();
    const int fd = open(parent.empty() ? "." : parent.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        fsync(fd);
        close(fd);
    }
}

}  // namespace

bool ReplaceFileContent(const std::filesystem::path& target, const std::string& bytes) {
    const std::filesystem::path resolved = ResolvedTarget(target);
    std::filesystem::path temporary;
    const int fd = CreateTemporary(resolved, temporary);
    if (fd < 0) {
        return false;
    }
    if (!FillAndClose(fd, resolved, bytes) || rename(temporary.c_str(), resolved.c_str()) != 0) {
        unlink(temporary.c_str());
        return false;
    }
    SyncDirectoryOf(resolved);
    return true;
}
