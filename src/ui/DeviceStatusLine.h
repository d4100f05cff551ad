#pragma once

#include <cstdint>
#include <optional>
#include <string>

// What the window's status line knows of the device.
struct StatusLineState {
    bool connecting = false;
    bool connected = false;
    // Sequence n of m is being uploaded (n counts from 1); 0 of 0 while no upload runs.
    int uploadSequence = 0;
    int uploadCount = 0;
    // The sequence that runs and the milliseconds it has left.
    std::optional<std::uint32_t> runningSequence;
    std::int64_t runLeftMs = 0;
    // Why the last connection failed or ended; shown while disconnected.
    std::wstring error;
    // "COM6 (/dev/ttyACM6)" and the firmware version, while connected.
    std::wstring port;
    std::wstring firmware;
    // The port is an emulator's registration.
    bool simulated = false;
    // The keys of Connect ("Ctrl+K"), while the operator may connect; none hides the hint.
    std::optional<std::wstring> connectKeys;
};

// "Running sequence 3, 12.5 s left | COM6 (/dev/ttyACM6) | Firmware 1.00 | SIMULATED": the
// state first (Disconnected, Connecting, Connected, Uploading n/m, Running sequence N, Error),
// then what identifies the device. While disconnected it says how to connect instead.
std::wstring DeviceStatusLine(const StatusLineState& status);
