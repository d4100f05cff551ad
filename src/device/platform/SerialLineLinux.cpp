#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>

#include "device/platform/SerialLine.h"

namespace {

// Takes the tty for this process alone. The lock refuses a second Ostra even when it runs as
// root; TIOCEXCL refuses every other program's open (except root's).
int TakeExclusiveAccess(int handle) {
    if (flock(handle, LOCK_EX | LOCK_NB) != 0) {
        // A held lock reads as EWOULDBLOCK; the port is busy, and that is what we report.
        return errno == EWOULDBLOCK ? EBUSY : errno;
    }
    if (ioctl(handle, TIOCEXCL) != 0) {
        const int error = errno;
        flock(handle, LOCK_UN);
        return error;
    }
    return 0;
}

// 9600 baud, 8 data bits, no parity, one stop bit, raw bytes. Raw mode clears IXON and the
// other input and output processing so every byte value passes; hardware flow control (CRTSCTS)
// and IXOFF stay as the driver reports them.
void SetLineSettings(termios& settings) {
    cfmakeraw(&settings);
    cfsetispeed(&settings, B9600);
    cfsetospeed(&settings, B9600);
    settings.c_cflag &= ~(CSIZE | PARENB | CSTOPB);
    settings.c_cflag |= CS8 | CLOCAL | CREAD;
    // A read returns at once with what is there: SerialPort waits for bytes with poll() and
    // keeps the time-outs itself.
    settings.c_cc[VMIN] = 0;
    settings.c_cc[VTIME] = 0;
}

}  // namespace

namespace SerialLine {

bool IsTrustedOwner(uid_t owner) {
    return owner == geteuid() || owner == 0;
}

int OpenExclusive(const std::filesystem::path& path, int& handle) {
    // Non-blocking, so that the open does not wait for a carrier before CLOCAL is set.
    const int opened = open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
    if (opened < 0) {
        return errno;
    }
    // Only a terminal device of a trusted owner can be the driver.
    struct stat status {};
    const bool terminal =
        fstat(opened, &status) == 0 && S_ISCHR(status.st_mode) && isatty(opened) == 1;
    if (!terminal || !IsTrustedOwner(status.st_uid)) {
        close(opened);
        return terminal ? EACCES : ENOTTY;
    }
    if (const int error = TakeExclusiveAccess(opened); error != 0) {
        close(opened);
        return error;
    }
    handle = opened;
    return 0;
}

int ApplyLineSettings(int handle, SetupStep& failedStep) {
    termios settings{};
    if (tcgetattr(handle, &settings) != 0) {
        failedStep = SetupStep::GetState;
        return errno;
    }
    SetLineSettings(settings);
    // Blocking from here on: a read that sleeps until its bytes come costs one system call
    // where polling first costs two, on every command.
    const int flags = fcntl(handle, F_GETFL);
    if (tcsetattr(handle, TCSANOW, &settings) != 0 || flags < 0 ||
        fcntl(handle, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        failedStep = SetupStep::SetState;
        return errno;
    }
    return 0;
}

void DiscardInput(int handle) {
    tcflush(handle, TCIFLUSH);
}

// Undone before closing, so that a later open without root privileges is not refused.
void ReleaseAndClose(int handle) {
    ioctl(handle, TIOCNXCL);
    flock(handle, LOCK_UN);
    close(handle);
}

}  // namespace SerialLine
