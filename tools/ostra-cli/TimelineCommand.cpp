#include "ostra-cli/TimelineCommand.h"

#include "app/ApplicationCore.h"
#include "foundation/TextConversion.h"
#include "foundation/platform/ExitSignals.h"
#include "ostra-cli/Console.h"
#include "ostra-cli/ExitCode.h"
#include "ostra-cli/StderrDiagnostics.h"

namespace {

const wchar_t* KindName(TimelineLane::Kind kind) {
    switch (kind) {
        case TimelineLane::Kind::Led:
            return L"led";
        case TimelineLane::Kind::Intensity:
            return L"intensity";
        case TimelineLane::Kind::Ttl:
            break;
    }
    return L"ttl";
}

void ReportJson(nlohmann::ordered_json& json, const StimulusTimeline& timeline,
                const TimelineExpansion& expansion) {
    json["durationMs"] = JsonMilliseconds(timeline.DurationMs());
    json["lanes"] = nlohmann::ordered_json::array();
    for (const TimelineLane& lane : timeline.Lanes()) {
        json["lanes"].push_back({{"name", JsonText(lane.name)},
                                 {"kind", JsonText(KindName(lane.kind))},
                                 {"initial", JsonText(FormatLaneValue(lane, lane.initial))}});
    }
    json["events"] = nlohmann::ordered_json::array();
    for (const TimelineEvent& event : expansion.events) {
        const TimelineLane& lane = timeline.Lanes()[event.lane];
        json["events"].push_back({{"timeMs", JsonMilliseconds(event.timeMs)},
                                  {"lane", JsonText(lane.name)},
                                  {"value", JsonText(FormatLaneValue(lane, event.value))},
                                  {"source", JsonText(FormatSource(event.source))}});
    }
    json["complete"] = expansion.complete;
    json["limitMessage"] = expansion.complete ? nullptr : JsonText(expansion.message);
}

}  // namespace

CommandOutcome TimelineCommand::Run() {
    constexpr bool kKeepSettings = false;
    const std::uint32_t number = context_.options.sequence.value_or(0);
    if (const int failed = context_.RequireSequence(number); failed != ExitCode::kSuccess) {
        return {failed, kKeepSettings};
    }
    const SequenceTimeline::Listing listing =
        context_.core.ListSequenceTimeline(number, context_.options.maxEvents);
    // A listing cut short because the program is asked to end is not shown.
    if (ExitSignals::Pending()) {
        return {ExitCode::kInterrupted, kKeepSettings};
    }
    if (!listing.timeline.timeline) {
        context_.diagnostics.ReportError(listing.timeline.error);
        return {ExitCode::kValidation, kKeepSettings};
    }
    const StimulusTimeline& timeline = *listing.timeline.timeline;
    const TimelineExpansion& expansion = listing.timeline.expansion;
    nlohmann::ordered_json& json = context_.console.Json();
    json["number"] = number;
    json["name"] = JsonText(context_.core.GetSequenceContainer().GetSequenceName(number));
    ReportJson(json, timeline, expansion);
    json["scriptCheck"] = JsonText(listing.check.Summary());
    std::wstring text = TimelineToTsv(timeline, expansion.events);
    if (!expansion.complete) {
        text += L"# " + expansion.message + L"\n";
    }
    text += L"# " + listing.check.Summary();
    // One terminal line each: a line feed inside a line would be shown escaped.
    std::size_t start = 0;
    for (std::size_t end = text.find(L'\n'); end != std::wstring::npos;
         start = end + 1, end = text.find(L'\n', start)) {
        context_.console.Line(text.substr(start, end - start));
    }
    context_.console.Line(text.substr(start));

    json["svgFile"] = nullptr;
    if (context_.options.svgFile.empty()) {
        return {ExitCode::kSuccess, kKeepSettings};
    }
    const std::wstring path = NarrowToWide(context_.options.svgFile);
    const OperationResult written = SequenceTimeline::WriteSvg(
        path, timeline, L"Sequence " + context_.SequenceTitle(number), &context_.core.GetLogFile());
    if (!written) {
        return {ExitCode::kValidation, kKeepSettings};
    }
    json["svgFile"] = JsonText(path);
    return {ExitCode::kSuccess, kKeepSettings};
}
