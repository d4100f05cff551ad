#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

// Reads an uploaded 10-byte script command back into words, for people checking what a sequence
// became: "SetOutputs Blue on, TTL 3 high", "WaitSteps 999", "EndLoop to 0, 5 times". It reads
// the bytes by the device's layout, not the converter's records, so it shows what is sent.
namespace ScriptCommandText {

// The LEDs in table order: colour label and device LED ID. Masks name LEDs by ID, the
// intensity op codes by table position.
using LedNames = std::vector<std::pair<std::wstring, std::uint32_t>>;

// record points at ScriptCommand::kSize bytes.
std::wstring Describe(const std::uint8_t* record, const LedNames& leds);

}  // namespace ScriptCommandText
