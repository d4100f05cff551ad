#pragma once

#include <QElapsedTimer>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <vector>

#include "ui/DeviceSnapshot.h"
#include "ui/LedPanelTexts.h"
#include "ui/PulseDeadline.h"

class LedPanel;
class ManualControl;
class Prompts;
struct WindowView;

// The "  Manual Control  " page: one panel per LED, side by side. Every command runs as a
// device job; the page keeps which panel pulses and the end of a finite train.
class ManualControlPage final : public QWidget {
    Q_OBJECT
  public:
    // Runs a job on the device worker, then the continuation on the window's thread, after
    // which the window shows the new state.
    using JobRunner = std::function<void(std::function<void()> job, std::function<void()> done)>;

    ManualControlPage(ManualControl& manual, Prompts& prompts, JobRunner runJob,
                      QWidget* parent = nullptr);

    // One panel per LED of the first snapshot; later snapshots refresh their values.
    void ShowSnapshot(const DeviceSnapshot& snapshot);
    void ApplyView(const WindowView& view);

    int PulsingPanel() const { return pulsingPanel_; }
    // The running train has been stopped elsewhere (before a settings file is read).
    void PulseStopped();
    // A job that stops the running train, if any; done gets whether none runs any more.
    void StopPulse(std::function<void(bool stopped)> done);
    LedPanel* Panel(int index) const { return panels_.at(static_cast<std::size_t>(index)); }
    int PanelCount() const { return static_cast<int>(panels_.size()); }
    bool IsPulseTimerArmed() const { return deadline_.IsArmed(); }

  private:
    void ChooseIntensity(int index, const QString& text);
    // The fields the operator changed are read together; a refusal names the first invalid one.
    void EditPulse(int index);
    void ToggleLED(int index);
    void TogglePulse(int index);
    void ArmPulseTimer();
    void PulseTimerFired();

    ManualControl& manual_;
    Prompts& prompts_;
    JobRunner runJob_;
    std::vector<LedPanel*> panels_;
    DeviceSnapshot snapshot_;
    int pulsingPanel_ = -1;
    PulseDeadline deadline_;
    QElapsedTimer clock_;
    QTimer pulseTimer_;
    // The panel widget that had the focus when a job disabled it, and where Qt moved it then.
    QPointer<QWidget> heldFocus_;
    QPointer<QWidget> focusMovedTo_;
};
