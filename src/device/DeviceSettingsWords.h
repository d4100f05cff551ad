#pragma once

#include <string>

// The command words of the device section of a settings file: one set, so that what the
// program writes is always what it reads back.
namespace DeviceSettingsWords {

inline const std::wstring kAddLED = L"-AddLED";
inline const std::wstring kSetPortNumber = L"-SetMicroControllerPortNumber";
inline const std::wstring kSetIntensity = L"-SetIntensity";
inline const std::wstring kSetLEDPulse = L"-SetLEDPulse";

}  // namespace DeviceSettingsWords
