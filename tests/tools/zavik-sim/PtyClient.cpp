#include "tools/zavik-sim/PtyClient.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

PtyClient::PtyClient(const std::filesystem::path& path, bool makeRaw) {
    handle_ = open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    termios settings{};
    if (makeRaw && handle_ >= 0 && tcgetattr(handle_, &settings) == 0) {
        cfmakeraw(&settings);
        tcsetattr(handle_, TCSANOW, &settings);
    }
}

PtyClient::~PtyClient() {
    Close();
}

void PtyClient::Close() {
    if (handle_ >= 0) {
        close(handle_);
        handle_ = -1;
    }
}

bool PtyClient::Write(const Bytes& bytes) {
    std::size_t written = 0;
    while (written < bytes.size()) {
        const ssize_t result = write(handle_, bytes.data() + written, bytes.size() - written);
        if (result <= 0) {
            return false;
        }
        written += static_cast<std::size_t>(result);
    }
    return true;
}

Bytes PtyClient::Read(std::size_t count, std::chrono::milliseconds limit) {
    Bytes bytes;
    while (bytes.size() < count) {
        pollfd watched{handle_, POLLIN, 0};
        if (poll(&watched, 1, static_cast<int>(limit.count())) <= 0 ||
            (watched.revents & POLLIN) == 0) {
            break;
        }
        std::uint8_t buffer[256];
        const std::size_t wanted = std::min(sizeof(buffer), count - bytes.size());
        const ssize_t result = read(handle_, buffer, wanted);
        if (result <= 0) {
            break;
        }
        bytes.insert(bytes.end(), buffer, buffer + result);
    }
    return bytes;
}

Bytes PtyClient::ReadResponse() {
    Bytes packet = Read(4);
    if (packet.size() == 4) {
        const Bytes rest = Read(static_cast<std::size_t>(packet[2] | (packet[3] << 8)) + 2);
        packet.insert(packet.end(), rest.begin(), rest.end());
    }
    return packet;
}

Bytes PtyClient::Exchange(const Bytes& command) {
    return Write(command) ? ReadResponse() : Bytes();
}

bool PtyClient::SeesHangup() {
    pollfd watched{handle_, POLLIN, 0};
    if (poll(&watched, 1, static_cast<int>(kPatience.count())) <= 0) {
        return false;
    }
    if ((watched.revents & (POLLHUP | POLLERR)) != 0) {
        return true;
    }
    std::uint8_t byte = 0;
    return read(handle_, &byte, 1) <= 0;
}
