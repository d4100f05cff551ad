#pragma once

// SIGTERM and SIGINT turned into a readable file descriptor (the self-pipe trick), so an event
// loop can end the program the same way its Close does. One per process.
namespace SignalPipe {

// Installs the handlers; the descriptor becomes readable when a signal arrived. -1 on failure.
int Install();
// Reads what the signals wrote, so the descriptor is quiet again.
void Drain(int descriptor);

}  // namespace SignalPipe
