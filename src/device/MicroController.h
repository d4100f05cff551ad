#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "device/LEDRecord.h"
#include "device/MicroControllerCommandConversion.h"
#include "device/MicroControllerConnection.h"
#include "foundation/DeviceLimits.h"
#include "foundation/VlrDataTypes.h"

class LogFile;

// The system's model of the LED driver: the LEDs the setup file declares, the on/off state of
// their outputs and the port number. Every change is checked against fixed limits and, while
// the device is connected, sent to it. The stored values are the system's belief about the
// device: intensities are stored before they are sent, the output mask only after the device
// accepted it.
class MicroController {
  public:
    static constexpr std::size_t kMaxLEDCount = DeviceLimits::kMaxLEDCount;
    static constexpr std::uint32_t kDefaultPortNumber = 4;
    // Every SetLEDOutputs command carries this bit; its meaning is the firmware's business.
    static constexpr std::uint16_t kOutputMaskBit7 = 0x0080;

    explicit MicroController(LogFile* log = nullptr);

    // Hands the log to the connection and the conversion as well.
    void SetLogFile(LogFile* log);

    // Start-up sets bit 7 once; no operation ever clears it.
    void SetOutputMaskBit7() { outputMask_ |= kOutputMaskBit7; }
    std::uint16_t GetOutputMask() const { return outputMask_; }
    // Takes the outputs of the declared LEDs as the device's, without sending anything: for a
    // front end that remembers what it sent before (bit 7 stays as it is).
    void AssumeOutputMask(std::uint16_t mask);

    std::uint32_t GetPortNumber() const { return portNumber_; }
    void SetPortNumber(std::uint32_t portNumber) { portNumber_ = portNumber; }

    VlrDataTypes::VlrRetVal AddLED(const std::wstring& colorLabel, double maximumPower);
    // The table index of the LED, compared without regard to case; -1 when there is none.
    int FindLEDIndex(const std::wstring& colorLabel) const;
    VlrDataTypes::VlrRetVal GetLEDInfo(int index, LEDRecord& record) const;
    VlrDataTypes::VlrRetVal IsValidLEDIndex(int index) const;
    int GetLEDCount() const { return static_cast<int>(leds_.size()); }
    // Both lists are cleared first.
    void GetColorLabels(std::vector<std::wstring>& labels) const;
    void GetTTLBitNames(std::vector<std::wstring>& names) const;

    VlrDataTypes::VlrRetVal SetIntensity(std::uint32_t value, const std::wstring& colorLabel);
    // Takes effect at the next StartPulse; nothing is sent.
    VlrDataTypes::VlrRetVal SetLEDPulse(const std::wstring& colorLabel,
                                        const PulseParameters& pulse);

    VlrDataTypes::VlrRetVal TurnLEDOn(int index);
    VlrDataTypes::VlrRetVal TurnLEDOff(int index);
    VlrDataTypes::VlrRetVal StartPulse(int index);
    // Stops the train, then switches the LED's output off.
    VlrDataTypes::VlrRetVal StopPulse(int index);

    // After a connect: the device learns the stored intensities. Does nothing while disconnected.
    VlrDataTypes::VlrRetVal SendAllIntensities();

    // Converts command sets into script command records as an upload would, with a converter of
    // its own: the upload's converter and its state stay untouched. Failures are logged.
    VlrDataTypes::VlrRetVal ConvertToScript(
        const std::vector<std::vector<std::wstring>>& commandSets,
        std::vector<std::uint8_t>& scriptBytes) const;

    // Told after the command count (0 sent) and after each script command sent (how many of how
    // many); answering false stops the upload there, between two transactions.
    using ScriptProgress = std::function<bool(std::uint32_t sent, std::uint32_t total)>;

    // Replaces the device's copy of sequence `number` (sent as one byte) with the script of the
    // command sets. A failure stops at once; the device may be left with a partial upload,
    // which the next upload of that number begins again. A stop asked for by the progress
    // callback answers -1 as well, with a Warning in the log.
    VlrDataTypes::VlrRetVal UploadSequence(
        std::uint32_t number, const std::vector<std::vector<std::wstring>>& commandSets,
        const ScriptProgress& progress = nullptr);
    // Asks the device to run an uploaded sequence.
    VlrDataTypes::VlrRetVal StartSequence(std::uint32_t number);
    // What this model started on the device and has not stopped since: a sequence (it may have
    // ended by itself meanwhile) and each LED's pulse train. A start sent without an answer
    // counts, since the device may have acted on it.
    bool HasStartedSequence() const { return sequenceStarted_; }
    bool IsPulsing(int index) const;
    // Stops the running sequence, then switches every LED output off, one command per LED.
    VlrDataTypes::VlrRetVal StopSequenceExecution();

    // The "#Micro Controller Settings" section of a settings file, lines ending in CR LF.
    std::wstring GetSettingsSection() const;

    MicroControllerConnection& GetConnection() { return connection_; }
    const MicroControllerCommandConversion& GetCommandConversion() const { return conversion_; }
    // The text of the latest failure this model composed.
    const std::wstring& GetMessageText() const { return messageText_; }

  private:
    bool HasColorLabel(const std::wstring& colorLabel) const;
    VlrDataTypes::VlrRetVal SetLEDOutput(int index, bool on);
    VlrDataTypes::VlrRetVal SendOutputMask(std::uint16_t mask);
    VlrDataTypes::VlrRetVal SendPulseTrain(std::uint32_t deviceLedId, std::uint64_t widthOn,
                                           std::uint64_t widthOff, std::uint32_t loopCount);
    VlrDataTypes::VlrRetVal SendSequenceCommand(std::uint8_t commandId, std::uint32_t number);
    VlrDataTypes::VlrRetVal SendScript(std::uint32_t number,
                                       const std::vector<std::uint8_t>& scriptBytes,
                                       const ScriptProgress& progress);
    VlrDataTypes::VlrRetVal ExecuteCommand(const std::uint8_t* payload, std::uint16_t size);
    VlrDataTypes::VlrRetVal Fail(const std::wstring& message) const;
    void LogError(const std::wstring& message) const;
    void LogNotice(const std::wstring& message) const;

    LogFile* log_ = nullptr;
    MicroControllerConnection connection_;
    MicroControllerCommandConversion conversion_;
    // Written by const lookups too, since they report their failures like every other operation.
    mutable std::wstring messageText_;
    std::vector<LEDRecord> leds_;
    std::uint16_t outputMask_ = 0;
    bool sequenceStarted_ = false;
    // Indexed like leds_.
    std::vector<bool> pulsing_;
    std::uint32_t portNumber_ = kDefaultPortNumber;
};
