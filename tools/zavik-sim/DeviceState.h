#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "foundation/DeviceLimits.h"

// One 10-byte script command as uploaded, kept exactly as received.
using ScriptRecord = std::array<std::uint8_t, 10>;

// A pulse train as carried by the device: widths in 0.1 ms units.
struct PulseTrain {
    std::uint64_t widthOn = 0;
    std::uint64_t widthOff = 0;
    std::uint32_t loopCount = 0;

    bool IsStop() const { return widthOn == 0 && widthOff == 0 && loopCount == 0; }
    bool operator==(const PulseTrain&) const = default;
};

// An upload between BeginSequenceUpload and EndSequenceUpload.
struct ScriptUploadInProgress {
    std::uint8_t number = 0;
    std::optional<std::uint32_t> commandCount;
    std::vector<ScriptRecord> records;
    std::vector<bool> received;

    std::size_t ReceivedCount() const;
};

// What the emulated firmware remembers. Every operation returns the device status it answers
// with (DeviceStatus codes), and changes nothing when that status is not Success.
class DeviceState {
  public:
    // The LEDs are wired to device LED IDs 0..2.
    static constexpr std::uint8_t kLedCount = 3;
    // Sequence numbers 0..254.
    static constexpr auto kSequenceCount = static_cast<std::uint8_t>(DeviceLimits::kSequenceCount);
    // The script memory: one sequence holds at most this many script commands.
    static constexpr std::uint32_t kMaxScriptCommands = 65536;

    std::uint8_t SetOutputs(std::uint16_t mask);
    std::uint8_t SetIntensity(std::uint8_t ledId, std::uint8_t carried);
    // A train with all parameters zero stops the LED's train.
    std::uint8_t SetPulseTrain(std::uint8_t ledId, const PulseTrain& train);

    // A new BeginSequenceUpload abandons an unfinished upload; the stored sequence of that
    // number is replaced only when its upload ends complete.
    std::uint8_t BeginUpload(std::uint8_t number);
    std::uint8_t SetCommandCount(std::uint8_t number, std::uint32_t count);
    std::uint8_t SetScriptCommand(std::uint8_t number, std::uint32_t index,
                                  const ScriptRecord& record);
    std::uint8_t EndUpload(std::uint8_t number);

    std::uint8_t StartSequence(std::uint8_t number);
    std::uint8_t StopSequence();

    std::uint16_t OutputMask() const { return outputMask_; }
    // The byte last carried for the LED (255 - intensity), none before the first.
    std::optional<std::uint8_t> CarriedIntensity(std::uint8_t ledId) const;
    // The running pulse train of the LED, none when stopped or never started.
    std::optional<PulseTrain> PulseTrainOf(std::uint8_t ledId) const;
    const std::map<std::uint8_t, std::vector<ScriptRecord>>& Sequences() const {
        return sequences_;
    }
    const std::optional<ScriptUploadInProgress>& Upload() const { return upload_; }
    std::optional<std::uint8_t> RunningSequence() const { return running_; }

    // The state as lines of text, one fact per line, in a fixed order (the state file).
    std::wstring Describe() const;

  private:
    bool IsUploading(std::uint8_t number) const;
    std::wstring DescribeLed(std::uint8_t ledId) const;

    std::uint16_t outputMask_ = 0;
    std::array<std::optional<std::uint8_t>, kLedCount> carried_;
    std::array<std::optional<PulseTrain>, kLedCount> trains_;
    std::map<std::uint8_t, std::vector<ScriptRecord>> sequences_;
    std::optional<ScriptUploadInProgress> upload_;
    std::optional<std::uint8_t> running_;
};
