#pragma once

#include <chrono>
#include <filesystem>

#include "support/HexBytes.h"

// The PC's end of the emulated line: the tty opened raw, as a serial port would be. Reads give
// up after a generous limit so that a missing byte fails a test instead of hanging it.
class PtyClient {
  public:
    static constexpr std::chrono::milliseconds kPatience{5000};

    // makeRaw false leaves the line settings as the device side made them.
    explicit PtyClient(const std::filesystem::path& path, bool makeRaw = true);
    ~PtyClient();
    PtyClient(const PtyClient&) = delete;
    PtyClient& operator=(const PtyClient&) = delete;

    bool IsOpen() const { return handle_ >= 0; }
    int Handle() const { return handle_; }
    void Close();

    bool Write(const Bytes& bytes);
    // Exactly count bytes, or fewer when none came for the limit or the line hung up.
    Bytes Read(std::size_t count, std::chrono::milliseconds limit = kPatience);
    // One response packet, sized by its header: 4 + size + 2 bytes.
    Bytes ReadResponse();
    Bytes Exchange(const Bytes& command);
    // True when the line reports a hangup (the device was unplugged).
    bool SeesHangup();

  private:
    int handle_ = -1;
};
