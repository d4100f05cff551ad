#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <ext/stdio_filebuf.h>

#include "config/platform/InputFile.h"

namespace InputFile {

// O_NONBLOCK keeps the open of a FIFO from waiting for a writer; it is cleared once the file is
// known to be regular, where it changes nothing anyway.
Result Open(const std::filesystem::path& path, std::uintmax_t maxBytes) {
    Result result;
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        return result;
    }
    struct stat status {};
    if (::fstat(fd, &status) != 0) {
        ::close(fd);
        return result;
    }
    if (!S_ISREG(status.st_mode)) {
        ::close(fd);
        result.status = Status::NotRegular;
        return result;
    }
    if (static_cast<std::uintmax_t>(status.st_size) > maxBytes) {
        ::close(fd);
        result.status = Status::TooLarge;
        return result;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    // The buffer owns the descriptor from here and closes it.
    result.buffer = std::make_unique<__gnu_cxx::stdio_filebuf<char>>(fd, std::ios::in);
    result.status = Status::Opened;
    return result;
}

}  // namespace InputFile
