#pragma once

#include <chrono>

// SIGINT and SIGTERM as events a run waits for, instead of handlers that interrupt a device
// transaction half-way: once blocked they stay pending until the run looks, and the run then
// sends the stop before it exits. One implementation per platform.
namespace InterruptSignals {

// Holds both signals back from now on; call before the device is touched.
void Block();
// True when one arrived (now or within the limit); it is consumed.
bool WaitFor(std::chrono::milliseconds limit);

}  // namespace InterruptSignals
