#pragma once

#include <chrono>

// SIGINT and SIGTERM as events the program waits for, instead of handlers that interrupt it.
class ExitSignals {
  public:
    // Blocks both in the calling thread and in every thread it starts afterwards; call first.
    static void Block();
    // True when one arrived within the limit.
    static bool WaitFor(std::chrono::milliseconds limit);
};
