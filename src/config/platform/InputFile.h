#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <streambuf>

class PrivateFolder;

// Opens a file for reading only when it is a regular file of bounded size. A device such as
// /dev/zero never ends, and a FIFO would block the open until a writer comes; neither is a
// command file.
namespace InputFile {

enum class Status { Opened, NotOpened, NotRegular, TooLarge };

// The file's bytes, read on demand and never more than the limit: a file that grows while it is
// read ends there, and says so.
class Buffer : public std::streambuf {
  public:
    // True once the file turned out longer than the limit.
    virtual bool Overran() const = 0;
};

struct Result {
    Status status = Status::NotOpened;
    // Set only when opened.
    std::unique_ptr<Buffer> buffer;
};

// With a folder, the file is its entry named path.filename(), opened through the folder's
// handle and never through a link.
Result Open(const std::filesystem::path& path, std::uintmax_t maxBytes,
            const PrivateFolder* folder = nullptr);

}  // namespace InputFile
