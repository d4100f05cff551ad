#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "device/ScriptCommand.h"
#include "foundation/Step.h"
#include "foundation/StepRules.h"
#include "foundation/VlrDataTypes.h"

class LogFile;

// Turns one sequence (its command sets of command strings) into the device's flat list of
// 10-byte script commands: one command per command set, a wait that fills the set's duration,
// loop start and end folded into one jump command, and an end marker. Each set is read as a Step
// by StepText, so what may share a step and how loops pair is the rulebook's; this words its
// refusals and lays the script out. Keeps its own copy of the LED label-to-device-ID pairs,
// registered by the device model as LEDs are added.
class MicroControllerCommandConversion {
  public:
    explicit MicroControllerCommandConversion(LogFile* log = nullptr);

    void SetLogFile(LogFile* log) { log_ = log; }

    // Called by the device model for each LED, in table order.
    void RegisterLED(const std::wstring& label, std::uint32_t deviceLedId);

    // The device LED ID of a label (compared without regard to case).
    VlrDataTypes::VlrRetVal GetLEDID(const std::wstring& label, std::uint32_t& deviceLedId) const;

    // On success scriptBytes holds the script commands, ScriptCommand::kSize bytes each; on
    // failure it is left as it was.
    VlrDataTypes::VlrRetVal Convert(const std::vector<std::vector<std::wstring>>& commandSets,
                                    std::vector<std::uint8_t>& scriptBytes) const;

    // Why Convert would refuse the sets, in the words it logs (empty for the refusals it has
    // never worded); none when they convert. Logs nothing: live checks ask it as they please.
    std::optional<std::wstring> Refusal(
        const std::vector<std::vector<std::wstring>>& commandSets) const;

  private:
    // The script of the sets, or why not; warnings (when given) collects what Convert warns of.
    std::optional<std::wstring> LayOut(const std::vector<std::vector<std::wstring>>& commandSets,
                                       std::vector<ScriptCommand>& script,
                                       std::vector<std::wstring>* warnings) const;
    std::optional<std::wstring> ReadSteps(const std::vector<std::vector<std::wstring>>& commandSets,
                                          std::vector<Step>& steps) const;
    std::wstring RefusalText(const StepRules::Refusal& refusal, const std::wstring& command,
                             const Step& before) const;
    // Lays out the steps before `end`, loops folded into their end's jump.
    std::vector<ScriptCommand> LayOut(const std::vector<Step>& steps, std::size_t end,
                                      std::vector<std::wstring>* warnings) const;
    ScriptCommand CommandOf(const Step& step) const;
    std::uint8_t OpCodeOf(const Step& step) const;
    void LogError(const std::wstring& message) const;
    void LogWarning(const std::wstring& message) const;

    LogFile* log_ = nullptr;
    std::vector<std::wstring> labels_;
    std::vector<std::uint32_t> deviceLedIds_;
    std::vector<std::wstring> ttlBits_;
};
