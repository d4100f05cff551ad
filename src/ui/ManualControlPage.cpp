#include "ui/ManualControlPage.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLineEdit>
#include <memory>

#include "app/ManualControl.h"
#include "ui/LedPanel.h"
#include "ui/Prompts.h"
#include "ui/WindowStates.h"

ManualControlPage::ManualControlPage(ManualControl& manual, Prompts& prompts, JobRunner runJob,
                                     QWidget* parent)
    : QWidget(parent), manual_(manual), prompts_(prompts), runJob_(std::move(runJob)) {
    auto* layout = new QHBoxLayout(this);
    layout->addStretch();
    clock_.start();
    pulseTimer_.setSingleShot(true);
    connect(&pulseTimer_, &QTimer::timeout, this, &ManualControlPage::PulseTimerFired);
}

void ManualControlPage::ShowSnapshot(const DeviceSnapshot& snapshot) {
    snapshot_ = snapshot;
    auto* row = static_cast<QHBoxLayout*>(layout());
    while (panels_.size() < snapshot.leds.size()) {
        const int index = static_cast<int>(panels_.size());
        auto* panel = new LedPanel(this);
        panel->setObjectName(QStringLiteral("ledPanel%1").arg(index));
        // Equal gaps around the panels, as many as there are LEDs.
        row->addWidget(panel, 0, Qt::AlignTop);
        row->addStretch();
        connect(panel, &LedPanel::intensityChosen, this,
                [this, index](const QString& text) { ChooseIntensity(index, text); });
        connect(panel, &LedPanel::pulseEdited, this, [this, index] { EditPulse(index); });
        connect(panel, &LedPanel::ledToggleClicked, this, [this, index] { ToggleLED(index); });
        connect(panel, &LedPanel::pulseToggleClicked, this, [this, index] { TogglePulse(index); });
        panels_.push_back(panel);
    }
    for (std::size_t index = 0; index < panels_.size() && index < snapshot.leds.size(); ++index) {
        panels_[index]->ShowRecord(snapshot.leds[index]);
    }
}

// A device job disables the panels for a moment, and Qt moves the focus out of them (to the
// tabs): it comes back when they return, unless the operator has put it elsewhere meanwhile, so
// Tab, Shift+Tab and Enter leave it where the operator expects and typing goes on there.
void ManualControlPage::ApplyView(const WindowView& view) {
    QWidget* focus = QApplication::focusWidget();
    const bool ownFocus = focus != nullptr && isAncestorOf(focus);
    for (std::size_t index = 0; index < panels_.size() && index < view.panels.size(); ++index) {
        panels_[index]->ApplyView(view.panels[index]);
    }
    if (ownFocus && !focus->isEnabled()) {
        heldFocus_ = focus;
        focusMovedTo_ = QApplication::focusWidget();
    } else if (heldFocus_ != nullptr && heldFocus_->isEnabled()) {
        if (QApplication::focusWidget() == focusMovedTo_) {
            heldFocus_->setFocus(Qt::TabFocusReason);
        }
        heldFocus_ = nullptr;
    }
}

void ManualControlPage::ChooseIntensity(int index, const QString& text) {
    const std::uint32_t stored = snapshot_.leds[static_cast<std::size_t>(index)].intensity;
    LedPanel* panel = Panel(index);
    // Read: the field shows the stored value again after the change.
    panel->IntensityField()->setModified(false);
    if (text.trimmed() == QString::number(stored)) {
        return;
    }
    const LedPanelTexts::Entry<std::uint32_t> entry =
        LedPanelTexts::ReadIntensity(text.toStdWString());
    if (!entry.value) {
        // Restored first, so the focus leaving for the box finds nothing new to read.
        panel->IntensityField()->setText(QString::number(stored));
        prompts_.ShowError(this, QString::fromStdWString(LedPanelTexts::kErrorCaption),
                           QString::fromStdWString(entry.error));
        panel->FocusField(panel->IntensityField());
        return;
    }
    const std::uint32_t value = *entry.value;
    runJob_([this, index, value] { manual_.SetIntensity(index, value); }, [] {});
}

