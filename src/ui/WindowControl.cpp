#include "ui/WindowControl.h"

#include <QMetaObject>
#include <algorithm>
#include <utility>

#include "app/ApplicationCore.h"
#include "app/SequenceRun.h"

WindowControl::WindowControl(ApplicationCore& core, DeviceSession& session, ManualControl& manual,
                             RunJob runJob, QObject* parent)
    : QObject(parent),
      core_(core),
      runJob_(std::move(runJob)),
      service_(core, session, manual, *this, ControlCause::Window()),
      server_(service_) {}

WindowControl::~WindowControl() {
    StopServing();
}

void WindowControl::Start(LogMessageReceiver* next) {
    next_ = next;
    service_.SetNextReceiver(next);
    core_.GetLogFile().SetMessageReceiver(&service_);
    // Events come on the worker; the run's countdown is the window thread's.
    subscription_ = service_.Events().Add([this](const ControlEvent& event) {
        if (event.name != "sequenceStarted" && event.name != "sequenceEnded") {
            return;
        }
        const auto sequence = event.fields.value("sequence", std::uint32_t{0});
        const double durationMs = event.fields.value("durationMs", 0.0);
        QMetaObject::invokeMethod(
            this,
            [this, name = event.name, sequence, durationMs] { Follow(name, sequence, durationMs); },
            Qt::QueuedConnection);
    });
    service_.Start();
    if (const OperationResult started = server_.Start(); !started) {
        core_.GetLogFile().WriteMessage(LogLevel::Warning, started.Message());
    }
}

void WindowControl::StopServing() {
    server_.Stop();
    if (subscription_ != 0) {
        service_.Events().Remove(subscription_);
        subscription_ = 0;
    }
    if (next_ != nullptr) {
        core_.GetLogFile().SetMessageReceiver(next_);
        next_ = nullptr;
    }
}

// From the server's thread: the window's thread hands it to the worker in order with its own.
void WindowControl::Post(std::function<void()> job) {
    QMetaObject::invokeMethod(
        this, [this, job = std::move(job)] { runJob_(job, [] {}); }, Qt::QueuedConnection);
}

void WindowControl::Follow(const std::string& name, std::uint32_t sequence, double durationMs) {
    if (name == "sequenceStarted") {
        runningSequence_ = sequence;
        runLengthMs_ = SequenceRun::TimerLength(durationMs).count();
        runClock_.start();
    } else {
        runningSequence_.reset();
    }
    emit RunChanged();
}

std::int64_t WindowControl::RunLeftMs() const {
    return runningSequence_ ? std::max<std::int64_t>(runLengthMs_ - runClock_.elapsed(), 0) : 0;
}
