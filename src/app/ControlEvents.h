#pragma once

#include <functional>
#include <map>
#include <mutex>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>

#include "foundation/TimeOfDay.h"

// Who made a change happen, as every event and every run's record of the delivered stimulus
// says it: a lab reconstructing a session must know which program switched the light.
struct ControlCause {
    enum class Kind { Window, Script, CommandLine };

    Kind kind = Kind::Window;
    // The client's process, for a script or a forwarded command.
    std::optional<int> pid;

    static ControlCause Window() { return {Kind::Window, std::nullopt}; }
    static ControlCause CommandLine(std::optional<int> pid = std::nullopt) {
        return {Kind::CommandLine, pid};
    }
    static ControlCause Script(int pid) { return {Kind::Script, pid}; }

    // "window", "script" or "ostra-cli".
    std::string Name() const;
    // "script (process 4711)", as a record names it.
    std::wstring Description() const;
    // "by" and, when known, "pid".
    void AddTo(nlohmann::ordered_json& fields) const;
};

// One event line: {"event": name, "time": "2026-12-07T09:05:03.120", fields...}.
struct ControlEvent {
    std::string name;
    LocalTime time;
    nlohmann::ordered_json fields = nlohmann::ordered_json::object();
};

std::string EventLine(const ControlEvent& event);
// "2026-12-07T09:05:03.120"
std::string IsoLocalTime(const LocalTime& time);

// The fan-out of events to whoever listens (the socket's subscribers, a window). Listeners are
// called on the publishing thread under the list's lock, so they must only hand the event on
// (post it to their own thread) and never add or remove listeners from inside the call.
class ControlEvents {
  public:
    using Listener = std::function<void(const ControlEvent&)>;

    int Add(Listener listener);
    // After it returns the listener is not called again.
    void Remove(int id);
    void Publish(const ControlEvent& event);

  private:
    std::mutex mutex_;
    std::map<int, Listener> listeners_;
    int nextId_ = 1;
};
