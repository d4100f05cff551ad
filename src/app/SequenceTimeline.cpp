#include "app/SequenceTimeline.h"

#include <filesystem>

#include "app/platform/FileReplacement.h"
#include "app/platform/Paths.h"
#include "device/MicroController.h"
#include "foundation/LogFile.h"
#include "foundation/TextConversion.h"
#include "sequences/SequenceContainer.h"
#include "sequences/TimelineSvg.h"

namespace SequenceTimeline {

namespace {

// "2026-12-06 14:03:07.123": the date of the data directory's name, the time of the log lines.
std::wstring WallClock(const LocalTime& time) {
    const std::wstring stamp = FormatDateTimeStamp(time);
    return stamp.substr(0, stamp.find(L'_')) + FormatTimeOfDay(time);
}

}  // namespace

Listing List(const SequenceContainer& sequences, const MicroController& device,
             std::uint32_t number, std::uint64_t maxEvents, LogFile* log) {
    Listing listing;
    listing.timeline = ListTimeline(sequences, number, DeviceTimelineOutputs(device), maxEvents);
    if (listing.timeline.timeline) {
        listing.check =
            CheckTimelineScripts(sequences, device, *listing.timeline.timeline, maxEvents, log);
    }
    return listing;
}

OperationResult WriteSvg(const std::wstring& path, const StimulusTimeline& timeline,
                         const std::wstring& title, LogFile* log) {
    if (!path.empty() &&
        ReplaceFileContent(Paths::ToNativePath(path), TimelineToSvg(timeline, title))) {
        return OperationResult::Success();
    }
    const std::wstring message =
        L"The picture of the timeline could not be written to " + path + L".";
    if (log != nullptr) {
        log->WriteMessage(LogLevel::Error, message);
    }
    return OperationResult::Failure(message);
}

std::wstring RecordFileName(std::uint32_t number, const LocalTime& start) {
    return L"Stimulus_" + std::to_wstring(number) + L"_" + FormatDateTimeStamp(start) + L".tsv";
}

std::wstring RecordText(const TimelineListing& listing, const std::wstring& name,
                        const RunTimes& times) {
    const StimulusTimeline* timeline = listing.timeline ? &*listing.timeline : nullptr;
    std::wstring text = L"# Stimulus delivered by sequence " +
                        (timeline != nullptr ? std::to_wstring(timeline->Sequence()) : L"?") +
                        L" (" + name + L")\n# start\t" + WallClock(times.start) + L"\n";
    if (!times.by.empty()) {
        text += L"# by\t" + times.by + L"\n";
    }
    if (timeline == nullptr) {
        text += L"# " + listing.error + L"\n";
    } else {
        text += TimelineToTsv(*timeline, listing.expansion.events);
        if (!listing.expansion.complete) {
            text += L"# " + listing.expansion.message + L"\n";
        }
    }
    if (times.stop) {
        text += L"# stop\t" + WallClock(*times.stop) + L"\n";
    }
    return text + (times.completed ? L"# completed\tyes\n" : L"# completed\tno (stopped early)\n");
}

std::wstring WriteRecord(const std::wstring& directory, const SequenceContainer& sequences,
                         const MicroController& device, std::uint32_t number, const RunTimes& times,
                         LogFile* log) {
    // Runs a script starts can follow each other within one second: each keeps its record.
    std::wstring path = Paths::Join(directory, RecordFileName(number, times.start));
    for (int suffix = 2; !directory.empty() && std::filesystem::exists(Paths::ToNativePath(path));
         ++suffix) {
        std::wstring name = RecordFileName(number, times.start);
        name.insert(name.size() - 4, L"_" + std::to_wstring(suffix));
        path = Paths::Join(directory, name);
    }
    const TimelineListing listing =
        ListTimeline(sequences, number, DeviceTimelineOutputs(device), kRecordMaxEvents);
    const std::string bytes =
        WideToNarrow(RecordText(listing, sequences.GetSequenceName(number), times));
    if (!directory.empty() && ReplaceFileContent(Paths::ToNativePath(path), bytes)) {
        return path;
    }
    if (log != nullptr) {
        log->WriteMessage(LogLevel::Warning,
                          L"The record of the delivered stimulus could not be written to " + path +
                              L"; the run itself is not affected.");
    }
    return L"";
}

}  // namespace SequenceTimeline
