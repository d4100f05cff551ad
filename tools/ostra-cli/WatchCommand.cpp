#include "ostra-cli/WatchCommand.h"

#include "app/ControlClient.h"
#include "app/Json.h"
#include "app/platform/ControlSocket.h"
#include "foundation/TextConversion.h"
#include "foundation/platform/ExitSignals.h"
#include "ostra-cli/ExitCode.h"
#include "ostra-cli/StderrDiagnostics.h"
#include "ostra-cli/TextFormat.h"

namespace {

// "2026-12-07T09:05:03.120 led label=Blue on=true intensity=10 by=script pid=4711"
std::string EventText(const nlohmann::ordered_json& event) {
    const auto shown = [](const nlohmann::ordered_json& value) {
        return value.is_string() ? TextFromJson(value.get<std::string>())
                                 : NarrowToWide(value.dump());
    };
    std::wstring text = shown(event.value("time", "")) + L" " + shown(event.value("event", ""));
    for (const auto& [key, value] : event.items()) {
        if (key != "time" && key != "event") {
            text += L" " + NarrowToWide(key) + L"=" + shown(value);
        }
    }
    return TextFormat::ForTerminal(text);
}

}  // namespace

int WatchCommand::Run() {
    const std::filesystem::path path = ControlSocket::Path();
    ControlClient client;
    client.SetAbortDescriptor(ExitSignals::Descriptor());
    const auto answer = client.Connect(path) ? client.Call({{"op", "subscribe"}}) : std::nullopt;
    if (!answer || !answer->value("ok", false)) {
        diagnostics_.ReportError(L"No Ostra program serves the control socket (" +
                                 PathToWide(path) + L").");
        return ExitCode::kDevice;
    }
    while (const auto event = client.ReadLine()) {
        out_ << (json_ ? JsonLine(*event) : EventText(*event)) << std::endl;
    }
    if (client.Aborted()) {
        ExitSignals::WaitFor(std::chrono::milliseconds(0));
        return ExitCode::kSuccess;
    }
    diagnostics_.ReportError(L"The Ostra program serving the control socket has ended.");
    return ExitCode::kDevice;
}
