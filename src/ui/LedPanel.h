#pragma once

#include <QFrame>
#include <optional>
#include <string>

#include "device/LEDRecord.h"
#include "ui/LedPanelTexts.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QSlider;
struct PanelView;

// One LED's panel on the manual control page: intensity slider (maximum at the top) and field,
// percentage and power, the on/off toggle, the pulse parameters with their frequency and duty
// cycle, and the pulse toggle. It only shows; the page acts on its signals.
class LedPanel final : public QFrame {
    Q_OBJECT
  public:
    explicit LedPanel(QWidget* parent = nullptr);

    // The model's values for the LED; a field the operator is changing keeps its text.
    void ShowRecord(const LEDRecord& led);
    void ApplyView(const PanelView& view);
    // The field's text, focused and selected, after a refused entry.
    void FocusField(QLineEdit* field);

    QLineEdit* IntensityField() const { return intensity_; }
    QLineEdit* PulseField(LedPanelTexts::PulseField field) const;
    // The field's text when the operator changed it since it was shown, otherwise nothing.
    std::optional<std::wstring> ChangedText(LedPanelTexts::PulseField field) const;

  signals:
    void intensityChosen(const QString& text);
    void pulseEdited(LedPanelTexts::PulseField field);
    void ledToggleClicked();
    void pulseToggleClicked();

  private:
    void ShowIntensityTexts(int intensity);

    double maximumPower_ = 0.0;
    QLabel* color_;
    QSlider* slider_;
    QLineEdit* intensity_;
    QLabel* percent_;
    QLabel* maximumPowerText_;
    QLabel* power_;
    QPushButton* ledToggle_;
    QLineEdit* widthOn_;
    QLineEdit* widthOff_;
    QLineEdit* loopCount_;
    QLabel* frequency_;
    QLabel* dutyCycle_;
    QPushButton* pulseToggle_;
};
