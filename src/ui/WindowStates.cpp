#include "ui/WindowStates.h"

#include <cstddef>

WindowView ComputeWindowView(const WindowState& state) {
    WindowView view;
    view.title = state.connected ? L"Ostra - Connected To Zavik Driver"
                                 : L"Ostra - Disconnected From Zavik Driver";
    const bool idle = state.wired && !state.busy;
    view.connect = idle && !state.connected;
    view.disconnect = idle && state.connected;
    view.fileCommands = idle;
    view.pages = state.wired && !state.uploading;
    view.stopAll = state.wired && state.connected;
    const bool deviceIdle = idle && state.connected;
    for (std::size_t index = 0; index < state.ledOn.size(); ++index) {
        const bool on = state.ledOn[index];
        const bool pulsing = state.pulsingPanel == static_cast<int>(index);
        // One panel pulses at a time: a train locks every other panel.
        const bool open = deviceIdle && (state.pulsingPanel < 0 || pulsing);
        PanelView panel;
        panel.slider = open;
        panel.intensity = open;
        panel.ledToggle = open && !pulsing;
        panel.pulseEdits = open && !pulsing;
        panel.pulseToggle = open && !on;
        panel.ledToggleChecked = on;
        panel.pulseToggleChecked = pulsing;
        panel.ledToggleText = on ? L"Turn LED Off" : L"Turn LED On";
        panel.pulseToggleText = pulsing ? L"Stop Pulse" : L"Start Pulse";
        view.panels.push_back(panel);
    }
    return view;
}
