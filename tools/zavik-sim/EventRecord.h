#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "foundation/VlrDataTypes.h"
#include "sequences/StimulusTimeline.h"
#include "zavik-sim/DeviceState.h"

class LogFile;

// The --events file: every change of an output, in the TSV columns of a stimulus timeline
// (time_ms, lane, value, source), so that a sequence's run compares line by line with its
// timeline. The file opens with the header and every output's state; times count from the
// emulator's start. A sequence run is framed by "# sequence N start ..." and "# sequence N end
// ..." lines; between them a header and the outputs' states at the start come again and times
// count from the sequence's start, exactly as in the timeline.
class EventRecord {
  public:
    explicit EventRecord(LogFile* log = nullptr);

    // ledLabels in the PC's table order (device LED IDs 0, 2, 1).
    VlrDataTypes::VlrRetVal Open(const std::filesystem::path& file,
                                 const std::vector<std::wstring>& ledLabels,
                                 const DeviceState& state);
    bool IsOpen() const { return file_.is_open(); }
    // The state is the device's after the event.
    void Write(const DeviceEvent& event, const DeviceState& state);
    void Flush();
    void Close();

  private:
    std::wstring Start(const DeviceState& state) const;
    std::uint16_t LaneOf(const DeviceEvent& event) const;

    LogFile* log_ = nullptr;
    std::ofstream file_;
    std::vector<TimelineLane> lanes_;
    std::size_t ledCount_ = 0;
    std::uint64_t origin_ = 0;  // the step times count from
};
