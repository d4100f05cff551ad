#pragma once

#include <cstddef>
#include <filesystem>
#include <string>

// A folder that no other user can change, held open: files are made in it through its handle,
// so a path swapped meanwhile cannot redirect them. Every folder the programs write into is one.
//
// Every level is judged by its open handle, whether or not this user may read it. The base (the
// directory TEMP, APPDATA or XDG_RUNTIME_DIR names) is the user's choice and only
// has to hold still: it belongs to this user or to root, and when others may write it, it is
// sticky as /tmp is, so that nobody else can rename what is made in it. Each level below it must
// be a real folder (not a symbolic link) of this user's own that neither the group nor others
// may write; missing levels are made with mode 0700. One implementation per platform.
class PrivateFolder {
  public:
    enum class Outcome {
        Opened,
        // A level does not exist, and was not to be made.
        Absent,
        // A level could not be made or opened, or is not a folder.
        Unusable,
        // A level exists but another user could change it (Problem() says how).
        Unsafe,
    };
    enum class Missing { Create, Refuse };

    PrivateFolder() = default;
    ~PrivateFolder();
    PrivateFolder(PrivateFolder&& other) noexcept;
    PrivateFolder& operator=(PrivateFolder&& other) noexcept;
    PrivateFolder(const PrivateFolder&) = delete;
    PrivateFolder& operator=(const PrivateFolder&) = delete;

    // Opens base/levels; a missing base is made (with its parents) only under Create. On
    // failure FailedPath() and Problem() name the level and what is wrong with it.
    Outcome Open(const std::filesystem::path& base, const std::filesystem::path& levels,
                 Missing missing);

    // Makes the new folder `name` inside this one and opens it as `created`: 0, EEXIST when a
    // folder of the name exists already, or another error number.
    int CreateSubfolder(const std::string& name, PrivateFolder& created) const;

    // Makes the new, empty file `name` (never through a link, never an existing file), with the
    // mode the umask gives: 0 or the error number.
    int CreateEmptyFile(const std::string& name) const;

    // Removes the file `name` (a link itself, never what it names): 0 or the error number.
    int RemoveFile(const std::string& name) const;

    // A regular file or a symbolic link (not followed) named `name` is there: a file to read,
    // or one in the way of any read or write.
    bool HoldsFileOrLink(const std::string& name) const;

    // The bytes of the regular file `name` (never through a link), at most `limit` of them: 0 or
    // the error number.
    int ReadFile(const std::string& name, std::size_t limit, std::string& bytes) const;

    bool IsOpen() const { return handle_ >= 0; }
    int Handle() const { return handle_; }
    const std::filesystem::path& Path() const { return path_; }
    const std::filesystem::path& FailedPath() const { return failedPath_; }
    // "PATH is a symbolic link.", "PATH belongs to another user.", ...; empty after success.
    const std::string& Problem() const { return problem_; }

  private:
    void Close();
    void ListableHandle();
    Outcome Fail(Outcome outcome, const std::filesystem::path& path, const std::string& what);

    int handle_ = -1;
    std::filesystem::path path_;
    std::filesystem::path failedPath_;
    std::string problem_;
};
