#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <nlohmann/json.hpp>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "app/ApplicationCore.h"
#include "app/ControlEvents.h"
#include "app/ControlProtocol.h"
#include "app/SequenceUpload.h"
#include "foundation/LogMessageReceiver.h"

class DeviceQueue;
class DeviceSession;
class ManualControl;

// The operations of the control socket over one program's application core: each request is
// checked as the window's action and ostra-cli's command check it, then runs on the program's
// device queue behind whatever else was asked for. What the device work changes (connection,
// LEDs, upload, runs) and every log message at Warning or above are published as events,
// naming who caused them.
//
// `status` and `sequences` are answered at once from the state the last device job left, so a
// running sequence (which holds the queue until its end) never delays them.
class ControlService final : public LogMessageReceiver {
  public:
    using Json = nlohmann::ordered_json;
    // Receives the one answer line of a request; called on any thread.
    using Answer = std::function<void(const std::string& line)>;

    // Everything must outlive the service. `owner` causes what the program does on its own.
    ControlService(ApplicationCore& core, DeviceSession& session, ManualControl& manual,
                   DeviceQueue& queue, ControlCause owner);
    ~ControlService() override;
    ControlService(const ControlService&) = delete;
    ControlService& operator=(const ControlService&) = delete;

    // The log's messages pass on to `next` (the front end's message list); install the service
    // as the core's receiver.
    void SetNextReceiver(LogMessageReceiver* next) { next_ = next; }
    void AddLogMessage(LogLevel level, const std::wstring& message) override;

    ControlEvents& Events() { return events_; }

    // Takes the first look at the core (on the queue); call once the core has started.
    void Start();
    // Checks and carries out one request; `answer` is called exactly once.
    void Handle(const ControlProtocol::Request& request, const ControlCause& by, Answer answer);

    // On the device queue, after a job of the front end's own: publishes what it changed.
    void Settle(const ControlCause& by);
    // A running sequence is asked to stop and an upload to cancel at its next transaction.
    void InterruptDeviceWork(const ControlCause& by);
    // True from the moment a run or an upload is accepted until its job ended.
    bool Busy() const;

  private:
    struct LedView {
        std::wstring label;
        bool on = false;
        std::uint32_t intensity = 0;
        Json json;
    };
    struct SequenceView {
        std::uint32_t number = 0;
        std::wstring name;
        std::size_t steps = 0;
        std::optional<double> durationMs;
    };
    struct View {
        bool connected = false;
        std::wstring port;
        std::wstring firmware;
        bool simulated = false;
        std::uint16_t outputMask = 0;
        std::vector<LedView> leds;
        std::vector<SequenceView> sequences;
        std::wstring sequenceText;
    };
    enum class Activity { Idle, Uploading, Running };

    Json StatusFields() const;
    Json SequencesFields() const;
    Json LedsJson() const;
    // The refusal of an op the current state does not allow; empty when it may go ahead.
    std::string Refusal(const ControlProtocol::Request& request) const;
    // Device work, given where to leave its answer.
    using Job = std::function<void(const Answer& answer)>;
    // Queues `work` with `by` as the cause of what it changes, then settles, then answers.
    void Queue(const ControlCause& by, const Answer& answer, Job work);
    void Publish(const std::string& name, const ControlCause& by, Json fields = Json::object());

    View Look();
    void Connect(const ControlProtocol::Request& request, const Answer& answer);
    void Upload(const ControlProtocol::Request& request, const ControlCause& by,
                const Answer& answer);
    void Run(const ControlProtocol::Request& request, const ControlCause& by, const Answer& answer);
    void Led(const ControlProtocol::Request& request, const Answer& answer);
    bool WaitForStop(std::chrono::milliseconds limit);
    void RunNoticed(const ApplicationCore::RunNotice& notice);
    std::string FailureSince(std::uint64_t errorsBefore, const std::string& fallback) const;

    ApplicationCore& core_;
    DeviceSession& session_;
    ManualControl& manual_;
    DeviceQueue& queue_;
    const ControlCause owner_;
    LogMessageReceiver* next_ = nullptr;
    ControlEvents events_;

    mutable std::mutex mutex_;
    View view_;
    Activity activity_ = Activity::Idle;
    std::uint32_t runSequence_ = 0;
    std::chrono::steady_clock::time_point runEnd_;
    // What the device holds: the sequences' text and numbers as the last upload sent them.
    std::wstring uploadedText_;
    std::set<std::uint32_t> uploadedNumbers_;
    // The cause of the device job running now (the log's messages are said to be its).
    std::optional<ControlCause> jobCause_;

    std::condition_variable stopSignal_;
    bool stopRequested_ = false;
    // A stop was asked for during the current run, by stopCause_.
    bool stopAsked_ = false;
    ControlCause stopCause_;
    std::atomic<bool> cancelUpload_{false};
};
