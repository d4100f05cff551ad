#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/inotify.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "foundation/LogFile.h"
#include "foundation/TextConversion.h"
#include "zavik-sim/PseudoTerminal.h"

using VlrDataTypes::VLR_FAILURE;
using VlrDataTypes::VLR_SUCCESS;
using VlrDataTypes::VlrRetVal;

namespace {

void CloseDescriptor(int& descriptor) {
    if (descriptor >= 0) {
        close(descriptor);
        descriptor = -1;
    }
}

timespec ToTimespec(std::chrono::nanoseconds duration) {
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(duration);
    return timespec{static_cast<time_t>(seconds.count()),
                    static_cast<long>((duration - seconds).count())};
}

// Bit of PollWithInterrupt's result: the watch descriptor is readable.
constexpr int kWatchReady = 0x10000;

// Polls the descriptor for the events, the watch descriptor (if any) for input and the
// interrupt channel; the poll result of the descriptor (with kWatchReady), or -1 when
// interrupted, 0 on time-out.
int PollWithInterrupt(int descriptor, short events, int interruptRead, const timespec* limit,
                      int watch = -1) {
    pollfd watched[3] = {{interruptRead, POLLIN, 0}, {descriptor, events, 0}, {watch, POLLIN, 0}};
    const nfds_t count = descriptor >= 0 ? (watch >= 0 ? 3 : 2) : 1;
    for (;;) {
        const int ready = ppoll(watched, count, limit, nullptr);
        if (ready < 0 && errno == EINTR) {
            continue;
        }
        if (ready < 0 || watched[0].revents != 0) {
            return -1;
        }
        return ready == 0 ? 0 : watched[1].revents | (watched[2].revents != 0 ? kWatchReady : 0);
    }
}

}  // namespace

PseudoTerminal::PseudoTerminal(LogFile* log) : log_(log) {}

PseudoTerminal::~PseudoTerminal() {
    Close();
}

VlrRetVal PseudoTerminal::Open() {
    Close();
    if (OpenInterruptChannel() != VLR_SUCCESS || OpenMaster() != VLR_SUCCESS ||
        OpenSlave() != VLR_SUCCESS || OpenWatch() != VLR_SUCCESS) {
        Close();
        return VLR_FAILURE;
    }
    return VLR_SUCCESS;
}

VlrRetVal PseudoTerminal::OpenInterruptChannel() {
    int ends[2];
    if (pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0) {
        return Fail(L"create the interrupt pipe");
    }
    interruptRead_ = ends[0];
    interruptWrite_ = ends[1];
    return VLR_SUCCESS;
}

// Opened after the emulator's own hold on the slave, so that only clients are seen.
VlrRetVal PseudoTerminal::OpenWatch() {
    watch_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (watch_ < 0 || inotify_add_watch(watch_, slavePath_.c_str(), IN_OPEN | IN_CLOSE) < 0) {
        return Fail(L"watch " + NarrowToWide(slavePath_.native()) + L" for clients");
    }
    return VLR_SUCCESS;
}

VlrRetVal PseudoTerminal::OpenMaster() {
    master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_ < 0) {
        return Fail(L"open a pseudo-terminal");
    }
    if (grantpt(master_) != 0 || unlockpt(master_) != 0) {
        return Fail(L"unlock the pseudo-terminal");
    }
    char name[256];
    if (ptsname_r(master_, name, sizeof(name)) != 0) {
        return Fail(L"get the pseudo-terminal's name");
    }
    slavePath_ = name;
    if (fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK) != 0) {
        return Fail(L"make the pseudo-terminal non-blocking");
    }
    return VLR_SUCCESS;
}

VlrRetVal PseudoTerminal::OpenSlave() {
    slave_ = open(slavePath_.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slave_ < 0) {
        return Fail(L"open " + NarrowToWide(slavePath_.native()));
    }
    termios settings{};
    if (tcgetattr(slave_, &settings) != 0) {
        return Fail(L"read the line settings of " + NarrowToWide(slavePath_.native()));
    }
    cfmakeraw(&settings);
    cfsetispeed(&settings, B9600);
    cfsetospeed(&settings, B9600);
    if (tcsetattr(slave_, TCSANOW, &settings) != 0) {
        return Fail(L"set " + NarrowToWide(slavePath_.native()) + L" raw");
    }
    return VLR_SUCCESS;
}

VlrRetVal PseudoTerminal::Fail(const std::wstring& step) {
    const std::wstring reason = NarrowToWide(std::strerror(errno));
    if (log_ != nullptr) {
        log_->WriteMessage(LogLevel::Error, L"PseudoTerminal::Open() - Error, unable to " + step +
                                                L": " + reason + L".");
    }
    return VLR_FAILURE;
}

