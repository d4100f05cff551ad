#include "app/ControlEvents.h"

#include <cstdio>
#include <utility>

#include "app/ControlProtocol.h"

std::string ControlCause::Name() const {
    switch (kind) {
        case Kind::Script:
            return "script";
        case Kind::CommandLine:
            return "ostra-cli";
        case Kind::Window:
            break;
    }
    return "window";
}

std::wstring ControlCause::Description() const {
    const std::string name = Name();
    std::wstring text(name.begin(), name.end());
    if (pid) {
        text += L" (process " + std::to_wstring(*pid) + L")";
    }
    return text;
}

void ControlCause::AddTo(nlohmann::ordered_json& fields) const {
    fields["by"] = Name();
    if (pid) {
        fields["pid"] = *pid;
    }
}

std::string IsoLocalTime(const LocalTime& time) {
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03d", time.year, time.month,
                  time.day, time.hour, time.minute, time.second, time.millisecond);
    return text;
}

std::string EventLine(const ControlEvent& event) {
    nlohmann::ordered_json line{{"event", event.name}, {"time", IsoLocalTime(event.time)}};
    for (const auto& [key, value] : event.fields.items()) {
        line[key] = value;
    }
    return ControlProtocol::Line(line);
}

int ControlEvents::Add(Listener listener) {
    const std::lock_guard lock(mutex_);
    listeners_.emplace(nextId_, std::move(listener));
    return nextId_++;
}

void ControlEvents::Remove(int id) {
    const std::lock_guard lock(mutex_);
    listeners_.erase(id);
}

void ControlEvents::Publish(const ControlEvent& event) {
    const std::lock_guard lock(mutex_);
    for (const auto& [id, listener] : listeners_) {
        listener(event);
    }
}
