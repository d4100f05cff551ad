#pragma once

// The exit statuses of ostra-cli, documented in its --help and in the README. Scripts branch on
// them, so the numbers never change.
namespace ExitCode {

inline constexpr int kSuccess = 0;
// The setup file or the data directory failed at start-up (the application core's exit path).
inline constexpr int kStartupFailure = 1;
// The command line itself is wrong.
inline constexpr int kUsage = 2;
// A bad file line, an out-of-range value, an unknown label or sequence, a file that cannot be
// read or written.
inline constexpr int kValidation = 3;
// Connecting failed, or the device refused a command or did not answer.
inline constexpr int kDevice = 4;
// SIGINT or SIGTERM ended a run; the stop was sent first.
inline constexpr int kInterrupted = 5;

}  // namespace ExitCode
