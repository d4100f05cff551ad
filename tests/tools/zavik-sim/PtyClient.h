#pragma once

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>

#include "support/HexBytes.h"
#include "support/ScriptedPort.h"

// The PC's end of the emulated line: the tty opened raw, as a serial port would be (makeRaw
// false leaves the settings the device side made). Reads give up after a generous limit so that
// a missing byte fails a test instead of hanging it.
class PtyClient {
  public:
    static constexpr std::chrono::milliseconds kPatience{5000};

    explicit PtyClient(const std::filesystem::path& path, bool makeRaw = true)
        : handle_(open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC)) {
        termios settings{};
        if (makeRaw && handle_ >= 0 && tcgetattr(handle_, &settings) == 0) {
            cfmakeraw(&settings);
            tcsetattr(handle_, TCSANOW, &settings);
        }
    }
    ~PtyClient() {
        if (handle_ >= 0)
            close(handle_);
    }
    PtyClient(const PtyClient&) = delete;
    PtyClient& operator=(const PtyClient&) = delete;

    int Handle() const { return handle_; }
    bool Write(const Bytes& bytes) {
        return write(handle_, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
    }
    Bytes Read(std::size_t count) { return ReadBytes(handle_, count, kPatience); }
    // One response packet, sized by its header: 4 + size + 2 bytes.
    Bytes Exchange(const Bytes& command) {
        Bytes packet = Write(command) ? Read(4) : Bytes();
        if (packet.size() == 4) {
            const Bytes rest = Read(static_cast<std::size_t>(packet[2] | (packet[3] << 8)) + 2);
            packet.insert(packet.end(), rest.begin(), rest.end());
        }
        return packet;
    }
    // True when the line reports a hangup (the device was unplugged).
    bool SeesHangup() {
        pollfd watched{handle_, POLLIN, 0};
        std::uint8_t byte = 0;
        return poll(&watched, 1, kPatience.count()) > 0 &&
               ((watched.revents & (POLLHUP | POLLERR)) != 0 || read(handle_, &byte, 1) <= 0);
    }

  private:
    int handle_ = -1;
};
