#include "ostra-cli/ForwardedCommand.h"

#include <algorithm>
#include <chrono>

#include "app/Json.h"
#include "foundation/TextConversion.h"
#include "foundation/platform/ExitSignals.h"
#include "ostra-cli/Console.h"
#include "ostra-cli/ExitCode.h"
#include "ostra-cli/StderrDiagnostics.h"
#include "ostra-cli/TextFormat.h"

namespace {

using Json = nlohmann::ordered_json;
using Clock = std::chrono::steady_clock;

constexpr std::chrono::milliseconds kProgressInterval{100};

std::wstring Text(const Json& value) {
    return value.is_string() ? TextFromJson(value.get<std::string>()) : L"";
}

double Number(const Json& value) {
    return value.is_number() ? value.get<double>() : 0.0;
}

}  // namespace

bool ForwardedCommand::Forwards(const CliOptions& options) {
    switch (options.command) {
        case CliCommand::Connect:
        case CliCommand::Upload:
        case CliCommand::Run:
        case CliCommand::Stop:
        case CliCommand::LedOn:
        case CliCommand::LedOff:
        case CliCommand::LedIntensity:
        case CliCommand::LedPulseStart:
        case CliCommand::LedPulseStop:
            return true;
        case CliCommand::Show:
            return !options.sequence && !options.script;
        default:
            return false;
    }
}

std::optional<Json> ForwardedCommand::Ask(Json request,
                                          const ControlClient::EventHandler& onEvent) {
    std::optional<Json> answer = client_.Call(std::move(request), onEvent);
    if (!answer) {
        diagnostics_.ReportError(client_.Aborted()
                                     ? L"Interrupted."
                                     : L"The Ostra program serving the control socket has ended.");
        return std::nullopt;
    }
    if (!answer->value("ok", false)) {
        diagnostics_.ReportError(Text((*answer)["error"]));
        return std::nullopt;
    }
    return answer;
}

int ForwardedCommand::Run() {
    const std::optional<Json> status = Ask({{"op", "status"}});
    if (!status) {
        return ExitCode::kDevice;
    }
    dataDirectory_ = Text((*status)["dataDirectory"]);
    logFile_ = Text((*status)["logFile"]);
    switch (options_.command) {
        case CliCommand::Connect:
            return Connect(true);
        case CliCommand::Upload:
            return Upload();
        case CliCommand::Run:
            return Run(options_.sequence.value_or(0));
        case CliCommand::Stop:
            return Stop();
        case CliCommand::Show:
            return Show();
        default:
            return Led();
    }
}

int ForwardedCommand::Connect(bool report) {
    const std::optional<Json> answer = Ask({{"op", "connect"}});
    if (!answer) {
        return ExitCode::kDevice;
    }
    if (!report) {
        return ExitCode::kSuccess;
    }
    Json& json = console_.Json();
    json["port"] = (*answer)["portNumber"];
    json["portName"] = (*answer)["port"];
    json["firmware"] = (*answer)["firmware"];
    json["intensities"] = (*answer)["intensities"];
    console_.Line(L"Connected to the Zavik Driver on " + Text((*answer)["port"]) + L".");
    console_.Line(L"Firmware version: " + Text((*answer)["firmware"]));
    std::wstring sent;
    for (const Json& led : (*answer)["intensities"]) {
        sent += (sent.empty() ? L"" : L", ") + Text(led["label"]) + L" " +
                std::to_wstring(led["intensity"].get<int>());
    }
    console_.Line(L"Intensities sent: " + (sent.empty() ? L"(no LEDs)" : sent));
    return ExitCode::kSuccess;
}

std::wstring ForwardedCommand::Title(const Json& sequence) const {
    return std::to_wstring(sequence["number"].get<std::uint32_t>()) + L" (" +
           Text(sequence["name"]) + L")";
}

std::optional<Json> ForwardedCommand::Sequence(std::uint32_t number, int& exitCode) {
    exitCode = ExitCode::kDevice;
    const std::optional<Json> list = Ask({{"op", "sequences"}});
    if (!list) {
        return std::nullopt;
    }
    for (const Json& sequence : (*list)["sequences"]) {
        if (sequence["number"] == number) {
            return sequence;
        }
    }
    exitCode = ExitCode::kValidation;
    diagnostics_.ReportError(L"Sequence " + std::to_wstring(number) + L" is not defined.");
    return std::nullopt;
}

