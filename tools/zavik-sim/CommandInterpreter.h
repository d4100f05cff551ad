#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "zavik-sim/DeviceState.h"
#include "zavik-sim/ResponseBuilder.h"

// Carries out one command on the device state and says what the firmware answers: the command's
// status, and for GetFirmwareVersion the result 00 <version text>. An unknown command ID
// answers Unrecognized Command, a known one with the wrong data length Invalid Parameter.
class CommandInterpreter {
  public:
    // The version text goes to the device as single-byte characters.
    explicit CommandInterpreter(std::wstring firmwareVersion);

    // data points at the data section of a valid packet (size >= 1; data[0] is the command ID).
    Answer Execute(const std::uint8_t* data, std::size_t size, DeviceState& state) const;

  private:
    std::uint8_t Apply(const std::uint8_t* data, DeviceState& state) const;
    Answer FirmwareVersion() const;

    std::wstring firmwareVersion_;
};
