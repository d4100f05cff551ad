#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <cstdint>
#include <functional>
#include <optional>

#include "app/ControlServer.h"
#include "app/ControlService.h"
#include "app/DeviceQueue.h"

class ApplicationCore;
class DeviceSession;
class LogMessageReceiver;
class ManualControl;

// The control socket while the window is open. A script's requests become the window's own
// device jobs (the same worker, the same busy state, the panels and the status line refreshed
// after each, as after a click); what the window's own jobs change is published as the
// window's; and a script's run counts down in the status line as the window's own run does.
class WindowControl final : public QObject, private DeviceQueue {
    Q_OBJECT
  public:
    // Runs a job on the window's device worker, then `done` on the window's thread.
    using RunJob = std::function<void(std::function<void()> job, std::function<void()> done)>;

    WindowControl(ApplicationCore& core, DeviceSession& session, ManualControl& manual,
                  RunJob runJob, QObject* parent = nullptr);
    ~WindowControl() override;

    // Serves the socket; the log's messages pass through to `next`. A failure is logged as a
    // Warning: the window works on without it.
    void Start(LogMessageReceiver* next);
    // No more requests; the jobs already queued still run.
    void StopServing();

    // On the worker, after each of the window's own device jobs.
    void SettleWindowJob() { service_.Settle(ControlCause::Window()); }
    // The operator's Stop All or close: a script's run ends and its upload is cancelled.
    void Interrupt() { service_.InterruptDeviceWork(ControlCause::Window()); }

    // A script's run, for the status line.
    std::optional<std::uint32_t> RunningSequence() const { return runningSequence_; }
    std::int64_t RunLeftMs() const;

    ControlService& Service() { return service_; }

  signals:
    // A script's run started or ended.
    void RunChanged();

  private:
    void Post(std::function<void()> job) override;
    void Follow(const std::string& name, std::uint32_t sequence, double durationMs);

    ApplicationCore& core_;
    RunJob runJob_;
    ControlService service_;
    ControlServer server_;
    int subscription_ = 0;
    LogMessageReceiver* next_ = nullptr;
    std::optional<std::uint32_t> runningSequence_;
    std::int64_t runLengthMs_ = 0;
    QElapsedTimer runClock_;
};