int ForwardedCommand::Upload() {
    const std::optional<Json> list = Ask({{"op", "sequences"}});
    if (!list || !Ask({{"op", "subscribe"}}) || Connect(false) != ExitCode::kSuccess) {
        return ExitCode::kDevice;
    }
    std::map<std::uint32_t, std::wstring> titles;
    for (const Json& sequence : (*list)["sequences"]) {
        titles[sequence["number"].get<std::uint32_t>()] = Title(sequence);
    }
    const auto progress = [&](const Json& event) {
        if (event["event"] != "uploadProgress") {
            return;
        }
        console_.Progress(L"Uploading sequence " + titles[event["sequence"].get<std::uint32_t>()] +
                          L", " + NarrowToWide(event["index"].dump()) + L" of " +
                          NarrowToWide(event["count"].dump()) + L": " +
                          NarrowToWide(event["sent"].dump()) + L" of " +
                          NarrowToWide(event["total"].dump()) + L" script commands");
    };
    const std::optional<Json> answer = Ask({{"op", "upload"}}, progress);
    console_.EndProgress();
    Json& json = console_.Json();
    json["uploaded"] = answer ? (*answer)["sequences"] : Json::array();
    json["snapshot"] = answer ? (*answer)["snapshot"] : Json("");
    if (!answer) {
        return ExitCode::kDevice;
    }
    for (const Json& entry : (*answer)["sequences"]) {
        console_.Line(L"Uploaded sequence " + Title(entry) + L": " +
                      NarrowToWide(entry["scriptCommands"].dump()) + L" script commands.");
    }
    console_.Line(L"Upload Complete!");
    if (!Text((*answer)["snapshot"]).empty()) {
        console_.Line(L"Settings snapshot: " + Text((*answer)["snapshot"]));
    }
    return ExitCode::kSuccess;
}

int ForwardedCommand::Run(std::uint32_t number) {
    int exitCode = ExitCode::kSuccess;
    const std::optional<Json> sequence = Sequence(number, exitCode);
    if (!sequence) {
        return exitCode;
    }
    if ((*sequence)["durationMs"].is_null()) {
        diagnostics_.ReportError(L"The duration of sequence " + std::to_wstring(number) +
                                 L" cannot be computed.");
        return ExitCode::kValidation;
    }
    Json ended = Json::object();
    Json& json = console_.Json();
    const auto report = [&](int code, bool started) {
        json["number"] = number;
        json["name"] = (*sequence)["name"];
        json["durationMs"] = (*sequence)["durationMs"];
        json["started"] = started;
        json["completed"] = ended.value("result", "") == "completed";
        json["interrupted"] = code == ExitCode::kInterrupted || ended.contains("stopSent");
        json["stopSent"] = ended.value("stopSent", false);
        json["stimulusRecord"] =
            ended.value("stimulusRecord", "").empty() ? Json() : ended["stimulusRecord"];
        return code;
    };
    if (const int failed = Connect(false); failed != ExitCode::kSuccess) {
        return report(failed, false);
    }
    if (options_.upload) {
        if (const int failed = Upload(); failed != ExitCode::kSuccess) {
            return report(failed, false);
        }
    }
    if (!Ask({{"op", "subscribe"}}) || !Ask({{"op", "run"}, {"sequence", number}})) {
        return report(ExitCode::kDevice, false);
    }
    console_.Line(L"Started sequence " + Title(*sequence) + L" for " +
                  TextFormat::Milliseconds(Number((*sequence)["durationMs"])) + L".");
    return report(WaitForEnd(*sequence, ended), true);
}

// Until the server says the sequence ended; SIGINT or SIGTERM asks it for the stop first.
int ForwardedCommand::WaitForEnd(const Json& sequence, Json& ended) {
    const double total = Number(sequence["durationMs"]);
    const Clock::time_point start = Clock::now();
    const auto endOf = [&](const Json& event) {
        if (event["event"] == "sequenceEnded" && event["sequence"] == sequence["number"]) {
            ended = event;
        }
    };
    while (ended.empty()) {
        const double elapsed = std::min(
            total, static_cast<double>(
                       std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start)
                           .count()));
        const int filled = total > 0 ? static_cast<int>(elapsed / total * 20) : 20;
        console_.Progress(L"Running sequence " + Title(sequence) + L" [" +
                          std::wstring(static_cast<std::size_t>(filled), L'#') +
                          std::wstring(static_cast<std::size_t>(20 - filled), L'-') + L"] " +
                          TextFormat::Milliseconds(elapsed) + L" of " +
                          TextFormat::Milliseconds(total));
        if (const std::optional<Json> line = client_.ReadLine(kProgressInterval)) {
            endOf(*line);
        } else if (client_.Aborted() || client_.Ended()) {
            break;
        }
    }
    console_.EndProgress();
    if (client_.Ended()) {
        diagnostics_.ReportError(L"The Ostra program serving the control socket has ended.");
        return ExitCode::kDevice;
    }
    if (client_.Aborted()) {
        ExitSignals::WaitFor(std::chrono::milliseconds(0));
        console_.Line(L"Interrupted: stopping sequence " + Title(sequence) + L".");
        const bool stopped = Ask({{"op", "stop"}}, endOf).has_value();
        ended["stopSent"] = stopped;
        if (!stopped) {
            return ExitCode::kDevice;
        }
        console_.Line(L"Stop sent; every LED is off.");
        return ExitCode::kInterrupted;
    }
    if (ended.value("result", "") != "completed") {
        diagnostics_.ReportError(L"Sequence " + Title(sequence) + L" was stopped by " +
                                 Text(ended["by"]) + L".");
        return ExitCode::kDevice;
    }
    console_.Line(L"Sequence " + Title(sequence) + L" completed after " +
                  TextFormat::Milliseconds(total) + L".");
    return ExitCode::kSuccess;
}

