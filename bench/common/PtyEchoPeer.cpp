#include "common/PtyEchoPeer.h"

#include <fcntl.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>

namespace {

// Reads or writes exactly count bytes with blocking calls; false when the line failed.
template <typename Transfer>
bool TransferAll(Transfer transfer, std::size_t count) {
    std::size_t done = 0;
    while (done < count) {
        const ssize_t result = transfer(done, count - done);
        if (result > 0) {
            done += static_cast<std::size_t>(result);
        } else if (result == 0 || errno != EINTR) {
            return false;
        }
    }
    return true;
}

bool ReadAll(int descriptor, std::uint8_t* bytes, std::size_t count) {
    return TransferAll(
        [&](std::size_t done, std::size_t left) { return read(descriptor, bytes + done, left); },
        count);
}

bool WriteAll(int descriptor, const std::uint8_t* bytes, std::size_t count) {
    return TransferAll(
        [&](std::size_t done, std::size_t left) { return write(descriptor, bytes + done, left); },
        count);
}

}  // namespace

PtyEchoPeer::PtyEchoPeer(std::size_t requestSize, std::size_t responseSize)
    : request_(requestSize, 0x55), response_(responseSize, 0xAA), answer_(responseSize) {
    if (Open()) {
        peer_ = std::thread(&PtyEchoPeer::Serve, this);
    }
}

// Closing the client end makes the peer's read fail, which ends its thread.
PtyEchoPeer::~PtyEchoPeer() {
    if (slave_ >= 0) {
        close(slave_);
    }
    if (peer_.joinable()) {
        peer_.join();
    }
    if (master_ >= 0) {
        close(master_);
    }
}

bool PtyEchoPeer::Open() {
    master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    char name[256];
    if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0 ||
        ptsname_r(master_, name, sizeof(name)) != 0) {
        return false;
    }
    const int slave = open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slave < 0) {
        return false;
    }
    termios settings{};
    const bool raw = tcgetattr(slave, &settings) == 0;
    cfmakeraw(&settings);
    settings.c_cc[VMIN] = 1;
    settings.c_cc[VTIME] = 0;
    if (!raw || tcsetattr(slave, TCSANOW, &settings) != 0) {
        close(slave);
        return false;
    }
    slave_ = slave;
    return true;
}

void PtyEchoPeer::Serve() {
    std::vector<std::uint8_t> received(request_.size());
    while (ReadAll(master_, received.data(), received.size()) &&
           WriteAll(master_, response_.data(), response_.size())) {
    }
}

bool PtyEchoPeer::RoundTrip() {
    return WriteAll(slave_, request_.data(), request_.size()) &&
           ReadAll(slave_, answer_.data(), answer_.size());
}
