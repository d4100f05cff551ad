#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "config/platform/InputFile.h"
#include "foundation/platform/PrivateFolder.h"

namespace InputFile {

namespace {

class BoundedBuffer : public Buffer {
  public:
    BoundedBuffer(int fd, std::uintmax_t maxBytes) : fd_(fd), left_(maxBytes) {}
    ~BoundedBuffer() override { ::close(fd_); }
    BoundedBuffer(const BoundedBuffer&) = delete;
    BoundedBuffer& operator=(const BoundedBuffer&) = delete;

    bool Overran() const override { return overran_; }

  protected:
    int_type underflow() override {
        if (gptr() < egptr()) {
            return traits_type::to_int_type(*gptr());
        }
        if (overran_) {
            return traits_type::eof();
        }
        // At the limit one byte more tells a file that ends there from one that goes on.
        const std::size_t wanted =
            static_cast<std::size_t>(std::min<std::uintmax_t>(left_, sizeof bytes_));
        const ssize_t count = ReadSome(wanted == 0 ? 1 : wanted);
        if (count <= 0) {
            return traits_type::eof();
        }
        if (wanted == 0) {
            overran_ = true;
            return traits_type::eof();
        }
        left_ -= static_cast<std::uintmax_t>(count);
        setg(bytes_, bytes_, bytes_ + count);
        return traits_type::to_int_type(*gptr());
    }

  private:
    ssize_t ReadSome(std::size_t wanted) {
        ssize_t count = 0;
        do {
            count = ::read(fd_, bytes_, wanted);
        } while (count < 0 && errno == EINTR);
        return count;
    }

    int fd_;
    std::uintmax_t left_;
    bool overran_ = false;
    char bytes_[64 * 1024];
};

int OpenFile(const std::filesystem::path& path, const PrivateFolder* folder) {
    constexpr int kFlags = O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY;
    if (folder == nullptr) {
        return ::open(path.c_str(), kFlags);
    }
    return folder->IsOpen()
               ? ::openat(folder->Handle(), path.filename().c_str(), kFlags | O_NOFOLLOW)
               : -1;
}

}  // namespace

// O_NONBLOCK keeps the open of a FIFO from waiting for a writer; it is cleared once the file is
// known to be regular, where it changes nothing anyway.
Result Open(const std::filesystem::path& path, std::uintmax_t maxBytes,
            const PrivateFolder* folder) {
    Result result;
    const int fd = OpenFile(path, folder);
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
    result.buffer = std::make_unique<BoundedBuffer>(fd, maxBytes);
    result.status = Status::Opened;
    return result;
}

}  // namespace InputFile