void ManualControlPage::EditPulse(int index) {
    LedPanel* panel = Panel(index);
    const LEDRecord& led = snapshot_.leds[static_cast<std::size_t>(index)];
    using LedPanelTexts::PulseField;
    const LedPanelTexts::PulseEntry entry = LedPanelTexts::ReadPulse(
        led.pulse, panel->ChangedText(PulseField::WidthOn),
        panel->ChangedText(PulseField::WidthOff), panel->ChangedText(PulseField::LoopCount));
    if (!entry.value) {
        QLineEdit* invalid = panel->PulseField(entry.invalidField);
        const double stored =
            entry.invalidField == PulseField::WidthOn ? led.pulse.widthOn : led.pulse.widthOff;
        invalid->setText(entry.invalidField == PulseField::LoopCount
                             ? QString::number(led.pulse.loopCount)
                             : QString::fromStdWString(LedPanelTexts::Width(stored)));
        prompts_.ShowError(this, QString::fromStdWString(LedPanelTexts::kErrorCaption),
                           QString::fromStdWString(entry.error));
        panel->FocusField(invalid);
        return;
    }
    // Read: the fields show the stored values again after the change.
    for (const PulseField field :
         {PulseField::WidthOn, PulseField::WidthOff, PulseField::LoopCount}) {
        panel->PulseField(field)->setModified(false);
    }
    const PulseParameters pulse = *entry.value;
    if (pulse.widthOn == led.pulse.widthOn && pulse.widthOff == led.pulse.widthOff &&
        pulse.loopCount == led.pulse.loopCount) {
        panel->ShowRecord(led);
        return;
    }
    runJob_([this, index, pulse] { manual_.SetPulse(index, pulse); }, [] {});
}

void ManualControlPage::ToggleLED(int index) {
    const bool on = !snapshot_.IsOn(static_cast<std::size_t>(index));
    runJob_([this, index, on] { manual_.SwitchLED(index, on); }, [] {});
}

void ManualControlPage::TogglePulse(int index) {
    if (pulsingPanel_ == index) {
        StopPulse([](bool) {});
        return;
    }
    auto started = std::make_shared<bool>(false);
    runJob_([this, index, started] { *started = manual_.StartPulse(index).Ok(); },
            [this, index, started] {
                if (*started) {
                    pulsingPanel_ = index;
                    ArmPulseTimer();
                }
            });
}

void ManualControlPage::StopPulse(std::function<void(bool stopped)> done) {
    const int index = pulsingPanel_;
    if (index < 0) {
        done(true);
        return;
    }
    auto stopped = std::make_shared<bool>(false);
    runJob_([this, index, stopped] { *stopped = manual_.StopPulse(index).Ok(); },
            [this, index, stopped, done = std::move(done)] {
                if (*stopped && pulsingPanel_ == index) {
                    PulseStopped();
                }
                done(*stopped);
            });
}

void ManualControlPage::PulseStopped() {
    pulsingPanel_ = -1;
    deadline_.Disarm();
    pulseTimer_.stop();
}

// A finite train ends by itself on the device after (on + off) x loops; the timer then stops
// it here too, so the panel returns to "Start Pulse".
void ManualControlPage::ArmPulseTimer() {
    const std::optional<std::int64_t> length =
        PulseDeadline::TrainLength(snapshot_.leds[static_cast<std::size_t>(pulsingPanel_)].pulse);
    if (!length) {
        return;
    }
    deadline_.Arm(clock_.elapsed(), *length);
    pulseTimer_.start(deadline_.NextInterval(clock_.elapsed()));
}

void ManualControlPage::PulseTimerFired() {
    if (!deadline_.IsArmed()) {
        return;
    }
    if (!deadline_.HasPassed(clock_.elapsed())) {
        pulseTimer_.start(deadline_.NextInterval(clock_.elapsed()));
        return;
    }
    deadline_.Disarm();
    // Only ever a stop: a train that was stopped meanwhile is not started again.
    StopPulse([](bool) {});
}
