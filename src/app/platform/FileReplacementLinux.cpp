#include <dirent.h>
#include <fcntl.h>
#include <linux/limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <ctime>
#include <deque>
#include <optional>
#include <utility>

#include "app/platform/FileReplacement.h"
#include "foundation/platform/PrivateFolder.h"

namespace {

// As the kernel allows at most in one path.
constexpr int kMostLinks = 40;
// A temporary this old is no save in progress, whatever process has its number now.
constexpr std::time_t kStaleSeconds = 10 * 60;
// Names a place in the tree without opening it for reading or writing: every folder can be
// looked at, and neither a FIFO nor a device does anything on such an open.
constexpr int kPlaceFlags = O_PATH | O_NOFOLLOW | O_CLOEXEC;

// An open descriptor, closed with the object.
class Descriptor {
  public:
    explicit Descriptor(int fd = -1) : fd_(fd) {}
    ~Descriptor() { Reset(-1); }
    Descriptor(Descriptor&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    Descriptor& operator=(Descriptor&& other) noexcept {
        Reset(std::exchange(other.fd_, -1));
        return *this;
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int Fd() const { return fd_; }

  private:
    void Reset(int fd) {
        if (fd_ >= 0) {
            close(fd_);
        }
        fd_ = fd;
    }
    int fd_;
};

// The folder that holds a save target, open, and the target's name in it.
struct Location {
    Descriptor folder;
    std::string name;
};

// Others may add entries, and only the sticky bit keeps them from replacing the user's.
bool SharedSticky(int folder) {
    struct stat status {};
    return fstat(folder, &status) == 0 && (status.st_mode & S_ISVTX) != 0 &&
           (status.st_mode & (S_IWGRP | S_IWOTH)) != 0;
}

// A link another user planted in a shared folder could lead a save to any file of this user's.
// The target itself is followed only when the user made the link; a folder on the way also when
// root did (as /var/run), and outside a shared sticky folder whoever may change the folder could
// replace the link anyway.
bool MayFollow(int folder, const struct stat& link, bool target) {
    if (link.st_uid == geteuid()) {
        return true;
    }
    return !target && (link.st_uid == 0 || !SharedSticky(folder));
}

std::optional<std::string> LinkText(int link) {
    char text[PATH_MAX];
    const ssize_t length = readlinkat(link, "", text, sizeof text);
    if (length <= 0 || static_cast<std::size_t>(length) >= sizeof text) {
        return std::nullopt;
    }
    return std::string(text, static_cast<std::size_t>(length));
}

// The names of a path in order, without the root.
std::deque<std::string> NamesOf(const std::filesystem::path& path) {
    std::deque<std::string> names;
    for (const std::filesystem::path& part : path.relative_path()) {
        names.push_back(part.string());
    }
    return names;
}

// Puts the names a link holds before the names still to walk; an absolute link starts again at
// the root. False when the link may not be followed or cannot be read.
bool FollowLink(Descriptor& folder, int link, const struct stat& status, bool target,
                std::deque<std::string>& names) {
    const std::optional<std::string> text = LinkText(link);
    if (!text || !MayFollow(folder.Fd(), status, target)) {
        return false;
    }
    const std::deque<std::string> linked = NamesOf(*text);
    names.insert(names.begin(), linked.begin(), linked.end());
    if (text->front() == '/') {
        folder = Descriptor(open("/", kPlaceFlags | O_DIRECTORY));
    }
    return true;
}

// Walks the path name by name from a held folder, so that each link is judged where it is found
// and nothing swapped after the judgement can redirect the save: the result names the folder by
// its handle. Renaming over a link would replace the link itself and the file it names would
// silently stop being updated, so a link at the target is followed too. None when a link is
// refused or a folder on the way cannot be opened.
std::optional<Location> Locate(const std::filesystem::path& target) {
    std::deque<std::string> names = NamesOf(target);
    Descriptor folder(open(target.is_absolute() ? "/" : ".", kPlaceFlags | O_DIRECTORY));
    for (int links = 0; folder.Fd() >= 0 && !names.empty();) {
        const std::string name = std::move(names.front());
        names.pop_front();
        const bool last = names.empty();
        if (name.empty() || name == ".") {
            if (last) {
                return std::nullopt;
            }
            continue;
        }
        Descriptor entry(openat(folder.Fd(), name.c_str(), kPlaceFlags));
        struct stat status {};
        if (entry.Fd() < 0 || fstat(entry.Fd(), &status) != 0) {
            // A missing target is a new file.
            if (last && errno == ENOENT) {
                return Location{std::move(folder), name};
            }
            return std::nullopt;
        }
        if (S_ISLNK(status.st_mode)) {
            if (++links > kMostLinks || !FollowLink(folder, entry.Fd(), status, last, names)) {
                return std::nullopt;
            }
        } else if (last) {
            // ReplaceIn judges whatever the target is.
            return Location{std::move(folder), name};
        } else if (S_ISDIR(status.st_mode)) {
            folder = std::move(entry);
        } else {
            return std::nullopt;
        }
    }
    return std::nullopt;
}

// The held folder opened for reading, so that its stale temporaries can be listed and the
// rename synced; one the user may not read keeps the handle it has, which still does the rest.
Descriptor Listable(Descriptor folder) {
    Descriptor listable(openat(folder.Fd(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    return listable.Fd() >= 0 ? std::move(listable) : std::move(folder);
}

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

// Claims the disk space of the new content before a byte of the old one changes, without
// changing the file's size, so that a full disk fails the save while the old content is whole.
// Where the file system has no such reservation, the file grows to the new size first, and a
// failure takes the growth back.
bool Reserve(int fd, off_t oldSize, off_t newSize) {
    if (newSize == 0 || fallocate(fd, FALLOC_FL_KEEP_SIZE, 0, newSize) == 0) {
        return true;
    }
    if (errno != EOPNOTSUPP) {
        return false;
    }
    if (newSize <= oldSize || posix_fallocate(fd, 0, newSize) == 0) {
        return true;
    }
    [[maybe_unused]] const int ignored = ftruncate(fd, oldSize);
    return false;
}

// The file keeps its identity (inode, links, owner, mode); the bytes are new from the start,
// and what is left of a longer old content is cut off. Only the very regular file that was
// judged is changed: a file put in its place since is left alone.
bool WriteInPlace(int directory, const std::string& name, const struct stat& judged,
                  const std::string& bytes) {
    const int fd =
        openat(directory, name.c_str(), O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    struct stat status {};
    const off_t size = static_cast<off_t>(bytes.size());
    const bool same = fstat(fd, &status) == 0 && S_ISREG(status.st_mode) &&
                      status.st_dev == judged.st_dev && status.st_ino == judged.st_ino;
    const bool stored = same && Reserve(fd, status.st_size, size) && WriteAll(fd, bytes) &&
                        ftruncate(fd, size) == 0;
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

// Judged with the effective ids, as open() judges them: root may write anything.
bool MayWrite(int directory, const char* name, int mode) {
    return faccessat(directory, name, mode, AT_EACCESS) == 0;
}

// Only a regular file is saved over: a FIFO would wait for a reader, a device is no file, and a
// link found here was put in place after the path was walked. A file with other hard links, one
// whose owner or group a replacement could not keep and one in a folder the user may not write
// are written in place.
bool ReplaceIn(int directory, const std::string& name, const std::string& bytes) {
    struct stat status {};
    if (fstatat(directory, name.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0) {
        return errno == ENOENT &&
               ReplaceAtomically(directory, name, nullptr, bytes) == Replacement::Done;
    }
    if (!S_ISREG(status.st_mode) || !MayWrite(directory, name.c_str(), W_OK)) {
        return false;
    }
    if (status.st_nlink == 1 && MayWrite(directory, ".", W_OK | X_OK)) {
        const Replacement replaced = ReplaceAtomically(directory, name, &status, bytes);
        if (replaced != Replacement::NotPossible) {
            return replaced == Replacement::Done;
        }
    }
    return WriteInPlace(directory, name, status, bytes);
}

}  // namespace

bool ReplaceFileContentIn(const PrivateFolder& folder, const std::string& name,
                          const std::string& bytes) {
    return folder.IsOpen() && ReplaceIn(folder.Handle(), name, bytes);
}

bool ReplaceFileContent(const std::filesystem::path& target, const std::string& bytes) {
    std::optional<Location> location = Locate(target);
    if (!location) {
        return false;
    }
    const Descriptor folder = Listable(std::move(location->folder));
    return ReplaceIn(folder.Fd(), location->name, bytes);
}