int ForwardedCommand::Stop() {
    if (const int failed = Connect(false); failed != ExitCode::kSuccess) {
        return failed;
    }
    const std::optional<Json> answer = Ask({{"op", "stop"}});
    console_.Json()["stopped"] = answer.has_value();
    const std::optional<Json> status = Ask({{"op", "status"}});
    const auto mask = status ? (*status)["outputMask"].get<std::uint16_t>() : std::uint16_t{0};
    console_.Json()["outputMask"] = mask;
    if (!answer) {
        return ExitCode::kDevice;
    }
    console_.Line(L"Sequence execution stopped; every LED is off (outputs " +
                  TextFormat::HexWord(mask) + L").");
    return ExitCode::kSuccess;
}

int ForwardedCommand::Led() {
    const std::optional<Json> status = Ask({{"op", "status"}});
    if (!status) {
        return ExitCode::kDevice;
    }
    // The labels as the server's LEDs spell them; every LED for "off" without labels.
    std::vector<std::wstring> labels;
    for (const std::string& given : options_.labels) {
        const std::wstring wanted = NarrowToWide(given);
        const Json* found = nullptr;
        for (const Json& led : (*status)["leds"]) {
            found = CompareNoCase(Text(led["label"]), wanted) == 0 ? &led : found;
        }
        if (found == nullptr) {
            diagnostics_.ReportError(L"There is no LED labelled \"" + wanted + L"\".");
            return ReportLeds(ExitCode::kValidation);
        }
        labels.push_back(Text((*found)["label"]));
    }
    if (labels.empty()) {
        for (const Json& led : (*status)["leds"]) {
            labels.push_back(Text(led["label"]));
        }
    }
    if (const int failed = Connect(false); failed != ExitCode::kSuccess) {
        return ReportLeds(failed);
    }
    for (const std::wstring& label : labels) {
        Json request{{"op", "led"}, {"label", JsonText(label)}};
        int failure = ExitCode::kDevice;
        switch (options_.command) {
            case CliCommand::LedOn:
            case CliCommand::LedOff:
                request["on"] = options_.command == CliCommand::LedOn;
                break;
            case CliCommand::LedIntensity:
                request["intensity"] = options_.intensity;
                failure = ExitCode::kValidation;
                break;
            case CliCommand::LedPulseStart:
                request["pulse"] = "start";
                if (options_.widthOn) {
                    request["onMs"] = *options_.widthOn;
                }
                if (options_.widthOff) {
                    request["offMs"] = *options_.widthOff;
                }
                if (options_.loopCount) {
                    request["loops"] = *options_.loopCount;
                }
                break;
            default:
                request["pulse"] = "stop";
                break;
        }
        if (!Ask(request)) {
            return ReportLeds(failure);
        }
    }
    return ReportLeds(ExitCode::kSuccess);
}

// As the command reports the outputs itself: the text line only after success.
int ForwardedCommand::ReportLeds(int exitCode) {
    const std::optional<Json> status = client_.Call({{"op", "status"}});
    if (!status) {
        return exitCode;
    }
    const auto mask = (*status)["outputMask"].get<std::uint16_t>();
    Json& json = console_.Json();
    json["connected"] = (*status)["state"] != "Disconnected";
    json["outputMask"] = mask;
    json["leds"] = (*status)["leds"];
    std::wstring states;
    for (const Json& led : (*status)["leds"]) {
        states += (states.empty() ? L"" : L", ") + Text(led["label"]) +
                  (led["on"].get<bool>() ? L" on" : L" off") + L" (intensity " +
                  NarrowToWide(led["intensity"].dump()) + L")";
    }
    if (exitCode == ExitCode::kSuccess) {
        console_.Line(L"Outputs " + TextFormat::HexWord(mask) + L": " + states);
    }
    return exitCode;
}

int ForwardedCommand::Show() {
    const std::optional<Json> list = Ask({{"op", "sequences"}});
    if (!list) {
        return ExitCode::kDevice;
    }
    const Json& sequences = (*list)["sequences"];
    std::size_t nameWidth = 4;
    for (const Json& sequence : sequences) {
        nameWidth = std::max(nameWidth, Text(sequence["name"]).size());
    }
    console_.Json()["sequences"] = sequences;
    console_.Line(sequences.empty() ? L"No sequences are defined."
                                    : L"  N  " + TextFormat::PadRight(L"Name", nameWidth) +
                                          L"  Steps     Duration");
    for (const Json& sequence : sequences) {
        const Json& duration = sequence["durationMs"];
        console_.Line(
            TextFormat::PadLeft(NarrowToWide(sequence["number"].dump()), 3) + L"  " +
            TextFormat::PadRight(Text(sequence["name"]), nameWidth) + L"  " +
            TextFormat::PadLeft(NarrowToWide(sequence["steps"].dump()), 5) + L"  " +
            (duration.is_null() ? L"(timing failed)" : TextFormat::Milliseconds(Number(duration))));
    }
    return ExitCode::kSuccess;
}
