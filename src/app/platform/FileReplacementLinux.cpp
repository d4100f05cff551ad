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

std::filesystem::path DirectoryOf(const std::filesystem::path& target) {
    const std::filesystem::path parent = target.parent_path();
    return parent.empty() ? std::filesystem::path(".") : parent;
}

// Judged with the effective ids, as open() judges them: root may write anything.
bool MayWrite(const std::filesystem::path& path, int mode) {
    return faccessat(AT_FDCWD, path.c_str(), mode, AT_EACCESS) == 0;
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

// close reports late write errors of some file systems, so its result counts too.
bool SyncAndClose(int fd, bool stored) {
    stored = stored && fsync(fd) == 0;
    const bool closed = close(fd) == 0;
    return stored && closed;
}

// Makes the rename itself survive a power loss; a failure here changes nothing for the caller,
// since the new file is already in place.
void SyncDirectory(const std::filesystem::path& directory) {
    const int fd = open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        fsync(fd);
        close(fd);
    }
}

// The file keeps its identity (inode, links, owner, mode); the bytes are new from the start,
// and what is left of a longer old content is cut off. A device such as /dev/full is written
// the same way, without the cut.
bool WriteInPlace(const std::filesystem::path& target, const struct stat& status,
                  const std::string& bytes) {
    const int fd = open(target.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    bool stored = WriteAll(fd, bytes);
    if (S_ISREG(status.st_mode)) {
        stored = stored && ftruncate(fd, static_cast<off_t>(bytes.size())) == 0;
    }
    return SyncAndClose(fd, stored);
}

enum class Replacement { Done, Failed, NotPossible };

// An existing target's mode, owner and group go to the temporary first; when the owner or group
// cannot be given (only root may give a file away) a replacement would change them.
Replacement ReplaceAtomically(const std::filesystem::path& target, const struct stat* existing,
                              const std::string& bytes) {
    std::filesystem::path temporary;
    const int fd = CreateTemporary(target, temporary);
    if (fd < 0) {
        return Replacement::Failed;
    }
    if (existing != nullptr && (fchown(fd, existing->st_uid, existing->st_gid) != 0 ||
                                fchmod(fd, existing->st_mode & 07777) != 0)) {
        close(fd);
        unlink(temporary.c_str());
        return Replacement::NotPossible;
    }
    if (!SyncAndClose(fd, WriteAll(fd, bytes)) || rename(temporary.c_str(), target.c_str()) != 0) {
        unlink(temporary.c_str());
        return Replacement::Failed;
    }
    SyncDirectory(DirectoryOf(target));
    return Replacement::Done;
}

}  // namespace

bool ReplaceFileContent(const std::filesystem::path& target, const std::string& bytes) {
    const std::filesystem::path resolved = ResolvedTarget(target);
    struct stat status {};
    if (stat(resolved.c_str(), &status) != 0) {
        return errno == ENOENT && ReplaceAtomically(resolved, nullptr, bytes) == Replacement::Done;
    }
    if (S_ISDIR(status.st_mode) || !MayWrite(resolved, W_OK)) {
        return false;
    }
    const bool replaceable = S_ISREG(status.st_mode) && status.st_nlink == 1 &&
                             MayWrite(DirectoryOf(resolved), W_OK | X_OK);
    if (replaceable) {
        const Replacement replaced = ReplaceAtomically(resolved, &status, bytes);
        if (replaced != Replacement::NotPossible) {
            return replaced == Replacement::Done;
        }
    }
    return WriteInPlace(resolved, status, bytes);
}
