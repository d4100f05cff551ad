#include "ostra-cli/ShowCommand.h"

#include <algorithm>
#include <vector>

#include "app/ApplicationCore.h"
#include "ostra-cli/Console.h"
#include "ostra-cli/ExitCode.h"
#include "ostra-cli/ScriptCommandText.h"
#include "ostra-cli/StderrDiagnostics.h"
#include "ostra-cli/TextFormat.h"

using VlrDataTypes::VLR_SUCCESS;

namespace {

ScriptCommandText::LedNames LedNames(const MicroController& device) {
    ScriptCommandText::LedNames leds;
    for (int index = 0; index < device.GetLEDCount(); ++index) {
        LEDRecord led;
        if (device.GetLEDInfo(index, led) == VLR_SUCCESS) {
            leds.emplace_back(led.colorLabel, led.deviceLedId);
        }
    }
    return leds;
}

constexpr CommandOutcome kInspected{ExitCode::kSuccess, false};

std::wstring JoinCommands(const CommandSet& set) {
    std::wstring text;
    for (const std::wstring& command : set) {
        text += (text.empty() ? L"" : L"; ") + command;
    }
    return text;
}

void WriteDuration(JsonWriter& json, bool timed, double duration) {
    json.Key("durationMs");
    if (timed) {
        json.Number(duration);
    } else {
        json.Null();
    }
}

std::wstring DurationText(bool timed, double duration) {
    return timed ? TextFormat::Milliseconds(duration) : L"(timing failed)";
}

std::wstring StepsText(std::size_t steps) {
    return std::to_wstring(steps) + (steps == 1 ? L" step" : L" steps");
}

}  // namespace

CommandOutcome ShowCommand::Run() {
    if (!context_.options.sequence) {
        if (context_.options.script) {
            context_.diagnostics.ReportError(L"--script needs a sequence number N.");
            return {ExitCode::kUsage, false};
        }
        return ShowList();
    }
    return ShowSequence(*context_.options.sequence);
}

CommandOutcome ShowCommand::ShowList() {
    SequenceContainer& sequences = context_.core.GetSequenceContainer();
    std::vector<std::uint32_t> numbers;
    std::size_t nameWidth = 4;
    for (std::uint32_t number = 0; number < SequenceContainer::kSequenceCount; ++number) {
        if (!sequences.GetSequenceName(number).empty()) {
            numbers.push_back(number);
            nameWidth = std::max(nameWidth, sequences.GetSequenceName(number).size());
        }
    }
    JsonWriter& json = context_.console.Json();
    json.Key("sequences").BeginArray();
    context_.console.Line(numbers.empty() ? L"No sequences are defined."
                                          : L"  N  " + TextFormat::PadRight(L"Name", nameWidth) +
                                                L"  Steps     Duration");
    for (const std::uint32_t number : numbers) {
        const std::wstring& name = sequences.GetSequenceName(number);
        const std::size_t steps = sequences.GetCommandSets(number).size();
        double duration = 0.0;
        const bool timed = sequences.GetSequenceDuration(number, duration) == VLR_SUCCESS;
        json.BeginObject();
        json.Key("number").Unsigned(number);
        json.Key("name").String(name);
        json.Key("steps").Unsigned(steps);
        WriteDuration(json, timed, duration);
        json.EndObject();
        context_.console.Line(TextFormat::PadLeft(std::to_wstring(number), 3) + L"  " +
                              TextFormat::PadRight(name, nameWidth) + L"  " +
                              TextFormat::PadLeft(std::to_wstring(steps), 5) + L"  " +
                              DurationText(timed, duration));
    }
    json.EndArray();
    return kInspected;
}

CommandOutcome ShowCommand::ShowSequence(std::uint32_t number) {
    if (const int failed = context_.RequireSequence(number); failed != ExitCode::kSuccess) {
        return {failed, false};
    }
    SequenceContainer& sequences = context_.core.GetSequenceContainer();
    const std::vector<CommandSet>& sets = sequences.GetCommandSets(number);
    double duration = 0.0;
    const bool timed = sequences.GetSequenceDuration(number, duration) == VLR_SUCCESS;
    JsonWriter& json = context_.console.Json();
    json.Key("number").Unsigned(number);
    json.Key("name").String(sequences.GetSequenceName(number));
    WriteDuration(json, timed, duration);
    json.Key("steps").BeginArray();
    context_.console.Line(L"Sequence " + context_.SequenceTitle(number) + L": " +
                          StepsText(sets.size()) + L", " + DurationText(timed, duration));
    for (std::size_t step = 0; step < sets.size(); ++step) {
        json.BeginArray();
        for (const std::wstring& command : sets[step]) {
            json.String(command);
        }
        json.EndArray();
        context_.console.Line(L"  step " + std::to_wstring(step) + L": " +
                              JoinCommands(sets[step]));
    }
    json.EndArray();
    const int scriptResult = context_.options.script ? ShowScript(number) : ExitCode::kSuccess;
    return {scriptResult, false};
}

int ShowCommand::ShowScript(std::uint32_t number) {
    const MicroController& device = context_.core.GetMicroController();
    std::vector<std::uint8_t> bytes;
    if (device.ConvertToScript(context_.core.GetSequenceContainer().GetCommandSets(number),
                               bytes) != VLR_SUCCESS) {
        context_.console.Json().Key("script").Null();
        return ExitCode::kValidation;
    }
    const std::size_t count = bytes.size() / ScriptCommand::kSize;
    JsonWriter& json = context_.console.Json();
    json.Key("script").BeginArray();
    context_.console.Line(L"Script commands (" + std::to_wstring(count) + L"):");
    for (std::size_t index = 0; index < count; ++index) {
        const std::uint8_t* record = &bytes[index * ScriptCommand::kSize];
        const std::wstring hex = TextFormat::HexBytes(record, ScriptCommand::kSize);
        const std::wstring text = ScriptCommandText::Describe(record, LedNames(device));
        json.BeginObject();
        json.Key("index").Unsigned(index);
        json.Key("hex").String(hex);
        json.Key("text").String(text);
        json.EndObject();
        context_.console.Line(TextFormat::PadLeft(std::to_wstring(index), 5) + L"  " + hex + L"  " +
                              text);
    }
    json.EndArray();
    return ExitCode::kSuccess;
}
