#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>

#include "ui/platform/SignalPipe.h"

namespace {

int pipeEnds[2] = {-1, -1};

void WriteToPipe(int) {
    const int savedErrno = errno;
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = write(pipeEnds[1], &byte, 1);
    errno = savedErrno;
}

}  // namespace

int SignalPipe::Install() {
    if (pipeEnds[0] >= 0) {
        return pipeEnds[0];
    }
    if (pipe2(pipeEnds, O_CLOEXEC | O_NONBLOCK) != 0) {
        return -1;
    }
    struct sigaction action = {};
    action.sa_handler = WriteToPipe;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
    return pipeEnds[0];
}

void SignalPipe::Drain(int descriptor) {
    char buffer[16];
    while (read(descriptor, buffer, sizeof buffer) > 0) {
    }
}
