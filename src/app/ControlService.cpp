#include "app/ControlService.h"

#include <utility>

#include "app/ApplicationCore.h"
#include "app/DeviceQueue.h"
#include "app/DeviceSession.h"
#include "app/Json.h"
#include "app/ManualControl.h"
#include "app/SequenceFiles.h"
#include "app/SequenceRun.h"
#include "app/UploadState.h"
#include "foundation/TextConversion.h"

using ControlProtocol::Op;
using ControlProtocol::PulseAction;
using ControlProtocol::Request;

namespace {

// Progress of an upload reaches subscribers a few times a second and at each sequence's end: an
// event per script command would flood every client.
constexpr std::chrono::milliseconds kProgressInterval{50};

std::string Utf8(const std::wstring& text) {
    return JsonText(text).get<std::string>();
}

}  // namespace

ControlService::ControlService(ApplicationCore& core, DeviceSession& session, ManualControl& manual,
                               DeviceQueue& queue, ControlCause owner)
    : core_(core),
      session_(session),
      manual_(manual),
      queue_(queue),
      owner_(owner),
      stopCause_(owner) {
    core_.SetRunListener([this](const ApplicationCore::RunNotice& notice) { RunNoticed(notice); });
}

ControlService::~ControlService() {
    core_.SetRunListener(nullptr);
}

void ControlService::AddLogMessage(LogLevel level, const std::wstring& message) {
    if (next_ != nullptr) {
        next_->AddLogMessage(level, message);
    }
    if (level > LogLevel::Warning) {
        return;
    }
    ControlCause by = owner_;
    {
        const std::lock_guard lock(mutex_);
        by = jobCause_.value_or(owner_);
    }
    Publish("message", by, {{"level", Utf8(LogLevelName(level))}, {"text", Utf8(message)}});
}

void ControlService::Publish(const std::string& name, const ControlCause& by, Json fields) {
    by.AddTo(fields);
    events_.Publish(ControlEvent{name, CurrentLocalTime(), std::move(fields)});
}

void ControlService::Start() {
    queue_.Post([this] {
        View first = Look();
        const std::lock_guard lock(mutex_);
        view_ = std::move(first);
    });
}

bool ControlService::Busy() const {
    const std::lock_guard lock(mutex_);
    return activity_ != Activity::Idle;
}

// On the device queue: the core may be read here.
ControlService::View ControlService::Look() {
    MicroController& device = core_.GetMicroController();
    View view;
    view.connected = session_.IsConnected();
    view.port = session_.PortName();
    view.firmware = session_.FirmwareVersion();
    view.simulated = session_.IsSimulated();
    view.outputMask = device.GetOutputMask();
    for (int index = 0; index < device.GetLEDCount(); ++index) {
        LEDRecord led;
        device.GetLEDInfo(index, led);
        const bool on = ((view.outputMask >> led.deviceLedId) & 1u) != 0;
        Json json{{"label", JsonText(led.colorLabel)},
                  {"deviceLedId", led.deviceLedId},
                  {"on", on},
                  {"intensity", led.intensity},
                  {"widthOnMs", JsonNumber(led.pulse.widthOn)},
                  {"widthOffMs", JsonNumber(led.pulse.widthOff)},
                  {"loopCount", led.pulse.loopCount}};
        view.leds.push_back({led.colorLabel, on, led.intensity, std::move(json)});
    }
    const SequenceContainer& sequences = core_.GetSequenceContainer();
    for (const std::uint32_t number : sequences.UsedSequenceNumbers()) {
        double duration = 0.0;
        const bool timed =
            sequences.GetSequenceDuration(number, duration) == VlrDataTypes::VLR_SUCCESS;
        view.sequences.push_back({number, sequences.GetSequenceName(number),
                                  sequences.GetCommandSets(number).size(),
                                  timed ? std::optional(duration) : std::nullopt});
    }
    view.sequenceText = SequenceFiles::SettingsSection(sequences);
    return view;
}

void ControlService::Settle(const ControlCause& by) {
    if (session_.CloseIfHungUp()) {
        const std::lock_guard lock(mutex_);
        uploadedNumbers_.clear();
    }
    View now = Look();
    View before;
    {
        const std::lock_guard lock(mutex_);
        before = std::exchange(view_, now);
        if (!now.connected) {
            uploadedNumbers_.clear();
        }
    }
    if (now.connected && (!before.connected || now.port != before.port)) {
        Publish("connected", by,
                {{"port", JsonText(now.port)},
                 {"firmware", JsonText(now.firmware)},
                 {"simulated", now.simulated}});
    } else if (!now.connected && before.connected) {
        Publish("disconnected", by);
    }
    for (std::size_t index = 0; index < now.leds.size(); ++index) {
        const LedView& led = now.leds[index];
        const bool changed = index >= before.leds.size() || before.leds[index].on != led.on ||
                             before.leds[index].intensity != led.intensity;
        if (changed) {
            Publish("led", by,
                    {{"label", JsonText(led.label)}, {"on", led.on}, {"intensity", led.intensity}});
        }
    }
}

