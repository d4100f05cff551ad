#pragma once

#include <string>

class StimulusTimeline;

// A picture of the timeline: one lane per LED and per TTL bit over a time axis. A repeated block
// is drawn once, framed and labelled with its count, so the picture stays readable (and small)
// however often a loop runs; intensity settings are written on their LED's lane. The text is
// well-formed XML in plain ASCII (other characters as character references).
std::string TimelineToSvg(const StimulusTimeline& timeline, const std::wstring& title);
