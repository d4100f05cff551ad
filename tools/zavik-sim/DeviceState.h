#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "device/ScriptRunner.h"
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

// A change the device made at a moment, for the event record. Script commands report every
// output they set (as the timeline lists settings); commands from the PC and pulse trains report
// the outputs they change.
struct DeviceEvent {
    enum class Kind { Led, Ttl, Intensity, SequenceStart, SequenceEnd };
    std::uint64_t step = 0;  // device steps of 0.1 ms since the emulator's start
    Kind kind = Kind::Led;
    std::uint8_t which = 0;  // device LED ID, TTL bit or sequence number
    int value = 0;           // 1 on or high, 0 off or low; the intensity
    std::wstring source;     // "seq 3 command 5", "SetLEDOutputs", "pulse train"; how a run ended
};

// What the emulated firmware remembers. Every operation returns the device status it answers
// with (DeviceStatus codes), and changes nothing when that status is not Success.
class DeviceState {
  public:
    // The LEDs are wired to device LED IDs 0..2.
    static constexpr std::uint8_t kLedCount = 3;
    // The device LED ID of the first, second and third LED of the PC's table.
    static constexpr std::array<std::uint8_t, kLedCount> kIdByTablePosition{0, 2, 1};
    // TTL outputs 3..6 are wired.
    static constexpr std::uint8_t kFirstTtlBit = 3;
    static constexpr std::uint8_t kTtlCount = 4;
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

    // Time: the device's clock in steps of 0.1 ms since the emulator's start. AdvanceTo runs
    // every script command and pulse train edge due up to the step, each at its own step.
    std::uint64_t Now() const { return now_; }
    void AdvanceTo(std::uint64_t step);
    // The step of the next scheduled change, none when nothing runs.
    std::optional<std::uint64_t> NextDueStep() const;
    // Told of every change as it happens.
    void SetEventSink(std::function<void(const DeviceEvent&)> sink) { sink_ = std::move(sink); }
    // Names for the state file, in the PC's table order (at most kLedCount).
    void SetLedLabels(std::vector<std::wstring> labels) { labels_ = std::move(labels); }

    std::uint16_t OutputMask() const { return outputMask_; }
    std::uint8_t TtlMask() const { return ttlMask_; }
    // The intensity the LED runs at (255 - carried, or as a script set it); none before any.
    std::optional<std::uint8_t> Intensity(std::uint8_t ledId) const;
    // The step at which the running sequence started.
    std::uint64_t RunStart() const { return runStart_; }
    // The byte last carried for the LED (255 - intensity), none before the first.
    std::optional<std::uint8_t> CarriedIntensity(std::uint8_t ledId) const;
    // The running pulse train of the LED, none when stopped or never started.
    std::optional<PulseTrain> PulseTrainOf(std::uint8_t ledId) const;
    const std::map<std::uint8_t, std::vector<ScriptRecord>>& Sequences() const {
        return sequences_;
    }
    const std::optional<ScriptUploadInProgress>& Upload() const { return upload_; }
    // The stored script of a sequence, decoded; null when there is none.
    SharedScript StoredScript(std::uint32_t number) const { return ScriptOf(number); }
    std::optional<std::uint8_t> RunningSequence() const { return running_; }

    // The state as lines of text, one fact per line, in a fixed order (the state file).
    std::wstring Describe() const;

  private:
    struct PulseRun {
        std::uint64_t nextEdge = 0;
        bool on = false;
        std::uint32_t periods = 0;
    };
    bool IsUploading(std::uint8_t number) const;
    std::wstring DescribeLed(std::uint8_t ledId) const;
    std::wstring DescribeOutputs() const;
    void RunDueScript();
    void RunDuePulses();
    void EndRun(const std::wstring& how);
    void Emit(DeviceEvent::Kind kind, std::uint8_t which, int value, const std::wstring& source);
    void SetLed(std::uint8_t ledId, bool on, const std::wstring& source, bool always);
    void SetTtl(std::uint8_t bit, bool high, const std::wstring& source);
    void SetLedIntensity(std::uint8_t ledId, std::uint8_t value, const std::wstring& source,
                         bool always);
    SharedScript ScriptOf(std::uint32_t number) const;

    std::uint64_t now_ = 0;
    std::uint16_t outputMask_ = 0;
    std::uint8_t ttlMask_ = 0;
    std::array<std::optional<std::uint8_t>, kLedCount> intensity_;
    std::array<std::optional<PulseRun>, kLedCount> pulses_;
    std::map<std::uint8_t, SharedScript> scripts_;
    ScriptRunner runner_;
    std::uint64_t runStart_ = 0;
    std::function<void(const DeviceEvent&)> sink_;
    std::vector<std::wstring> labels_{L"Blue", L"Green", L"Red"};
    std::array<std::optional<std::uint8_t>, kLedCount> carried_;
    std::array<std::optional<PulseTrain>, kLedCount> trains_;
    std::map<std::uint8_t, std::vector<ScriptRecord>> sequences_;
    std::optional<ScriptUploadInProgress> upload_;
    std::optional<std::uint8_t> running_;
};
