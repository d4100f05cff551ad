#include "ostra-cli/RunCommand.h"

#include <algorithm>

#include "app/ApplicationCore.h"
#include "foundation/platform/ExitSignals.h"
#include "ostra-cli/Console.h"
#include "ostra-cli/ExitCode.h"
#include "ostra-cli/StderrDiagnostics.h"
#include "ostra-cli/TextFormat.h"
#include "ostra-cli/UploadCommand.h"

namespace {

constexpr int kProgressBarWidth = 20;

std::wstring ProgressBar(double fraction) {
    const int filled = static_cast<int>(std::clamp(fraction, 0.0, 1.0) * kProgressBarWidth);
    return L"[" + std::wstring(static_cast<std::size_t>(filled), L'#') +
           std::wstring(static_cast<std::size_t>(kProgressBarWidth - filled), L'-') + L"]";
}

double ToMs(SequenceRun::Milliseconds duration) {
    return static_cast<double>(duration.count());
}

}  // namespace

CommandOutcome RunCommand::Run() {
    const std::uint32_t number = context_.options.sequence.value_or(0);
    if (const int failed = context_.RequireSequence(number); failed != ExitCode::kSuccess) {
        return {failed, true};
    }
    double durationMs = 0.0;
    if (const OperationResult timed =
            SequenceRun(context_.core.GetMicroController(), context_.core.GetSequenceContainer(),
                        &context_.core.GetLogFile())
                .Duration(number, durationMs);
        !timed) {
        context_.diagnostics.ReportError(timed.Message());
        return {ExitCode::kValidation, true};
    }
    nlohmann::ordered_json& json = context_.console.Json();
    const auto report = [&](int exitCode, const SequenceRun::Result& run) {
        json["number"] = number;
        json["name"] = JsonText(context_.core.GetSequenceContainer().GetSequenceName(number));
        json["durationMs"] = JsonMilliseconds(durationMs);
        json["started"] = run.started;
        json["completed"] = run.completed;
        json["interrupted"] = run.stopRequested;
        json["stopSent"] = run.stopSent;
        json["stimulusRecord"] =
            run.stimulusRecord.empty() ? nullptr : JsonText(run.stimulusRecord);
        return CommandOutcome{exitCode, true};
    };
    UploadCommand upload(context_);
    if (context_.options.upload) {
        if (const int failed = upload.Prepare(); failed != ExitCode::kSuccess) {
            return report(failed, {});
        }
    }
    if (const int failed = context_.ConnectDevice(); failed != ExitCode::kSuccess) {
        return report(failed, {});
    }
    if (context_.options.upload) {
        const int sent = upload.Send();
        upload.Report();
        if (sent != ExitCode::kSuccess) {
            return report(sent, {});
        }
    }
    const std::wstring title = context_.SequenceTitle(number);
    const auto waitForStop = [](SequenceRun::Milliseconds limit) {
        return ExitSignals::WaitFor(limit);
    };
    bool announced = false;
    const auto tick = [&](SequenceRun::Milliseconds elapsed, SequenceRun::Milliseconds total) {
        if (!announced) {
            announced = true;
            context_.console.Line(L"Started sequence " + title + L" for " +
                                  TextFormat::Milliseconds(durationMs) + L".");
        }
        const double fraction = total.count() > 0 ? ToMs(elapsed) / ToMs(total) : 1.0;
        context_.console.Progress(L"Running sequence " + title + L" " + ProgressBar(fraction) +
                                  L" " + TextFormat::Milliseconds(ToMs(elapsed)) + L" of " +
                                  TextFormat::Milliseconds(durationMs));
    };
    const SequenceRun::Result run =
        context_.core.RunSequence(number, waitForStop, tick, nullptr, L"ostra-cli");
    context_.console.EndProgress();
    if (run.stopRequested) {
        context_.console.Line(L"Interrupted: stopping sequence " + title + L".");
        if (!run.stopSent) {
            context_.diagnostics.ReportError(run.status.Message());
            return report(ExitCode::kDevice, run);
        }
        context_.console.Line(L"Stop sent; every LED is off.");
        return report(ExitCode::kInterrupted, run);
    }
    if (!run.status) {
        context_.diagnostics.ReportError(run.status.Message());
        return report(ExitCode::kDevice, run);
    }
    context_.console.Line(L"Sequence " + title + L" completed after " +
                          TextFormat::Milliseconds(durationMs) + L".");
    return report(ExitCode::kSuccess, run);
}
