#pragma once

#include <cstdint>
#include <string>

class SequenceContainer;

// What the device may add to a sequence's time that the timing leaves out, in one line for the
// timeline preview; empty when that is at most one 0.1 ms device step. The device runs every
// loop's -EndLoop as a script command of its own, one step on every pass, which the timing
// counts as no time (a call's command and its callee's end agree with the timing). So a loop
// meant as 20 Hz runs a little slower. Nothing is logged: the window computes this unasked.
std::wstring DeviceTimeNote(const SequenceContainer& sequences, std::uint32_t number);