void ControlService::Queue(const ControlCause& by, const Answer& answer, Job work) {
    queue_.Post([this, by, answer, work = std::move(work)] {
        {
            const std::lock_guard lock(mutex_);
            jobCause_ = by;
        }
        // The answer leaves after the state it reports is what status and the events say.
        std::string line;
        work([&line](const std::string& text) { line = text; });
        Settle(by);
        {
            const std::lock_guard lock(mutex_);
            jobCause_.reset();
        }
        if (!line.empty()) {
            answer(line);
        }
    });
}

std::string ControlService::FailureSince(std::uint64_t errorsBefore,
                                         const std::string& fallback) const {
    LogFile& log = core_.GetLogFile();
    return log.GetErrorCount() > errorsBefore ? Utf8(log.GetLastError()) : fallback;
}

ControlService::Json ControlService::LedsJson() const {
    Json leds = Json::array();
    for (const LedView& led : view_.leds) {
        leds.push_back(led.json);
    }
    return leds;
}

ControlService::Json ControlService::StatusFields() const {
    // The log's own lock is taken before this one when a message arrives: never the reverse.
    const std::wstring logFile = core_.GetLogFile().GetFullPath();
    const std::lock_guard lock(mutex_);
    static constexpr const char* kStates[] = {"Connected", "Uploading", "Running"};
    Json fields{{"state", view_.connected ? kStates[static_cast<int>(activity_)] : "Disconnected"},
                {"port", JsonText(view_.port)},
                {"firmware", JsonText(view_.firmware)},
                {"simulated", view_.simulated}};
    if (activity_ == Activity::Running) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(
            runEnd_ - std::chrono::steady_clock::now());
        fields["sequence"] = runSequence_;
        fields["timeLeftMs"] = std::max<std::int64_t>(left.count(), 0);
    }
    fields["uploaded"] =
        view_.connected && !uploadedNumbers_.empty() && uploadedText_ == view_.sequenceText;
    fields["outputMask"] = view_.outputMask;
    fields["leds"] = LedsJson();
    fields["dataDirectory"] = JsonText(core_.GetDataDirectory());
    fields["logFile"] = JsonText(logFile);
    return fields;
}

ControlService::Json ControlService::SequencesFields() const {
    const std::lock_guard lock(mutex_);
    Json list = Json::array();
    for (const SequenceView& sequence : view_.sequences) {
        list.push_back({{"number", sequence.number},
                        {"name", JsonText(sequence.name)},
                        {"steps", sequence.steps},
                        {"durationMs",
                         sequence.durationMs ? JsonMilliseconds(*sequence.durationMs) : Json()}});
    }
    return Json{{"sequences", std::move(list)}};
}

std::string ControlService::Refusal(const Request& request) const {
    const std::lock_guard lock(mutex_);
    const bool needsDevice = request.op == Op::Upload || request.op == Op::Run ||
                             request.op == Op::Stop || request.op == Op::StopAll ||
                             (request.op == Op::Led && !request.intensity);
    if (needsDevice && !view_.connected) {
        return "Not connected to the Zavik Driver.";
    }
    const bool waitsForIdle = request.op == Op::Upload || request.op == Op::Run ||
                              request.op == Op::Disconnect || request.op == Op::Led ||
                              request.op == Op::Connect;
    if (waitsForIdle && activity_ == Activity::Uploading) {
        return "Busy: the sequences are being uploaded.";
    }
    if (waitsForIdle && activity_ == Activity::Running) {
        return "Busy: sequence " + std::to_string(runSequence_) + " is running.";
    }
    return "";
}

void ControlService::Handle(const Request& request, const ControlCause& by, Answer answer) {
    if (const std::string refused = Refusal(request); !refused.empty()) {
        answer(ControlProtocol::ErrorLine(request.id, refused));
        return;
    }
    const auto ok = [id = request.id, answer](Json fields = Json::object()) {
        answer(ControlProtocol::OkLine(id, fields));
    };
    switch (request.op) {
        case Op::Status:
            return ok(StatusFields());
        case Op::Sequences:
            return ok(SequencesFields());
        case Op::Subscribe:
            return ok();
        case Op::Connect:
            return Queue(by, answer,
                         [this, request](const Answer& later) { Connect(request, later); });
        case Op::Disconnect:
            return Queue(by, answer, [this, id = request.id](const Answer& later) {
                session_.Disconnect();
                later(ControlProtocol::OkLine(id, Json::object()));
            });
        case Op::Upload:
            return Upload(request, by, answer);
        case Op::Run:
            return Run(request, by, answer);
        case Op::Stop:
        case Op::StopAll:
            InterruptDeviceWork(by);
            return Queue(by, answer, [this, request](const Answer& later) {
                const OperationResult stopped =
                    request.op == Op::Stop ? core_.StopSequence() : session_.StopAll();
                later(stopped ? ControlProtocol::OkLine(
                                    request.id,
                                    {{"outputMask", core_.GetMicroController().GetOutputMask()}})
                              : ControlProtocol::ErrorLine(request.id, Utf8(stopped.Message())));
            });
        case Op::Led:
            return Queue(by, answer, [this, request](const Answer& later) { Led(request, later); });
    }
}

