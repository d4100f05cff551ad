#pragma once

#include <cstddef>
#include <cstdint>
#include <thread>
#include <vector>

// The floor under every device transaction: a pseudo-terminal whose master end is served by a
// thread that reads a request of a fixed size and at once writes back a response of a fixed
// size, and nothing else. The client end is set raw like the serial line and used with plain
// blocking write and read calls.
class PtyEchoPeer {
  public:
    PtyEchoPeer(std::size_t requestSize, std::size_t responseSize);
    ~PtyEchoPeer();
    PtyEchoPeer(const PtyEchoPeer&) = delete;
    PtyEchoPeer& operator=(const PtyEchoPeer&) = delete;

    bool IsOpen() const { return slave_ >= 0; }
    // Writes the request, then reads until the whole response is in. False on any failure.
    bool RoundTrip();

  private:
    bool Open();
    void Serve();

    int master_ = -1;
    int slave_ = -1;
    std::vector<std::uint8_t> request_;
    std::vector<std::uint8_t> response_;
    std::vector<std::uint8_t> answer_;
    std::thread peer_;
};
