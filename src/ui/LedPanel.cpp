#include "ui/LedPanel.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QVBoxLayout>

#include "ui/FontUnits.h"
#include "ui/WindowStates.h"

namespace {

QString Q(const std::wstring& text) {
    return QString::fromStdWString(text);
}

template <typename Widget>
Widget* Named(Widget* widget, const char* name) {
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

}  // namespace

LedPanel::LedPanel(QWidget* parent)
    : QFrame(parent),
      color_(Named(new QLabel, "color")),
      slider_(Named(new QSlider(Qt::Vertical), "slider")),
      intensity_(Named(new QLineEdit, "intensity")),
      percent_(Named(new QLabel, "percent")),
      maximumPowerText_(Named(new QLabel, "maximumPower")),
      power_(Named(new QLabel, "power")),
      ledToggle_(Named(new QPushButton, "ledToggle")),
      widthOn_(Named(new QLineEdit, "widthOn")),
      widthOff_(Named(new QLineEdit, "widthOff")),
      loopCount_(Named(new QLineEdit, "loopCount")),
      frequency_(Named(new QLabel, "frequency")),
      dutyCycle_(Named(new QLabel, "dutyCycle")),
      pulseToggle_(Named(new QPushButton, "pulseToggle")) {
    setFrameShape(QFrame::StyledPanel);
    QFont bold = color_->font();
    bold.setBold(true);
    color_->setFont(bold);
    color_->setAlignment(Qt::AlignCenter);
    // A vertical slider has its maximum at the top, as the operator expects "brighter is up".
    slider_->setRange(0, 255);
    slider_->setTickInterval(25);
    slider_->setTickPosition(QSlider::TicksBothSides);
    slider_->setPageStep(25);
    // The device learns the value when the slider is let go, not at every pixel of a drag.
    slider_->setTracking(false);
    intensity_->setMaximumWidth(FontUnits::Width(intensity_, 60));
    auto* digitsOnly = new QIntValidator(0, 2147483647, loopCount_);
    digitsOnly->setLocale(QLocale::c());
    loopCount_->setValidator(digitsOnly);
    for (QPushButton* toggle : {ledToggle_, pulseToggle_}) {
        toggle->setCheckable(true);
        toggle->setAutoDefault(false);
    }
    for (QLabel* label : {frequency_, dutyCycle_}) {
        label->setAlignment(Qt::AlignCenter);
    }

    auto* intensityBox = new QGridLayout;
    intensityBox->addWidget(new QLabel(QStringLiteral("255")), 0, 0, Qt::AlignHCenter);
    intensityBox->addWidget(slider_, 1, 0, 6, 1, Qt::AlignHCenter);
    intensityBox->addWidget(new QLabel(QStringLiteral("0")), 7, 0, Qt::AlignHCenter);
    intensityBox->addWidget(new QLabel(QStringLiteral("Intensity")), 1, 1);
    intensityBox->addWidget(intensity_, 2, 1);
    intensityBox->addWidget(percent_, 3, 1);
    intensityBox->addWidget(maximumPowerText_, 4, 1);
    intensityBox->addWidget(power_, 5, 1);
    intensityBox->addWidget(ledToggle_, 6, 1);

    auto* pulseBox = new QGroupBox(QStringLiteral("Pulse Properties"));
    auto* pulse = new QGridLayout(pulseBox);
    pulse->addWidget(new QLabel(QStringLiteral("Width On")), 0, 0);
    pulse->addWidget(widthOn_, 0, 1);
    pulse->addWidget(new QLabel(QStringLiteral("ms")), 0, 2);
    pulse->addWidget(new QLabel(QStringLiteral("Width Off")), 1, 0);
    pulse->addWidget(widthOff_, 1, 1);
    pulse->addWidget(new QLabel(QStringLiteral("ms")), 1, 2);
    pulse->addWidget(new QLabel(QStringLiteral("Loop Count:")), 2, 0);
    pulse->addWidget(loopCount_, 2, 1);
    pulse->addWidget(new QLabel(QStringLiteral("(0 value will loop continuously)")), 3, 0, 1, 3);
    pulse->addWidget(frequency_, 4, 0, 1, 3);
    pulse->addWidget(dutyCycle_, 5, 0, 1, 3);
    pulse->addWidget(pulseToggle_, 6, 0, 1, 3);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(color_);
    layout->addLayout(intensityBox, 1);
    layout->addWidget(pulseBox);

    // Reading order, whatever order the layouts adopted the widgets in.
    QWidget* order[] = {slider_,   intensity_, ledToggle_,  widthOn_,
                        widthOff_, loopCount_, pulseToggle_};
    for (std::size_t index = 1; index < std::size(order); ++index) {
        setTabOrder(order[index - 1], order[index]);
    }

    connect(slider_, &QSlider::sliderMoved, this, &LedPanel::ShowIntensityTexts);
    connect(slider_, &QSlider::valueChanged, this,
            [this](int value) { emit intensityChosen(QString::number(value)); });
    connect(intensity_, &QLineEdit::editingFinished, this,
            [this] { emit intensityChosen(intensity_->text()); });
    connect(widthOn_, &QLineEdit::editingFinished, this,
            [this] { emit pulseEdited(LedPanelTexts::PulseField::WidthOn); });
    connect(widthOff_, &QLineEdit::editingFinished, this,
            [this] { emit pulseEdited(LedPanelTexts::PulseField::WidthOff); });
    connect(loopCount_, &QLineEdit::editingFinished, this,
            [this] { emit pulseEdited(LedPanelTexts::PulseField::LoopCount); });
    connect(ledToggle_, &QPushButton::clicked, this, &LedPanel::ledToggleClicked);
    connect(pulseToggle_, &QPushButton::clicked, this, &LedPanel::pulseToggleClicked);
}

void LedPanel::ShowRecord(const LEDRecord& led) {
    color_->setText(Q(led.colorLabel));
    maximumPower_ = led.maximumPower;
    maximumPowerText_->setText(Q(LedPanelTexts::MaximumPower(led.maximumPower)));
    {
        const QSignalBlocker blocker(slider_);
        slider_->setValue(led.intensity);
    }
    ShowIntensityTexts(led.intensity);
    const auto show = [](QLineEdit* field, const QString& text) {
        if (!field->isModified()) {
            field->setText(text);
        }
    };
    show(intensity_, QString::number(led.intensity));
    show(widthOn_, Q(LedPanelTexts::Width(led.pulse.widthOn)));
    show(widthOff_, Q(LedPanelTexts::Width(led.pulse.widthOff)));
    show(loopCount_, QString::number(led.pulse.loopCount));
    frequency_->setText(Q(LedPanelTexts::Frequency(led.pulse.widthOn, led.pulse.widthOff)));
    dutyCycle_->setText(Q(LedPanelTexts::DutyCycle(led.pulse.widthOn, led.pulse.widthOff)));
}

void LedPanel::ApplyView(const PanelView& view) {
    slider_->setEnabled(view.slider);
    intensity_->setEnabled(view.intensity);
    ledToggle_->setEnabled(view.ledToggle);
    for (QLineEdit* field : {widthOn_, widthOff_, loopCount_}) {
        field->setEnabled(view.pulseEdits);
    }
    pulseToggle_->setEnabled(view.pulseToggle);
    ledToggle_->setChecked(view.ledToggleChecked);
    ledToggle_->setText(Q(view.ledToggleText));
    pulseToggle_->setChecked(view.pulseToggleChecked);
    pulseToggle_->setText(Q(view.pulseToggleText));
}

void LedPanel::FocusField(QLineEdit* field) {
    field->setFocus();
    field->selectAll();
}

QLineEdit* LedPanel::PulseField(LedPanelTexts::PulseField field) const {
    switch (field) {
        case LedPanelTexts::PulseField::WidthOn:
            return widthOn_;
        case LedPanelTexts::PulseField::WidthOff:
            return widthOff_;
        default:
            return loopCount_;
    }
}

std::optional<std::wstring> LedPanel::ChangedText(LedPanelTexts::PulseField field) const {
    const QLineEdit* edit = PulseField(field);
    return edit->isModified() ? std::optional(edit->text().toStdWString()) : std::nullopt;
}

void LedPanel::ShowIntensityTexts(int intensity) {
    percent_->setText(Q(LedPanelTexts::Percent(static_cast<std::uint32_t>(intensity))));
    power_->setText(Q(LedPanelTexts::Power(static_cast<std::uint32_t>(intensity), maximumPower_)));
}
