#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <streambuf>

// Opens a file for reading only when it is a regular file of bounded size. A device such as
// /dev/zero never ends, and a FIFO would block the open until a writer comes; neither is a
// command file.
namespace InputFile {

enum class Status { Opened, NotOpened, NotRegular, TooLarge };

struct Result {
    Status status = Status::NotOpened;
    // The file's bytes, read on demand; set only when opened.
    std::unique_ptr<std::streambuf> buffer;
};

Result Open(const std::filesystem::path& path, std::uintmax_t maxBytes);

}  // namespace InputFile
