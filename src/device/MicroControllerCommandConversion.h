#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "device/ScriptCommand.h"
#include "foundation/VlrDataTypes.h"

class LogFile;

// Turns one sequence (its command sets of command strings) into the device's flat list of
// 10-byte script commands: one command per command set, a wait that fills the set's duration,
// loop start and end folded into one jump command, and an end marker. Keeps its own copy of the
// LED label-to-device-ID pairs, registered by the device model as LEDs are added.
class MicroControllerCommandConversion {
  public:
    explicit MicroControllerCommandConversion(LogFile* log = nullptr) : log_(log) {}

    void SetLogFile(LogFile* log) { log_ = log; }

    // Called by the device model for each LED, in table order.
    void RegisterLED(const std::wstring& label, std::uint32_t deviceLedId);

    // The device LED ID of a label (compared without regard to case).
    VlrDataTypes::VlrRetVal GetLEDID(const std::wstring& label, std::uint32_t& deviceLedId) const;

    // On success scriptBytes holds the script commands, ScriptCommand::kSize bytes each; on
    // failure it is left as it was.
    VlrDataTypes::VlrRetVal Convert(const std::vector<std::vector<std::wstring>>& commandSets,
                                    std::vector<std::uint8_t>& scriptBytes);

    // Folds the op code a command word needs into the record's op code (word compared without
    // regard to case); fails when the record already holds an op code the word cannot share.
    VlrDataTypes::VlrRetVal UpdateOpCode(const std::wstring& word, ScriptCommand& record);

  private:
    VlrDataTypes::VlrRetVal ConvertCommandSet(const std::vector<std::wstring>& commandSet);
    VlrDataTypes::VlrRetVal ApplyCommand(const std::wstring& command, ScriptCommand& record,
                                         float& duration);
    VlrDataTypes::VlrRetVal SetLEDOutput(const std::wstring& word, const std::wstring& label,
                                         bool on, ScriptCommand& record);
    VlrDataTypes::VlrRetVal SetTTLOutput(const std::wstring& bitText, bool high,
                                         ScriptCommand& record);
    VlrDataTypes::VlrRetVal SetIntensity(const std::wstring& label, const std::wstring& value,
                                         ScriptCommand& record);
    VlrDataTypes::VlrRetVal PairLoops();
    void LogError(const std::wstring& message) const;
    void LogWarning(const std::wstring& message) const;

    LogFile* log_ = nullptr;
    std::vector<ScriptCommand> scriptList_;
    std::vector<std::wstring> labels_;
    std::vector<std::uint32_t> deviceLedIds_;
};
