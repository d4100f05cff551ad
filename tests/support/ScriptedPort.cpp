#include "support/ScriptedPort.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <thread>

// Stops a faulty program from hanging the suite.
static constexpr int kPatienceMs = 5000;

ScriptedPort::ScriptedPort(const std::filesystem::path& directory, int portNumber)
    : portDirectory_("OSTRA_PORT_DIR", directory.string()) {
    const std::filesystem::path entry =
        directory / ("Test Port (COM" + std::to_string(portNumber) + ")");
    portName_ = L"COM" + std::to_wstring(portNumber) + L" (" + entry.wstring() + L")";
    master_ = posix_openpt(O_RDWR | O_NOCTTY);
    if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) {
        ADD_FAILURE() << "no pseudo-terminal available";
        return;
    }
    const std::string path = ptsname(master_);
    programSide_ = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    termios settings{};
    if (programSide_ < 0 || tcgetattr(programSide_, &settings) != 0) {
        ADD_FAILURE() << "cannot open " << path;
        return;
    }
    cfmakeraw(&settings);
    tcsetattr(programSide_, TCSANOW, &settings);
    std::filesystem::create_directories(directory);
    std::filesystem::create_symlink(path, entry);
}

ScriptedPort::~ScriptedPort() {
    close(programSide_);
    HangUp();
}

void ScriptedPort::Send(const Bytes& bytes) const {
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        const ssize_t result = write(master_, bytes.data() + sent, bytes.size() - sent);
        ASSERT_GT(result, 0) << "the pseudo-terminal refused the bytes";
        sent += static_cast<std::size_t>(result);
    }
}

Bytes ScriptedPort::Receive(std::size_t count) const {
    return ReadBytes(master_, count, std::chrono::milliseconds(kPatienceMs));
}

Bytes ReadBytes(int descriptor, std::size_t count, std::chrono::milliseconds patience) {
    Bytes bytes(count);
    std::size_t received = 0;
    while (received < count) {
        pollfd request{descriptor, POLLIN, 0};
        if (poll(&request, 1, static_cast<int>(patience.count())) <= 0)
            break;
        const ssize_t result = read(descriptor, bytes.data() + received, count - received);
        if (result <= 0)
            break;
        received += static_cast<std::size_t>(result);
    }
    bytes.resize(received);
    return bytes;
}

int ScriptedPort::PendingForProgram(int count) const {
    int pending = 0;
    for (int waited = 0; waited < kPatienceMs; ++waited) {
        if (ioctl(programSide_, FIONREAD, &pending) == 0 && pending >= count)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return pending;
}

void ScriptedPort::HangUp() {
    close(master_);
    master_ = -1;
}
