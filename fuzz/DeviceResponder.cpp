#include "DeviceResponder.h"

#include <chrono>
#include <utility>

#include "foundation/VlrDataTypes.h"

namespace {

// Only a bound for a connection that never sends; a command arrives within microseconds.
constexpr std::chrono::milliseconds kCommandPatience{2000};

}  // namespace

DeviceResponder::~DeviceResponder() {
    Finish();
}

bool DeviceResponder::Open() {
    return terminal_.Open() == VlrDataTypes::VLR_SUCCESS;
}

void DeviceResponder::Answer(std::size_t commandSize, std::vector<std::uint8_t> answer) {
    Finish();
    answer_ = std::move(answer);
    commandArrived_ = false;
    thread_ = std::thread([this, commandSize] { Respond(commandSize); });
}

bool DeviceResponder::Finish() {
    if (thread_.joinable()) {
        thread_.join();
    }
    return commandArrived_;
}

void DeviceResponder::Respond(std::size_t commandSize) {
    commandArrived_ = ReadCommand(commandSize);
    if (commandArrived_ && !answer_.empty()) {
        terminal_.Write(answer_.data(), answer_.size(), std::chrono::nanoseconds::zero());
    }
}

bool DeviceResponder::ReadCommand(std::size_t commandSize) {
    std::vector<std::uint8_t> command(commandSize);
    std::size_t received = 0;
    while (received < commandSize) {
        const PseudoTerminal::WaitResult result = terminal_.WaitForInput(kCommandPatience);
        if (result == PseudoTerminal::WaitResult::ClientsChanged) {
            terminal_.TakeClientChanges();  // the client opening the port is no command
            continue;
        }
        if (result != PseudoTerminal::WaitResult::Readable) {
            return false;
        }
        const long count = terminal_.Read(command.data() + received, commandSize - received);
        if (count < 0) {
            return false;
        }
        received += static_cast<std::size_t>(count);
    }
    return true;
}
