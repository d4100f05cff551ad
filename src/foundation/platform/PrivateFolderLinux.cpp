#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <utility>

#include "foundation/platform/PrivateFolder.h"

namespace {

constexpr mode_t kPrivateMode = 0700;
constexpr int kDirectoryFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;
// Opens a folder whatever its read permission: a level this user may not list is judged by its
// owner and mode like any other, never passed by as merely unusable.
constexpr int kLevelFlags = O_PATH | O_DIRECTORY | O_CLOEXEC;

bool OthersMayWrite(const struct stat& status) {
    return (status.st_mode & (S_IWGRP | S_IWOTH)) != 0;
}

std::string ModeText(mode_t mode) {
    char text[8];
    std::snprintf(text, sizeof text, "%04o", static_cast<unsigned>(mode & 07777));
    return text;
}

std::string WritableByOthers(const struct stat& status) {
    return "may be changed by other users (mode " + ModeText(status.st_mode) + ")";
}

// Empty when nobody but this user (and root) can change what the base holds.
std::string BaseProblem(const struct stat& status) {
    if (status.st_uid != geteuid() && status.st_uid != 0) {
        return "belongs to another user";
    }
    if (OthersMayWrite(status) && (status.st_mode & S_ISVTX) == 0) {
        return WritableByOthers(status);
    }
    return "";
}

// Empty when the opened level is this user's alone.
std::string LevelProblem(const struct stat& status) {
    if (status.st_uid != geteuid()) {
        return "belongs to another user";
    }
    return OthersMayWrite(status) ? WritableByOthers(status) : "";
}

// The base's missing parents as well, each private: nothing else of the user's is there yet.
void MakeWithParents(const std::filesystem::path& directory) {
    std::filesystem::path level;
    for (const std::filesystem::path& part : directory) {
        level /= part;
        mkdir(level.c_str(), kPrivateMode);
    }
}

}  // namespace

PrivateFolder::~PrivateFolder() {
    Close();
}

PrivateFolder::PrivateFolder(PrivateFolder&& other) noexcept {
    *this = std::move(other);
}

PrivateFolder& PrivateFolder::operator=(PrivateFolder&& other) noexcept {
    if (this != &other) {
        Close();
        handle_ = std::exchange(other.handle_, -1);
        path_ = std::move(other.path_);
        failedPath_ = std::move(other.failedPath_);
        problem_ = std::move(other.problem_);
    }
    return *this;
}

void PrivateFolder::Close() {
    if (handle_ >= 0) {
        close(handle_);
        handle_ = -1;
    }
}

PrivateFolder::Outcome PrivateFolder::Fail(Outcome outcome, const std::filesystem::path& path,
                                           const std::string& what) {
    Close();
    failedPath_ = path;
    problem_ = path.string() + " " + what + ".";
    return outcome;
}

