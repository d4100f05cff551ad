#include "sequences/TimelineSvg.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <vector>

#include "sequences/StimulusTimeline.h"

namespace {

constexpr double kPlotLeft = 130.0;
constexpr double kPlotWidth = 900.0;
constexpr double kLaneHeight = 40.0;
constexpr double kTop = 40.0;

std::string Number(double value) {
    char buffer[64];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 1);
    return std::string(buffer, result.ptr);
}

// Markup characters and everything beyond ASCII become references; control characters, which
// XML 1.0 does not allow at all, become '?'.
std::string Escape(const std::wstring& text) {
    std::string escaped;
    for (const wchar_t c : text) {
        switch (c) {
            case L'&':
                escaped += "&amp;";
                break;
            case L'<':
                escaped += "&lt;";
                break;
            case L'>':
                escaped += "&gt;";
                break;
            case L'"':
                escaped += "&quot;";
                break;
            case L'\'':
                escaped += "&apos;";
                break;
            default:
                if (c < 0x20 || c == 0x7F || (c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF ||
                    c == 0xFFFE || c == 0xFFFF) {
                    escaped += '?';
                } else if (c < 0x80) {
                    escaped += static_cast<char>(c);
                } else {
                    escaped += "&#" + std::to_string(static_cast<unsigned long>(c)) + ";";
                }
        }
    }
    return escaped;
}

struct Change {
    double x;  // drawn time, ms
    int value;
};

struct Frame {
    double x0;
    double x1;
    std::uint32_t count;
    double startMs;  // real time of the first pass
    double periodMs;
    int depth;
};

// Lays the blocks out on a drawn time axis in which every repeated block takes one pass.
class Layout {
  public:
    explicit Layout(std::size_t lanes) : changes(lanes) {}

    // Returns the drawn length of one pass of the block.
    double Place(const TimelineBlock& block, double drawnStart, double realStart, int depth) {
        double collapsed = 0.0;  // real time not drawn so far
        double end = drawnStart;
        for (const TimelineItem& item : block.items) {
            const double x = std::max(end, drawnStart + item.offset - collapsed);
            end = x;
            if (item.repeated == nullptr) {
                changes[item.lane].push_back({x, item.value});
                continue;
            }
            if (item.count == 0) {
                continue;
            }
            const TimelineBlock& body = *item.repeated;
            const double drawn = Place(body, x, realStart + item.offset, depth + 1);
            const double real = body.loopBody ? item.count * body.duration : body.duration;
            if (body.loopBody) {
                frames.push_back(
                    {x, x + drawn, item.count, realStart + item.offset, body.duration, depth});
            }
            collapsed += real - drawn;
            end = x + drawn;
        }
        return std::max(end, drawnStart + block.duration - collapsed) - drawnStart;
    }

    std::vector<std::vector<Change>> changes;
    std::vector<Frame> frames;
};

}  // namespace

std::string TimelineToSvg(const StimulusTimeline& timeline, const std::wstring& title) {
    const std::vector<TimelineLane>& lanes = timeline.Lanes();
    Layout layout(lanes.size());
    const double drawnTotal = layout.Place(timeline.Root(), 0.0, 0.0, 0);
    const double scale = kPlotWidth / std::max(drawnTotal, 0.1);
    const auto X = [&](double drawn) { return Number(kPlotLeft + drawn * scale); };

    // Intensities are written on their LED's lane rather than given lanes of their own.
    std::vector<std::size_t> rows;
    std::size_t shown = 0;
    for (const TimelineLane& lane : lanes) {
        rows.push_back(lane.kind == TimelineLane::Kind::Intensity ? shown - 1 : shown++);
    }
    const double height = kTop + shown * kLaneHeight + 50.0;
    const double width = kPlotLeft + kPlotWidth + 40.0;

    std::string svg = "<?xml version=\"1.0\" encoding=\"US-ASCII\"?>\n";
    svg += "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + Number(width) + "\" height=\"" +
           Number(height) + "\" font-family=\"sans-serif\" font-size=\"11\">\n";
    svg += "<title>" + Escape(title) + "</title>\n";
    svg += "<text x=\"10\" y=\"20\" font-size=\"14\">" + Escape(title) + "</text>\n";

    for (const Frame& frame : layout.frames) {
        const double inset = 4.0 * frame.depth;
        svg += "<g class=\"repeat\"><rect x=\"" + X(frame.x0) + "\" y=\"" +
               Number(kTop - 12.0 + inset) + "\" width=\"" +
               Number(std::max((frame.x1 - frame.x0) * scale, 1.0)) + "\" height=\"" +
               Number(shown * kLaneHeight + 8.0 - 2 * inset) +
               "\" fill=\"none\" stroke=\"#888\" stroke-dasharray=\"4 3\"/><text x=\"" +
               X(frame.x0) + "\" y=\"" + Number(kTop - 14.0 + inset) + "\">&#215;" +
               std::to_string(frame.count) + " from " + Number(frame.startMs) + " ms, " +
               Number(frame.periodMs) + " ms each</text></g>\n";
    }

    for (std::size_t i = 0; i < lanes.size(); ++i) {
        const TimelineLane& lane = lanes[i];
        const double base = kTop + (rows[i] + 1) * kLaneHeight - 8.0;
        if (lane.kind == TimelineLane::Kind::Intensity) {
            svg += "<g class=\"intensity\" data-lane=\"" + Escape(lane.name) + "\">";
            svg += "<text x=\"" + X(0.0) + "\" y=\"" + Number(base - 26.0) + "\">" +
                   std::to_string(lane.initial) + "</text>";
            for (const Change& change : layout.changes[i]) {
                svg += "<text x=\"" + X(change.x) + "\" y=\"" + Number(base - 26.0) + "\">" +
                       std::to_string(change.value) + "</text>";
            }
            svg += "</g>\n";
            continue;
        }
        const auto Y = [&](int value) { return Number(value != 0 ? base - 18.0 : base); };
        svg += "<g class=\"lane\" data-lane=\"" + Escape(lane.name) + "\"><text x=\"10\" y=\"" +
               Number(base) + "\">" + Escape(lane.name) + "</text><polyline fill=\"none\" " +
               "stroke=\"black\" points=\"" + X(0.0) + "," + Y(lane.initial);
        int value = lane.initial;
        // Appended piece by piece: GCC 12 warns falsely (-Wrestrict) on " " + std::string&&.
        for (const Change& change : layout.changes[i]) {
            svg.append(" ").append(X(change.x)).append(",").append(Y(value));
            svg.append(" ").append(X(change.x)).append(",").append(Y(change.value));
            value = change.value;
        }
        svg.append(" ").append(X(drawnTotal)).append(",").append(Y(value)).append("\"/></g>\n");
    }

    const double axis = kTop + shown * kLaneHeight + 10.0;
    svg += "<g class=\"axis\"><line x1=\"" + X(0.0) + "\" y1=\"" + Number(axis) + "\" x2=\"" +
           X(drawnTotal) + "\" y2=\"" + Number(axis) + "\" stroke=\"black\"/><text x=\"" + X(0.0) +
           "\" y=\"" + Number(axis + 15.0) + "\">0.0 ms</text><text x=\"" + X(drawnTotal) +
           "\" y=\"" + Number(axis + 15.0) + "\" text-anchor=\"end\">" +
           Number(timeline.DurationMs()) + " ms</text></g>\n";
    svg += "</svg>\n";
    return svg;
}
