#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "device/ScriptRunner.h"

// What the emulator finds wrong with a script at the end of its upload: a last command that is
// not EndOfSequence, an op code the device does not know, an EndLoop that does not jump back, a
// TTL bit other than 3..6, a call of a sequence that is not uploaded or that leads back to this
// one. The real device's answer to such a script is not known, so these are only reported
// unless the emulator is strict. `uploaded` finds the other sequences already stored.
std::vector<std::wstring> CheckUploadedScript(std::uint8_t number, const Script& script,
                                              const ScriptRunner::Lookup& uploaded);