void PseudoTerminal::Hangup() {
    CloseDescriptor(watch_);
    CloseDescriptor(slave_);
    CloseDescriptor(master_);
}

void PseudoTerminal::Close() {
    Hangup();
    CloseDescriptor(interruptRead_);
    CloseDescriptor(interruptWrite_);
    slavePath_.clear();
}

PseudoTerminal::WaitResult PseudoTerminal::WaitForInput(
    std::optional<std::chrono::nanoseconds> limit) {
    timespec time{};
    if (limit) {
        time = ToTimespec(std::max(*limit, std::chrono::nanoseconds::zero()));
    }
    const int events =
        PollWithInterrupt(master_, POLLIN, interruptRead_, limit ? &time : nullptr, watch_);
    if (events < 0) {
        return WaitResult::Interrupted;
    }
    if (events == 0) {
        return WaitResult::TimedOut;
    }
    if ((events & kWatchReady) != 0) {
        return WaitResult::ClientsChanged;
    }
    return (events & POLLIN) != 0 ? WaitResult::Readable : WaitResult::Failed;
}

PseudoTerminal::ClientChanges PseudoTerminal::TakeClientChanges() {
    ClientChanges changes;
    alignas(inotify_event) char buffer[4096];
    for (ssize_t count; watch_ >= 0 && (count = read(watch_, buffer, sizeof buffer)) > 0;) {
        for (ssize_t at = 0; at < count;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
            if ((event->mask & (IN_OPEN | IN_CLOSE)) != 0) {
                changes.push_back((event->mask & IN_OPEN) != 0);
            }
            at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
        }
    }
    return changes;
}

std::vector<std::uint8_t> PseudoTerminal::ForgetClient(bool nobodyLeft) {
    std::vector<std::uint8_t> unread;
    if (slave_ < 0) {
        return unread;
    }
    tcflush(slave_, TCIFLUSH);
    ioctl(slave_, TIOCNXCL);
    if (!nobodyLeft) {
        return unread;
    }
    std::uint8_t chunk[4096];
    for (ssize_t count; (count = read(master_, chunk, sizeof chunk)) > 0;) {
        unread.insert(unread.end(), chunk, chunk + count);
    }
    // A client's open is queued on the watch before its open() returns, so before its first
    // byte: with no open pending now, every byte just read came from the one that left.
    if (!ClientChangePending()) {
        unread.clear();
    }
    return unread;
}

bool PseudoTerminal::ClientChangePending() const {
    int queued = 0;
    return watch_ >= 0 && ioctl(watch_, FIONREAD, &queued) == 0 && queued > 0;
}

long PseudoTerminal::Read(std::uint8_t* buffer, std::size_t capacity) {
    const ssize_t count = read(master_, buffer, capacity);
    if (count < 0) {
        return (errno == EAGAIN || errno == EINTR) ? 0 : -1;
    }
    return static_cast<long>(count);
}

bool PseudoTerminal::Write(const std::uint8_t* bytes, std::size_t count,
                           std::chrono::nanoseconds spacing) {
    if (spacing.count() <= 0) {
        return WriteNow(bytes, count);
    }
    // Each byte has its due time from the start, so pauses do not add up to a slower line.
    const auto start = std::chrono::steady_clock::now();
    for (std::size_t i = 0; i < count; ++i) {
        const auto due = start + spacing * static_cast<long>(i);
        const auto wait = due - std::chrono::steady_clock::now();
        if ((wait.count() > 0 && !Pause(wait)) || !WriteNow(bytes + i, 1)) {
            return false;
        }
    }
    return true;
}

bool PseudoTerminal::WriteNow(const std::uint8_t* bytes, std::size_t count) {
    std::size_t written = 0;
    while (written < count) {
        const ssize_t result = write(master_, bytes + written, count - written);
        if (result > 0) {
            written += static_cast<std::size_t>(result);
        } else if (result < 0 && errno != EAGAIN && errno != EINTR) {
            return false;
        } else if (!WaitWritable()) {
            return false;
        }
    }
    return true;
}

bool PseudoTerminal::WaitWritable() {
    const int events = PollWithInterrupt(master_, POLLOUT, interruptRead_, nullptr);
    return events > 0 && (events & POLLOUT) != 0;
}

bool PseudoTerminal::Pause(std::chrono::nanoseconds duration) {
    const timespec time = ToTimespec(duration);
    return PollWithInterrupt(-1, 0, interruptRead_, &time) == 0;
}

void PseudoTerminal::Interrupt() {
    if (interruptWrite_ >= 0) {
        const std::uint8_t wake = 1;
        [[maybe_unused]] const ssize_t ignored = write(interruptWrite_, &wake, 1);
    }
}