void ControlService::Connect(const Request& request, const Answer& answer) {
    const std::uint64_t errorsBefore = core_.GetLogFile().GetErrorCount();
    if (session_.Connect() != VlrDataTypes::VLR_SUCCESS) {
        const std::string reason = !session_.LastError().empty()
                                       ? Utf8(session_.LastError())
                                       : FailureSince(errorsBefore, "Unable to connect.");
        answer(ControlProtocol::ErrorLine(request.id, reason));
        return;
    }
    MicroController& device = core_.GetMicroController();
    Json intensities = Json::array();
    for (int index = 0; index < device.GetLEDCount(); ++index) {
        LEDRecord led;
        device.GetLEDInfo(index, led);
        intensities.push_back({{"label", JsonText(led.colorLabel)}, {"intensity", led.intensity}});
    }
    answer(ControlProtocol::OkLine(request.id, {{"port", JsonText(session_.PortName())},
                                                {"portNumber", device.GetPortNumber()},
                                                {"firmware", JsonText(session_.FirmwareVersion())},
                                                {"simulated", session_.IsSimulated()},
                                                {"intensities", std::move(intensities)}}));
}

void ControlService::Upload(const Request& request, const ControlCause& by, const Answer& answer) {
    {
        const std::lock_guard lock(mutex_);
        activity_ = Activity::Uploading;
    }
    cancelUpload_ = false;
    Queue(by, answer, [this, request, by](const Answer& answer) {
        UploadState reports(kProgressInterval);
        const auto progress = reports.Recorder([&](const SequenceUpload::Progress& step) {
            Publish("uploadProgress", by,
                    {{"sequence", step.sequenceNumber},
                     {"sent", step.commandsSent},
                     {"total", step.commandCount},
                     {"index", step.sequenceIndex},
                     {"count", step.sequenceCount}});
        });
        const SequenceUpload::Result result = core_.UploadSequences(progress, &cancelUpload_);
        Json sequences = Json::array();
        std::set<std::uint32_t> numbers;
        for (const SequenceUpload::Entry& entry : result.sequences) {
            numbers.insert(entry.number);
            sequences.push_back(
                {{"number", entry.number},
                 {"name", JsonText(core_.GetSequenceContainer().GetSequenceName(entry.number))},
                 {"scriptCommands", entry.scriptCommands}});
        }
        const bool sent = result.status.Ok() && !result.cancelled;
        {
            const std::lock_guard lock(mutex_);
            activity_ = Activity::Idle;
            // A failed or cancelled upload leaves the device's copy unknown.
            uploadedNumbers_ = sent ? numbers : std::set<std::uint32_t>();
            uploadedText_ = SequenceFiles::SettingsSection(core_.GetSequenceContainer());
        }
        if (!sent) {
            answer(ControlProtocol::ErrorLine(request.id, result.cancelled
                                                              ? "The upload was cancelled."
                                                              : Utf8(result.status.Message())));
            return;
        }
        Publish("uploadDone", by, {{"sequences", sequences.size()}});
        answer(ControlProtocol::OkLine(
            request.id, {{"sequences", sequences}, {"snapshot", JsonText(result.snapshotPath)}}));
    });
}

void ControlService::InterruptDeviceWork(const ControlCause& by) {
    cancelUpload_ = true;
    {
        const std::lock_guard lock(mutex_);
        if (activity_ != Activity::Running) {
            return;
        }
        stopRequested_ = true;
        stopAsked_ = true;
        stopCause_ = by;
    }
    stopSignal_.notify_all();
}

bool ControlService::WaitForStop(std::chrono::milliseconds limit) {
    std::unique_lock lock(mutex_);
    stopSignal_.wait_for(lock, limit, [this] { return stopRequested_; });
    return std::exchange(stopRequested_, false);
}

