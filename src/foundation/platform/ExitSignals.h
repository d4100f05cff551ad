#pragma once

#include <chrono>
#include <cstdint>

// SIGINT, SIGTERM and SIGHUP as events a program waits for, instead of handlers that interrupt it
// in the middle of a device transaction: once blocked they stay pending until the program looks, so
// it can finish what it is doing (send the stop, remove its registration) before it exits.
namespace ExitSignals {

// Holds the signals back in the calling thread and every thread it starts afterwards; call
// before starting threads or touching the device.
void Block();

// True when one arrived (already pending, or within the limit); it is consumed. Another signal
// may end the wait early, so callers measure the time themselves and wait again.
bool WaitFor(std::chrono::milliseconds limit);

// A descriptor that is readable while one of the blocked signals is pending, for an event loop or
// a blocking wait to watch beside its own (reading it is not needed: WaitFor consumes the
// signal). Made on the first call; -1 when the system cannot make one.
int Descriptor();

// True while one of the blocked signals waits to be taken (it is not consumed): a long loop of
// the core (reading a file, timing, a timeline) stops early when it is, so that the program ends
// within a second. Always false where the signals are not blocked (the window handles them).
bool Pending();

// Pending() costs a system call; a loop asks it once every so many turns (a line of a file
// takes at most a few milliseconds, a turn of the tight loops well under one).
class Poll {
  public:
    bool Requested() { return ++turns_ % kTurns == 0 && Pending(); }

  private:
    static constexpr std::uint32_t kTurns = 64;
    std::uint32_t turns_ = 0;
};

}  // namespace ExitSignals
