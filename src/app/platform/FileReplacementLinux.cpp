#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <ctime>
#include <optional>
#include <system_error>

#include "app/platform/FileReplacement.h"
#include "foundation/platform/PrivateFolder.h"

namespace {

// As the kernel allows at most in one path.
constexpr int kMostLinks = 40;
// A temporary this old is no save in progress, whatever process has its number now.
constexpr std::time_t kStaleSeconds = 10 * 60;

std::filesystem::path DirectoryOf(const std::filesystem::path& target) {
    const std::filesystem::path parent = target.parent_path();
    return parent.empty() ? std::filesystem::path(".") : parent;
}

// The file that really receives the bytes: renaming over a symbolic link would replace the
// link itself, and the file it names would silently stop being updated. Only the user's own
// links are followed: one that another user planted in a shared folder could name any file of
// this user's. None when a link is refused.
std::optional<std::filesystem::path> ResolvedTarget(const std::filesystem::path& target) {
    std::filesystem::path current = target;
    for (int hop = 0; hop < kMostLinks; ++hop) {
        struct stat status {};
        if (lstat(current.c_str(), &status) != 0 || !S_ISLNK(status.st_mode)) {
            return current;
        }
        std::error_code error;
        const std::filesystem::path next = std::filesystem::read_symlink(current, error);
        if (status.st_uid != geteuid() || error) {
            return std::nullopt;
        }
        current = next.is_absolute() ? next : DirectoryOf(current) / next;
    }
    return std::nullopt;
}

// Judged with the effective ids, as open() judges them: root may write anything.
bool MayWrite(const std::filesystem::path& path, int mode) {
    return faccessat(AT_FDCWD, path.c_str(), mode, AT_EACCESS) == 0;
}

// The directory a name is replaced in, held open so that the temporary, the rename and the
// clean-up all happen in the same directory whatever its path comes to name meanwhile.
class DirectoryHandle {
  public:
    explicit DirectoryHandle(const std::filesystem::path& directory)
        : fd_(open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {}
    ~DirectoryHandle() {
        if (fd_ >= 0) {
            close(fd_);
        }
    }
    DirectoryHandle(const DirectoryHandle&) = delete;
    DirectoryHandle& operator=(const DirectoryHandle&) = delete;
    int Fd() const { return fd_; }

  private:
    int fd_;
};

// A name of its own per attempt: the process id keeps two running programs apart, the counter
// the attempts of one.
std::string TemporaryName(const std::string& name, unsigned attempt) {
    return name + ".tmp" + std::to_string(getpid()) + "_" + std::to_string(attempt);
}

// The process id of "<name>.tmp<pid>_<attempt>", or none for any other name.
std::optional<pid_t> TemporaryOwner(const std::string& entry, const std::string& name) {
    const std::string prefix = name + ".tmp";
    if (entry.compare(0, prefix.size(), prefix) != 0) {
        return std::nullopt;
    }
    const std::string rest = entry.substr(prefix.size());
    const std::size_t separator = rest.find('_');
    const auto digits = [](const std::string& text) {
        return !text.empty() && text.size() <= 9 &&
               text.find_first_not_of("0123456789") == std::string::npos;
    };
    if (separator == std::string::npos || !digits(rest.substr(0, separator)) ||
        !digits(rest.substr(separator + 1))) {
        return std::nullopt;
    }
    return static_cast<pid_t>(std::stol(rest.substr(0, separator)));
}

// A save that a signal or a crash cut short leaves its temporary behind; the next save of the
// same name removes it, once its process is gone or it is too old to be a save in progress.
// Only the user's own regular files of exactly that naming are touched.
void RemoveStaleTemporaries(int directory, const std::string& name) {
    const int listing = dup(directory);
    DIR* entries = listing < 0 ? nullptr : fdopendir(listing);
    if (entries == nullptr) {
        if (listing >= 0) {
            close(listing);
        }
        return;
    }
    const std::time_t now = std::time(nullptr);
    while (const dirent* entry = readdir(entries)) {
        const std::optional<pid_t> owner = TemporaryOwner(entry->d_name, name);
        struct stat status {};
        if (!owner || fstatat(directory, entry->d_name, &status, AT_SYMLINK_NOFOLLOW) != 0 ||
            !S_ISREG(status.st_mode) || status.st_uid != geteuid()) {
            continue;
        }
        const bool ended = *owner != getpid() && kill(*owner, 0) != 0 && errno == ESRCH;
        if (ended || now - status.st_mtime > kStaleSeconds) {
            unlinkat(directory, entry->d_name, 0);
        }
    }
    closedir(entries);
}

// Created with 0666 so that the umask applies as it does to any new file; never through a link.
int CreateTemporary(int directory, const std::string& name, std::string& temporary) {
    constexpr unsigned kAttempts = 100;
    for (unsigned attempt = 0; attempt < kAttempts; ++attempt) {
        temporary = TemporaryName(name, attempt);
        const int fd = openat(directory, temporary.c_str(),
                              O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
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

// The file keeps its identity (inode, links, owner, mode); the bytes are new from the start,
// and what is left of a longer old content is cut off. A device such as /dev/full is written
// the same way, without the cut.
bool WriteInPlace(const std::filesystem::path& target, const struct stat& status,
                  const std::string& bytes) {
    // A link put in its place since it was looked at is not followed.
    const int fd = open(target.c_str(), O_WRONLY | O_NOFOLLOW | O_CLOEXEC);
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
// cannot be given (only root may give a file away) a replacement would change them. The rename
// replaces whatever the name holds and never follows a link there. Syncing the directory makes
// the rename itself survive a power loss; its failure changes nothing, the new file being in
// place already.
Replacement ReplaceAtomically(int directory, const std::string& name, const struct stat* existing,
                              const std::string& bytes) {
    if (directory < 0) {
        return Replacement::Failed;
    }
    RemoveStaleTemporaries(directory, name);
    std::string temporary;
    const int fd = CreateTemporary(directory, name, temporary);
    if (fd < 0) {
        return Replacement::Failed;
    }
    if (existing != nullptr && (fchown(fd, existing->st_uid, existing->st_gid) != 0 ||
                                fchmod(fd, existing->st_mode & 07777) != 0)) {
        close(fd);
        unlinkat(directory, temporary.c_str(), 0);
        return Replacement::NotPossible;
    }
    if (!SyncAndClose(fd, WriteAll(fd, bytes)) ||
        renameat(directory, temporary.c_str(), directory, name.c_str()) != 0) {
        unlinkat(directory, temporary.c_str(), 0);
        return Replacement::Failed;
    }
    fsync(directory);
    return Replacement::Done;
}

Replacement ReplaceAtomically(const std::filesystem::path& target, const struct stat* existing,
                              const std::string& bytes) {
    const DirectoryHandle directory(DirectoryOf(target));
    return ReplaceAtomically(directory.Fd(), target.filename().string(), existing, bytes);
}

}  // namespace

bool ReplaceFileContentIn(const PrivateFolder& folder, const std::string& name,
                          const std::string& bytes) {
    return folder.IsOpen() &&
           ReplaceAtomically(folder.Handle(), name, nullptr, bytes) == Replacement::Done;
}

bool ReplaceFileContent(const std::filesystem::path& target, const std::string& bytes) {
    const std::optional<std::filesystem::path> followed = ResolvedTarget(target);
    if (!followed) {
        return false;
    }
    const std::filesystem::path& resolved = *followed;
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
