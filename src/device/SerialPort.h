#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <string>

#include "foundation/LogLevel.h"
#include "foundation/VlrDataTypes.h"

class LogFile;

// Read time-outs of the line. The program uses the defaults; tests of a silent device shorten
// them so they take milliseconds.
struct SerialTimeouts {
    // Longest gap between two bytes once the first byte of a read has arrived.
    std::chrono::milliseconds interval{4000};
    // Total time of one read, however the bytes arrive: constant part plus a part per
    // requested byte.
    std::chrono::milliseconds totalConstant{300000};
    std::chrono::milliseconds totalPerByte{10};
};

// The byte pipe to the LED driver: a tty opened by port number (see PortDirectory for the
// number-to-path rule), set raw to 9600 baud 8N1, held exclusively while open, read and
// written synchronously. Its open flag is the system's notion of "connected".
class SerialPort {
  public:
    explicit SerialPort(LogFile* log = nullptr);
    ~SerialPort();
    SerialPort(const SerialPort&) = delete;
    SerialPort& operator=(const SerialPort&) = delete;

    void SetLogFile(LogFile* log) { log_ = log; }
    void SetTimeouts(const SerialTimeouts& timeouts) { timeouts_ = timeouts; }
    // A descriptor that becomes readable when the program is asked to exit (-1: none). While it
    // is, no write begins, and a read waits at most a short grace for the device instead of its
    // time-out: the current transaction completes if the device answers, and a silent device
    // does not hold the program.
    void SetAbortDescriptor(int descriptor) { abort_ = descriptor; }

    // The tty that the port number names (PortDirectory), or the one given: discovery may have
    // found the device at one of several entries of that number.
    VlrDataTypes::VlrRetVal Open(int portNumber);
    VlrDataTypes::VlrRetVal Open(int portNumber, const std::filesystem::path& path);
    void Close();
    VlrDataTypes::VlrRetVal Write(const std::uint8_t* bytes, std::uint32_t count);
    VlrDataTypes::VlrRetVal Read(std::uint8_t* destination, std::uint32_t count);
    // Drops bytes that arrived but were never read (a response cut off by a time-out).
    void DiscardInput();
    // True when bytes read from the line wait for a Read to take them.
    bool HasBufferedInput() const { return bufferedEnd_ > bufferedBegin_; }
    bool IsOpen() const { return open_; }
    // The name used in messages, e.g. "COM4 (/dev/ttyACM4)"; empty while closed.
    const std::wstring& Name() const { return name_; }
    // The tty that the last Open tried.
    const std::filesystem::path& DevicePath() const { return path_; }
    // True when the last Open failed because another program holds the port, so that a front
    // end can say so instead of suggesting a wrong port number.
    bool LastOpenFoundPortInUse() const { return lastOpenFoundPortInUse_; }
    // True when the last Open was refused for lack of permission (the user may not open the
    // tty), so that a front end can say how to get it.
    bool LastOpenLackedPermission() const { return lastOpenLackedPermission_; }
    // True when the open line has hung up: the device was unplugged or the emulator ended.
    bool HasHungUp() const;
    // True when the latest read that ended was given up at a request to exit: the device did not
    // answer within the grace, so a stop sent now would wait for its full time-out.
    bool GaveUpOnExit() const { return gaveUpOnExit_; }

  private:
    VlrDataTypes::VlrRetVal ApplyLineSettings();
    // abort: a descriptor to watch beside the line, or -1.
    int ReadBeforeDeadline(std::chrono::steady_clock::time_point deadline, int abort);
    std::uint32_t TakeBuffered(std::uint8_t* destination, std::uint32_t count);
    int WaitUntilWritable() const;
    VlrDataTypes::VlrRetVal LogWriteError(int error, std::uint32_t count);
    void LogError(const std::wstring& message);
    void Log(LogLevel level, const std::wstring& message);

    LogFile* log_ = nullptr;
    int handle_ = -1;
    bool open_ = false;
    bool gaveUpOnExit_ = false;
    bool lastOpenFoundPortInUse_ = false;
    bool lastOpenLackedPermission_ = false;
    std::wstring name_;
    std::filesystem::path path_;
    int abort_ = -1;
    SerialTimeouts timeouts_;
    // Bytes read from the line that no Read has taken yet. A read takes all the descriptor holds,
    // so the header, data and footer of a response that arrived together cost one system call.
    // Large enough for the largest response.
    std::array<std::uint8_t, 2048> buffer_{};
    std::uint32_t bufferedBegin_ = 0;
    std::uint32_t bufferedEnd_ = 0;
};
