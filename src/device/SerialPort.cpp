#include "device/SerialPort.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>

#include "device/PortDirectory.h"
#include "device/platform/SerialLine.h"
#include "foundation/LogFile.h"

using VlrDataTypes::VLR_FAILURE;
using VlrDataTypes::VLR_SUCCESS;
using VlrDataTypes::VlrRetVal;

namespace {

using Clock = std::chrono::steady_clock;

// Outcomes of one wait for bytes other than an error number (which are positive).
constexpr int kReceived = -1;
constexpr int kNothingYet = -2;
constexpr int kTimedOut = -3;
constexpr int kAborted = -4;

// How long a read still waits for the device once the program is asked to exit.
constexpr std::chrono::milliseconds kExitGrace{500};

std::wstring ErrorNumber(int error) {
    return std::to_wstring(static_cast<unsigned>(error));
}

// A poll() time-out for the time left until the deadline, rounded up so that a call never
// returns just before its deadline and spins.
int PollMilliseconds(Clock::time_point deadline) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
    return static_cast<int>(std::clamp<std::chrono::milliseconds::rep>(left.count(), 0, INT_MAX));
}

// The line hung up: a hung-up tty reads as end of file, as a silent one does after its tick.
bool HungUp(int handle) {
    pollfd request{handle, POLLIN, 0};
    return poll(&request, 1, 0) > 0 && (request.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
}

}  // namespace

SerialPort::SerialPort(LogFile* log) : log_(log) {}

// The descriptor is released without a message: the log may already be gone at this point.
SerialPort::~SerialPort() {
    if (handle_ >= 0) {
        SerialLine::ReleaseAndClose(handle_);
    }
}

VlrRetVal SerialPort::Open(int portNumber) {
    return open_ ? VLR_SUCCESS : Open(portNumber, PortDirectory::DevicePathForPort(portNumber));
}

VlrRetVal SerialPort::Open(int portNumber, const std::filesystem::path& path) {
    if (open_) {
        return VLR_SUCCESS;
    }
    path_ = path;
    const std::wstring name =
        L"COM" + std::to_wstring(portNumber) + L" (" + PortDirectory::PathText(path) + L")";

    int handle = -1;
    const int error = SerialLine::OpenExclusive(path, handle);
    lastOpenFoundPortInUse_ = error == EBUSY;
    lastOpenLackedPermission_ = error == EACCES;
    if (error != 0) {
        LogError(L"Error(" + ErrorNumber(error) + L") creating serial port interface on " + name +
                 L", an invalid handle to the device was returned.");
        return VLR_FAILURE;
    }

    handle_ = handle;
    open_ = true;
    gaveUpOnExit_ = false;
    name_ = name;
    Log(LogLevel::Notice, L"Serial port connection created successfully on " + name + L".");

    // A tty has no settable driver queue sizes, so the queue step has nothing to do. The read
    // time-outs need no setting either: Read applies them itself with poll().
    if (ApplyLineSettings() != VLR_SUCCESS) {
        Close();
        return VLR_FAILURE;
    }
    return VLR_SUCCESS;
}

VlrRetVal SerialPort::ApplyLineSettings() {
    SerialLine::SetupStep failedStep = SerialLine::SetupStep::GetState;
    const int error = SerialLine::ApplyLineSettings(handle_, failedStep);
    if (error == 0) {
        return VLR_SUCCESS;
    }
    LogError(L"Error(" + ErrorNumber(error) +
             (failedStep == SerialLine::SetupStep::GetState ? L") getting serial COM state."
                                                            : L") setting serial COM state."));
    return VLR_FAILURE;
}

void SerialPort::Close() {
    if (!open_ || handle_ < 0) {
        return;
    }
    SerialLine::ReleaseAndClose(handle_);
    handle_ = -1;
    open_ = false;
    bufferedBegin_ = bufferedEnd_ = 0;
    name_.clear();
    Log(LogLevel::Notice, L"Serial connection closed.");
}

VlrRetVal SerialPort::Write(const std::uint8_t* bytes, std::uint32_t count) {
    if (!open_ || handle_ < 0) {
        return VLR_FAILURE;
    }
    // Asked to exit: no new transaction begins (the program takes the request before its stop).
    if (pollfd request{abort_, POLLIN, 0}; abort_ >= 0 && poll(&request, 1, 0) > 0) {
        LogError(L"Error writing data to device, interrupted by a request to exit.");
        return VLR_FAILURE;
    }
    std::uint32_t written = 0;
    while (written < count) {
        const ssize_t result = write(handle_, bytes + written, count - written);
        if (result > 0) {
            written += static_cast<std::uint32_t>(result);
        } else if (result == 0) {
            break;
        } else if (errno == EAGAIN) {
            const int error = WaitUntilWritable();
            if (error != 0) {
                return LogWriteError(error, count);
            }
        } else if (errno != EINTR) {
            return LogWriteError(errno, count);
        }
    }
    if (written != count) {
        LogError(L"Error writing data to device, the number of bytes written(" +
                 std::to_wstring(written) +
                 L") did name match the number of bytes we needed to write(" +
                 std::to_wstring(count) + L").");
        return VLR_FAILURE;
    }
    return VLR_SUCCESS;
}

