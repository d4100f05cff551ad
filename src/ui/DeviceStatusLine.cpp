#include "ui/DeviceStatusLine.h"

#include <algorithm>

#include "foundation/TextConversion.h"

namespace {

std::wstring StateText(const StatusLineState& status) {
    if (status.connecting) {
        return L"Connecting";
    }
    if (!status.connected) {
        return status.error.empty() ? L"Disconnected" : L"Error: " + status.error;
    }
    if (status.runningSequence) {
        // Tenths of a second, rounded up, so the last shown value before the end is 0.1 s.
        const std::int64_t tenths = (std::max<std::int64_t>(status.runLeftMs, 0) + 99) / 100;
        return L"Running sequence " + std::to_wstring(*status.runningSequence) + L", " +
               FixedText(static_cast<double>(tenths) / 10.0, 1) + L" s left";
    }
    if (status.uploadCount > 0) {
        return L"Uploading " + std::to_wstring(status.uploadSequence) + L"/" +
               std::to_wstring(status.uploadCount);
    }
    return L"Connected";
}

}  // namespace

std::wstring DeviceStatusLine(const StatusLineState& status) {
    std::wstring line = StateText(status);
    if (status.connected && !status.connecting) {
        line += L" | " + status.port;
        if (!status.firmware.empty()) {
            line += L" | Firmware " + status.firmware;
        }
    }
    if (status.simulated && status.connected) {
        line += L" | SIMULATED";
    }
    // A new operator meets greyed panels first: the line says what ends that.
    if (!status.connected && !status.connecting && status.connectKeys) {
        line += L" | To connect: Connection > Connect To Zavik Driver";
        if (!status.connectKeys->empty()) {
            line += L" (" + *status.connectKeys + L")";
        }
    }
    return line;
}
