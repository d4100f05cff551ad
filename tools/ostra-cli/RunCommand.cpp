#include "ostra-cli/RunCommand.h"

#include <algorithm>
#include <chrono>

#include "app/ApplicationCore.h"
#include "foundation/platform/ExitSignals.h"
#include "ostra-cli/Console.h"
#include "ostra-cli/ExitCode.h"
#include "ostra-cli/SequenceUpload.h"
#include "ostra-cli/TextFormat.h"

using VlrDataTypes::VLR_SUCCESS;

namespace {

using Clock = std::chrono::steady_clock;

// How often the progress line is redrawn; signals are noticed at once regardless.
constexpr std::chrono::milliseconds kProgressInterval{100};
constexpr int kProgressBarWidth = 20;

std::wstring ProgressBar(double fraction) {
    const int filled = static_cast<int>(std::clamp(fraction, 0.0, 1.0) * kProgressBarWidth);
    return L"[" + std::wstring(static_cast<std::size_t>(filled), L'#') +
           std::wstring(static_cast<std::size_t>(kProgressBarWidth - filled), L'-') + L"]";
}

}  // namespace

CommandOutcome RunCommand::Run() {
    const std::uint32_t number = context_.options.sequence.value_or(0);
    if (const int failed = context_.RequireSequence(number); failed != ExitCode::kSuccess) {
        return {failed, true};
    }
    double durationMs = 0.0;
    if (context_.core.GetSequenceContainer().GetSequenceDuration(number, durationMs) !=
        VLR_SUCCESS) {
        return {ExitCode::kValidation, true};
    }
    const int result = Execute(number, durationMs);
    nlohmann::ordered_json& json = context_.console.Json();
    json["number"] = number;
    json["name"] = JsonText(context_.core.GetSequenceContainer().GetSequenceName(number));
    json["durationMs"] = JsonMilliseconds(durationMs);
    json["started"] = started_;
    json["completed"] = result == ExitCode::kSuccess;
    json["interrupted"] = interrupted_;
    json["stopSent"] = stopSent_;
    return {result, true};
}

int RunCommand::Execute(std::uint32_t number, double durationMs) {
    SequenceUpload upload(context_);
    if (context_.options.upload) {
        if (const int failed = upload.Prepare(); failed != ExitCode::kSuccess) {
            return failed;
        }
    }
    // From here on a signal waits until the device is in a known state.
    ExitSignals::Block();
    if (const int failed = context_.ConnectDevice(); failed != ExitCode::kSuccess) {
        return failed;
    }
    if (context_.options.upload) {
        const int sent = upload.Send();
        upload.Report();
        if (sent != ExitCode::kSuccess) {
            return sent;
        }
    }
    if (ExitSignals::WaitFor(std::chrono::milliseconds(0))) {
        return StopAfterInterrupt(number);
    }
    if (context_.core.GetMicroController().StartSequence(number) != VLR_SUCCESS) {
        return ExitCode::kDevice;
    }
    started_ = true;
    context_.console.Line(L"Started sequence " + context_.SequenceTitle(number) + L" for " +
                          TextFormat::Milliseconds(durationMs) + L".");
    if (WaitForEnd(number, durationMs)) {
        return StopAfterInterrupt(number);
    }
    context_.console.Line(L"Sequence " + context_.SequenceTitle(number) + L" completed after " +
                          TextFormat::Milliseconds(durationMs) + L".");
    return ExitCode::kSuccess;
}

// As the window's timer: the duration truncated to whole milliseconds.
bool RunCommand::WaitForEnd(std::uint32_t number, double durationMs) {
    const auto start = Clock::now();
    const auto end = start + std::chrono::milliseconds(static_cast<long long>(durationMs));
    for (auto now = start; now < end; now = Clock::now()) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(end - now);
        if (ExitSignals::WaitFor(std::min(left, kProgressInterval))) {
            context_.console.EndProgress();
            return true;
        }
        const std::chrono::duration<double, std::milli> elapsed = Clock::now() - start;
        ShowProgress(number, std::min(elapsed.count(), durationMs), durationMs);
    }
    context_.console.EndProgress();
    return false;
}

int RunCommand::StopAfterInterrupt(std::uint32_t number) {
    interrupted_ = true;
    context_.console.Line(L"Interrupted: stopping sequence " + context_.SequenceTitle(number) +
                          L".");
    if (context_.core.GetMicroController().StopSequenceExecution() != VLR_SUCCESS) {
        return ExitCode::kDevice;
    }
    stopSent_ = true;
    context_.console.Line(L"Stop sent; every LED is off.");
    return ExitCode::kInterrupted;
}

void RunCommand::ShowProgress(std::uint32_t number, double elapsedMs, double durationMs) {
    const double fraction = durationMs > 0.0 ? elapsedMs / durationMs : 1.0;
    context_.console.Progress(L"Running sequence " + context_.SequenceTitle(number) + L" " +
                              ProgressBar(fraction) + L" " + TextFormat::Milliseconds(elapsedMs) +
                              L" of " + TextFormat::Milliseconds(durationMs));
}
