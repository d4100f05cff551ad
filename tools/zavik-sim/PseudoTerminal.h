#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <vector>

#include "foundation/VlrDataTypes.h"

class LogFile;

// The emulator's end of a pseudo-terminal pair; clients open the other end (the slave path)
// like any serial device. The slave is set raw so the line discipline never alters a byte, and
// the emulator keeps it open itself, so a client closing and reopening it does not hang up the
// line. Every wait can be cut short from another thread with Interrupt().
class PseudoTerminal {
  public:
    enum class WaitResult { Readable, ClientsChanged, TimedOut, Interrupted, Failed };
    // Clients that opened (true) and closed (false) the tty since the last look, in order.
    using ClientChanges = std::vector<bool>;

    explicit PseudoTerminal(LogFile* log = nullptr);
    ~PseudoTerminal();
    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;

    VlrDataTypes::VlrRetVal Open();
    // Closes both ends, so clients see the line hang up; the interrupt channel stays usable.
    void Hangup();
    // Hangup and release everything.
    void Close();

    bool IsOpen() const { return master_ >= 0; }
    const std::filesystem::path& SlavePath() const { return slavePath_; }

    // Waits until bytes can be read, a client opens or closes the tty, the limit passes (none =
    // no limit) or an interrupt. Client changes are reported first.
    WaitResult WaitForInput(std::optional<std::chrono::nanoseconds> limit);
    ClientChanges TakeClientChanges();
    // After a client went away: what was meant for it and never read is dropped, and the tty
    // leaves exclusive mode (a client killed while holding it would otherwise lock every later
    // one out). When nobody is left, what it sent and was not yet read is dropped too, unless a
    // client opened meanwhile: then the unread bytes may be the new client's first command, and
    // they are returned to be handled instead of dropped.
    std::vector<std::uint8_t> ForgetClient(bool nobodyLeft);
    // Reads what is there, up to capacity: the count, 0 for nothing, -1 on failure.
    long Read(std::uint8_t* buffer, std::size_t capacity);
    // Writes every byte, each one spacing after the one before (zero = all at once). False when
    // interrupted or the line failed.
    bool Write(const std::uint8_t* bytes, std::size_t count, std::chrono::nanoseconds spacing);
    // Sleeps for the duration; false when interrupted.
    bool Pause(std::chrono::nanoseconds duration);

    // Makes the current and every later wait return at once, until the next Open().
    void Interrupt();

  private:
    bool ClientChangePending() const;
    VlrDataTypes::VlrRetVal OpenMaster();
    VlrDataTypes::VlrRetVal OpenSlave();
    VlrDataTypes::VlrRetVal OpenInterruptChannel();
    VlrDataTypes::VlrRetVal OpenWatch();
    VlrDataTypes::VlrRetVal Fail(const std::wstring& step);
    bool WaitWritable();
    bool WriteNow(const std::uint8_t* bytes, std::size_t count);

    LogFile* log_ = nullptr;
    int master_ = -1;
    int slave_ = -1;
    int interruptRead_ = -1;
    int interruptWrite_ = -1;
    int watch_ = -1;  // inotify: clients opening and closing the slave
    std::filesystem::path slavePath_;
};