void ControlService::Run(const Request& request, const ControlCause& by, const Answer& answer) {
    const std::uint32_t number = request.sequence;
    {
        const std::lock_guard lock(mutex_);
        std::string refused;
        const SequenceView* defined = nullptr;
        for (const SequenceView& sequence : view_.sequences) {
            defined = sequence.number == number ? &sequence : defined;
        }
        if (!defined) {
            refused = "Sequence " + std::to_string(number) + " is not defined.";
        } else if (uploadedNumbers_.count(number) == 0 || uploadedText_ != view_.sequenceText) {
            refused = "Sequence " + std::to_string(number) +
                      " is not uploaded: the device does not hold the current sequences.";
        }
        if (!refused.empty()) {
            answer(ControlProtocol::ErrorLine(request.id, refused));
            return;
        }
        activity_ = Activity::Running;
        runSequence_ = number;
        // The answer may reach the script before the run's start is noticed: a status asked at
        // once shows the time the run will take, not none.
        runEnd_ =
            SequenceRun::EndOf(std::chrono::steady_clock::now(), defined->durationMs.value_or(0.0));
        stopRequested_ = false;
    }
    // The answer goes at the start, long before the job (the whole run) ends.
    Queue(by, answer, [this, request, number, by, answer](const Answer&) {
        const auto tick = [&](SequenceRun::Milliseconds elapsed, SequenceRun::Milliseconds) {
            if (elapsed.count() != 0) {
                return;
            }
            double durationMs = 0.0;
            core_.GetSequenceContainer().GetSequenceDuration(number, durationMs);
            answer(ControlProtocol::OkLine(
                request.id,
                {{"sequence", number},
                 {"name", JsonText(core_.GetSequenceContainer().GetSequenceName(number))},
                 {"durationMs", JsonMilliseconds(durationMs)},
                 {"startedAt", IsoLocalTime(CurrentLocalTime())}}));
        };
        const SequenceRun::Result run = core_.RunSequence(
            number, [this](SequenceRun::Milliseconds limit) { return WaitForStop(limit); }, tick,
            nullptr, by.Description());
        {
            const std::lock_guard lock(mutex_);
            activity_ = Activity::Idle;
            stopRequested_ = false;
        }
        if (!run.started) {
            answer(ControlProtocol::ErrorLine(request.id, Utf8(run.status.Message())));
        }
    });
}

// Every run of the core, the service's own and the front end's, is published from here.
void ControlService::RunNoticed(const ApplicationCore::RunNotice& notice) {
    ControlCause by = owner_;
    {
        const std::lock_guard lock(mutex_);
        by = jobCause_.value_or(owner_);
        if (!notice.ended) {
            activity_ = Activity::Running;
            runSequence_ = notice.number;
            runEnd_ = SequenceRun::EndOf(std::chrono::steady_clock::now(), notice.durationMs);
            stopAsked_ = false;
        } else {
            activity_ = Activity::Idle;
            if (!notice.completed && stopAsked_) {
                by = stopCause_;
            }
        }
    }
    if (!notice.ended) {
        Publish("sequenceStarted", by,
                {{"sequence", notice.number}, {"durationMs", JsonMilliseconds(notice.durationMs)}});
        return;
    }
    Publish("sequenceEnded", by,
            {{"sequence", notice.number},
             {"result", notice.completed ? "completed" : "stopped"},
             {"stimulusRecord", JsonText(notice.stimulusRecord)}});
}

void ControlService::Led(const Request& request, const Answer& answer) {
    MicroController& device = core_.GetMicroController();
    const std::uint64_t errorsBefore = core_.GetLogFile().GetErrorCount();
    const int index = device.FindLEDIndex(request.label);
    OperationResult result =
        OperationResult::Failure(L"There is no LED labelled \"" + request.label + L"\".");
    if (index < 0 && core_.GetLogFile().GetErrorCount() > errorsBefore) {
        result = OperationResult::Failure(core_.GetLogFile().GetLastError());
    }
    if (index >= 0 && request.on) {
        result = manual_.SwitchLED(index, *request.on);
    } else if (index >= 0 && request.intensity) {
        result = manual_.SetIntensity(index, *request.intensity);
    } else if (index >= 0 && request.pulse == PulseAction::Stop) {
        result = manual_.StopPulse(index);
    } else if (index >= 0) {
        LEDRecord led;
        device.GetLEDInfo(index, led);
        PulseParameters pulse = led.pulse;
        pulse.widthOn = request.widthOnMs.value_or(pulse.widthOn);
        pulse.widthOff = request.widthOffMs.value_or(pulse.widthOff);
        pulse.loopCount = request.loops.value_or(pulse.loopCount);
        result = manual_.SetPulse(index, pulse);
        if (result) {
            result = manual_.StartPulse(index);
        }
    }
    if (!result) {
        answer(ControlProtocol::ErrorLine(request.id, Utf8(result.Message())));
        return;
    }
    View now = Look();
    Json leds = Json::array();
    for (const LedView& led : now.leds) {
        leds.push_back(led.json);
    }
    answer(ControlProtocol::OkLine(request.id,
                                   {{"outputMask", now.outputMask}, {"leds", std::move(leds)}}));
}
