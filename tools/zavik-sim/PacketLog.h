#pragma once

#include <chrono>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <string>

#include "foundation/VlrDataTypes.h"

class LogFile;

// Where the emulator's one-line packet descriptions and notes (clients coming and going, bytes
// dropped, sequences starting and ending) go, each after the seconds since Open(): a stream (the
// console with --verbose) and/or a file that is appended to and flushed line by line, so it is
// complete whenever a script looks at it.
class PacketLog {
  public:
    explicit PacketLog(LogFile* log = nullptr);

    // Either may be absent (null stream, empty path).
    VlrDataTypes::VlrRetVal Open(std::ostream* echo, const std::filesystem::path& file);
    void Write(const std::wstring& line);
    // False when lines have nowhere to go, so that the caller need not compose them.
    bool IsOpen() const { return echo_ != nullptr || file_.is_open(); }
    void Close();

  private:
    LogFile* log_ = nullptr;
    std::ostream* echo_ = nullptr;
    std::ofstream file_;
    std::chrono::steady_clock::time_point start_;
};
