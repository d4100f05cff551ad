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

void WriteDuration(nlohmann::ordered_json& json, bool timed, double duration) {
    json["durationMs"] = timed ? JsonMilliseconds(duration) : nullptr;
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
    const std::vector<std::uint32_t> numbers = sequences.UsedSequenceNumbers();
    std::size_t nameWidth = 4;
    for (const std::uint32_t number : numbers) {
        nameWidth = std::max(nameWidth, sequences.GetSequenceName(number).size());
    }
    nlohmann::ordered_json& json = context_.console.Json();
    json["sequences"] = nlohmann::ordered_json::array();
    context_.console.Line(numbers.empty() ? L"No sequences are defined."
                                          : L"  N  " + TextFormat::PadRight(L"Name", nameWidth) +
                                                L"  Steps     Duration");
    for (const std::uint32_t number : numbers) {
        const std::wstring& name = sequences.GetSequenceName(number);
        const std::size_t steps = sequences.GetCommandSets(number).size();
        double duration = 0.0;
        const bool timed = sequences.GetSequenceDuration(number, duration) == VLR_SUCCESS;
        nlohmann::ordered_json sequence;
        sequence["number"] = number;
        sequence["name"] = JsonText(name);
        sequence["steps"] = steps;
        WriteDuration(sequence, timed, duration);
        json["sequences"].push_back(sequence);
        context_.console.Line(TextFormat::PadLeft(std::to_wstring(number), 3) + L"  " +
                              TextFormat::PadRight(name, nameWidth) + L"  " +
                              TextFormat::PadLeft(std::to_wstring(steps), 5) + L"  " +
                              DurationText(timed, duration));
    }
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
    nlohmann::ordered_json& json = context_.console.Json();
    json["number"] = number;
    json["name"] = JsonText(sequences.GetSequenceName(number));
    WriteDuration(json, timed, duration);
    json["steps"] = nlohmann::ordered_json::array();
    context_.console.Line(L"Sequence " + context_.SequenceTitle(number) + L": " +
                          StepsText(sets.size()) + L", " + DurationText(timed, duration));
    for (std::size_t step = 0; step < sets.size(); ++step) {
        nlohmann::ordered_json commands = nlohmann::ordered_json::array();
        for (const std::wstring& command : sets[step]) {
            commands.push_back(JsonText(command));
        }
        json["steps"].push_back(commands);
        context_.console.Line(L"  step " + std::to_wstring(step) + L": " +
                              JoinCommands(sets[step]));
    }
    const int scriptResult = context_.options.script ? ShowScript(number) : ExitCode::kSuccess;
    return {scriptResult, false};
}

int ShowCommand::ShowScript(std::uint32_t number) {
    const MicroController& device = context_.core.GetMicroController();
    std::vector<std::uint8_t> bytes;
    if (device.ConvertToScript(context_.core.GetSequenceContainer().GetCommandSets(number),
                               bytes) != VLR_SUCCESS) {
        context_.console.Json()["script"] = nullptr;
        return ExitCode::kValidation;
    }
    const std::size_t count = bytes.size() / ScriptCommand::kSize;
    nlohmann::ordered_json& json = context_.console.Json();
    json["script"] = nlohmann::ordered_json::array();
    context_.console.Line(L"Script commands (" + std::to_wstring(count) + L"):");
    for (std::size_t index = 0; index < count; ++index) {
        const std::uint8_t* record = &bytes[index * ScriptCommand::kSize];
        const std::wstring hex = TextFormat::HexBytes(record, ScriptCommand::kSize);
        const std::wstring text = ScriptCommandText::Describe(record, LedNames(device));
        json["script"].push_back(
            {{"index", index}, {"hex", JsonText(hex)}, {"text", JsonText(text)}});
        context_.console.Line(TextFormat::PadLeft(std::to_wstring(index), 5) + L"  " + hex + L"  " +
                              text);
    }
    return ExitCode::kSuccess;
}