// Writes have no time-out of their own (the driver's default): a blocking write waits as long as
// the device does not take the bytes, unless the line hangs up; so does this, should a write
// ever find the descriptor full without blocking.
int SerialPort::WaitUntilWritable() const {
    pollfd requests[2]{{handle_, POLLOUT, 0}, {abort_, POLLIN, 0}};
    while (true) {
        const int ready = poll(requests, abort_ >= 0 ? 2 : 1, -1);
        if (ready < 0 && errno == EINTR) {
            continue;
        }
        if (ready < 0) {
            return errno;
        }
        if ((requests[0].revents & POLLOUT) != 0) {
            return 0;
        }
        if (requests[0].revents == 0) {
            return EINTR;
        }
        return (requests[0].revents & POLLNVAL) != 0 ? EBADF : EIO;
    }
}

VlrRetVal SerialPort::LogWriteError(int error, std::uint32_t count) {
    LogError(L"Error(" + ErrorNumber(error) + L") writing data to device. Byte Count: " +
             std::to_wstring(count) + L".");
    return VLR_FAILURE;
}

// One deadline bounds the whole read: 300000 ms plus 10 ms per requested byte from the call,
// and once bytes have come, at most the interval after the latest. A device trickling bytes
// cannot stretch a read beyond it, and a read never waits in the kernel without a time-out.
VlrRetVal SerialPort::Read(std::uint8_t* destination, std::uint32_t count) {
    if (!open_ || handle_ < 0) {
        return VLR_FAILURE;
    }
    Clock::time_point readEnd =
        Clock::now() + timeouts_.totalConstant + timeouts_.totalPerByte * count;
    Clock::time_point deadline = readEnd;
    bool exiting = false;
    std::uint32_t received = TakeBuffered(destination, count);
    while (received < count) {
        const int outcome = ReadBeforeDeadline(deadline, exiting ? -1 : abort_);
        if (outcome == kAborted) {
            // The answer of a device that is there comes within the grace, so the transaction
            // completes; a silent device is given up then.
            exiting = true;
            readEnd = std::min(readEnd, Clock::now() + kExitGrace);
            deadline = std::min(deadline, readEnd);
            continue;
        }
        if (outcome == kTimedOut && exiting) {
            gaveUpOnExit_ = true;
            LogError(L"Error reading data from device, interrupted by a request to exit.");
            return VLR_FAILURE;
        }
        if (outcome == kTimedOut) {
            LogError(
                L"Error reading data from device, the timeout has expired without receiving any "
                L"data.");
            return VLR_FAILURE;
        }
        if (outcome == kReceived) {
            received += TakeBuffered(destination + received, count - received);
            deadline = std::min(readEnd, Clock::now() + timeouts_.interval);
        } else if (outcome != kNothingYet) {
            LogError(L"Error(" + ErrorNumber(outcome) +
                     L") reading data from device. Byte Count: " + std::to_wstring(count) + L".");
            return VLR_FAILURE;
        }
    }
    gaveUpOnExit_ = false;
    return VLR_SUCCESS;
}

std::uint32_t SerialPort::TakeBuffered(std::uint8_t* destination, std::uint32_t count) {
    const std::uint32_t taken = std::min(count, bufferedEnd_ - bufferedBegin_);
    std::copy_n(buffer_.begin() + bufferedBegin_, taken, destination);
    bufferedBegin_ += taken;
    if (bufferedBegin_ == bufferedEnd_) {
        bufferedBegin_ = bufferedEnd_ = 0;
    }
    return taken;
}

// Waits with poll() until bytes arrive or the deadline passes, then reads what is there into
// the buffer. Bytes already waiting are taken even when the time is up: the descriptor is tried
// at least once. A hang-up is a failure (EIO), not a silence. A request to exit ends the wait,
// but bytes that came meanwhile are still taken, so an answer that is there counts.
int SerialPort::ReadBeforeDeadline(Clock::time_point deadline, int abort) {
    pollfd requests[2]{{handle_, POLLIN, 0}, {abort, POLLIN, 0}};
    const pollfd& request = requests[0];
    const int ready = poll(requests, abort >= 0 ? 2 : 1, PollMilliseconds(deadline));
    if (ready < 0) {
        return errno == EINTR ? kNothingYet : errno;
    }
    if (request.revents == 0) {
        if (ready > 0) {
            return kAborted;
        }
        return Clock::now() >= deadline ? kTimedOut : kNothingYet;
    }
    if ((request.revents & POLLNVAL) != 0) {
        return EBADF;
    }
    if ((request.revents & POLLIN) == 0) {
        return EIO;
    }
    const ssize_t result =
        read(handle_, buffer_.data() + bufferedEnd_, buffer_.size() - bufferedEnd_);
    if (result > 0) {
        bufferedEnd_ += static_cast<std::uint32_t>(result);
        return kReceived;
    }
    if (result == 0) {
        return HungUp(handle_) ? EIO : kNothingYet;
    }
    return errno == EINTR || errno == EAGAIN ? kNothingYet : errno;
}

bool SerialPort::HasHungUp() const {
    return open_ && handle_ >= 0 && HungUp(handle_);
}

void SerialPort::DiscardInput() {
    if (open_ && handle_ >= 0) {
        SerialLine::DiscardInput(handle_);
    }
    bufferedBegin_ = bufferedEnd_ = 0;
}

void SerialPort::LogError(const std::wstring& message) {
    Log(LogLevel::Error, message);
}

void SerialPort::Log(LogLevel level, const std::wstring& message) {
    if (log_ != nullptr) {
        log_->WriteMessage(level, message);
    }
}
