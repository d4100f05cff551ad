#pragma once

#include <sys/types.h>

#include <filesystem>

// The operating system's side of SerialPort, one implementation per platform: taking a tty for
// this process alone, its line settings, and letting it go. SerialPort keeps the messages, the
// time-outs and the reads and writes on the handle. Failures are error numbers (errno values).
namespace SerialLine {

// Only a device of the system's (a serial adapter belongs to root) or of the user's own (the
// emulator's pty) can be the driver: another user's pty would be a device that they answer for.
bool IsTrustedOwner(uid_t owner);

// Opens the tty for reading and writing without waiting for a carrier, held by this process
// alone. 0 with the handle set, or the error number: EBUSY when another program holds it,
// ENOTTY when the path names no terminal device, EACCES when the terminal is another user's.
int OpenExclusive(const std::filesystem::path& path, int& handle);

// Which step of applying the line settings failed.
enum class SetupStep { GetState, SetState };

// Sets the open line raw to 9600 baud 8N1 with reads that return at once, and makes the handle
// blocking. 0, or the error number with the step that failed.
int ApplyLineSettings(int handle, SetupStep& failedStep);

// Drops what the line received that no read has taken.
void DiscardInput(int handle);

// Gives up the exclusive hold and closes the handle.
void ReleaseAndClose(int handle);

}  // namespace SerialLine