PrivateFolder::Outcome PrivateFolder::Open(const std::filesystem::path& base,
                                           const std::filesystem::path& levels, Missing missing) {
    Close();
    path_ = base;
    failedPath_.clear();
    problem_.clear();
    handle_ = open(base.c_str(), kLevelFlags);
    if (handle_ < 0 && errno == ENOENT && missing == Missing::Create) {
        MakeWithParents(base);
        handle_ = open(base.c_str(), kLevelFlags);
    }
    struct stat status {};
    if (handle_ < 0 || fstat(handle_, &status) != 0) {
        const int error = errno;
        return Fail(error == ENOENT ? Outcome::Absent : Outcome::Unusable, base,
                    error == ENOTDIR ? "is not a folder"
                                     : std::string("cannot be opened: ") + strerror(error));
    }
    if (const std::string problem = BaseProblem(status); !problem.empty()) {
        return Fail(Outcome::Unsafe, base, problem);
    }
    for (const std::filesystem::path& part : levels) {
        path_ /= part;
        const char* name = part.c_str();
        if (missing == Missing::Create && mkdirat(handle_, name, kPrivateMode) != 0 &&
            errno != EEXIST) {
            return Fail(Outcome::Unusable, path_,
                        std::string("could not be made: ") + strerror(errno));
        }
        // Not followed: a link here could lead anywhere, whoever made it.
        const int level = openat(handle_, name, kLevelFlags | O_NOFOLLOW);
        const int openError = errno;
        if (level < 0) {
            struct stat entry {};
            if (fstatat(handle_, name, &entry, AT_SYMLINK_NOFOLLOW) != 0) {
                return Fail(Outcome::Absent, path_, "does not exist");
            }
            if (S_ISLNK(entry.st_mode)) {
                return Fail(Outcome::Unsafe, path_, "is a symbolic link");
            }
            return Fail(Outcome::Unusable, path_,
                        S_ISDIR(entry.st_mode)
                            ? std::string("cannot be opened: ") + strerror(openError)
                            : std::string("is not a folder"));
        }
        close(handle_);
        handle_ = level;
        if (fstat(handle_, &status) != 0) {
            return Fail(Outcome::Unusable, path_,
                        std::string("cannot be read: ") + strerror(errno));
        }
        if (const std::string problem = LevelProblem(status); !problem.empty()) {
            return Fail(Outcome::Unsafe, path_, problem);
        }
    }
    ListableHandle();
    return Outcome::Opened;
}

// The checked folder itself, opened again for reading so that its entries can be listed and it
// can be synced; a folder of the user's that even they may not read keeps the checked handle,
// which still makes, opens and removes files.
void PrivateFolder::ListableHandle() {
    const int listable = openat(handle_, ".", kDirectoryFlags);
    if (listable >= 0) {
        close(handle_);
        handle_ = listable;
    }
}

int PrivateFolder::CreateSubfolder(const std::string& name, PrivateFolder& created) const {
    if (mkdirat(handle_, name.c_str(), kPrivateMode) != 0) {
        const int error = errno;
        struct stat existing {};
        const bool folder = fstatat(handle_, name.c_str(), &existing, AT_SYMLINK_NOFOLLOW) == 0 &&
                            S_ISDIR(existing.st_mode);
        return error == EEXIST && !folder ? ENOTDIR : error;
    }
    // Made just now inside a folder nobody else may change, so the checks of Open hold.
    const int handle = openat(handle_, name.c_str(), kDirectoryFlags | O_NOFOLLOW);
    if (handle < 0) {
        return errno;
    }
    created.Close();
    created.handle_ = handle;
    created.path_ = path_ / name;
    created.failedPath_.clear();
    created.problem_.clear();
    return 0;
}

int PrivateFolder::CreateEmptyFile(const std::string& name) const {
    const int fd =
        openat(handle_, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0) {
        return errno;
    }
    close(fd);
    return 0;
}

int PrivateFolder::RemoveFile(const std::string& name) const {
    return unlinkat(handle_, name.c_str(), 0) == 0 ? 0 : errno;
}

bool PrivateFolder::HoldsFileOrLink(const std::string& name) const {
    struct stat status {};
    return fstatat(handle_, name.c_str(), &status, AT_SYMLINK_NOFOLLOW) == 0 &&
           (S_ISREG(status.st_mode) || S_ISLNK(status.st_mode));
}

int PrivateFolder::ReadFile(const std::string& name, std::size_t limit, std::string& bytes) const {
    const int fd = openat(handle_, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return errno;
    }
    struct stat status {};
    int error = fstat(fd, &status) != 0 ? errno : (S_ISREG(status.st_mode) ? 0 : EINVAL);
    // No more than the file holds: a large limit costs nothing for a small file.
    bytes.assign(error != 0 ? 0 : std::min(limit, static_cast<std::size_t>(status.st_size)), '\0');
    const ssize_t count = error != 0 ? -1 : read(fd, bytes.data(), bytes.size());
    if (error == 0 && count < 0) {
        error = errno;
    }
    bytes.resize(count < 0 ? 0 : static_cast<std::size_t>(count));
    close(fd);
    return error;
}
