#pragma once

#include <string>
#include <vector>

// Everything the window enables or shows on its toggles follows from this state alone, so no
// event (a reconnect, a late timer) can leave a control enabled that the state forbids.
struct WindowState {
    // The start-up ran to its end and the pages are wired to the core.
    bool wired = false;
    bool connected = false;
    // A device operation runs on the worker thread.
    bool busy = false;
    // The panel whose pulse train runs, or -1.
    int pulsingPanel = -1;
    // Per LED panel: its output is on.
    std::vector<bool> ledOn;
    // The sequences are being uploaded: they must not change meanwhile.
    bool uploading = false;
};

// One LED panel: which controls are enabled, and what its two toggles show.
struct PanelView {
    bool slider = false;
    bool intensity = false;
    bool ledToggle = false;
    bool pulseEdits = false;  // width on, width off, loop count
    bool pulseToggle = false;
    bool ledToggleChecked = false;
    bool pulseToggleChecked = false;
    std::wstring ledToggleText;
    std::wstring pulseToggleText;
};

struct WindowView {
    std::wstring title;
    bool connect = false;
    bool disconnect = false;
    // Open and Save Settings File, Clear Message Log.
    bool fileCommands = false;
    // The tabs: still while an upload reads the sequences (its progress box is not modal).
    bool pages = false;
    // "Stop All": whenever connected, busy or not, so that a stop never waits for an enable.
    bool stopAll = false;
    // Exit and About are always available.
    std::vector<PanelView> panels;
};

WindowView ComputeWindowView(const WindowState& state);
