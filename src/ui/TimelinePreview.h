#pragma once

#include <QWidget>
#include <optional>

#include "ui/TimelinePlot.h"

class QLabel;
class QScrollArea;

// The picture of the selected sequence over time (TimelinePlot says where everything goes),
// with zoom buttons, Ctrl+wheel zoom and a cursor at the running sequence's time.
class TimelinePreview final : public QWidget {
  public:
    explicit TimelinePreview(QWidget* parent = nullptr);

    // `deviceNote`: one line under the plot on what the device may add; none when empty.
    void ShowListing(const TimelineListing& listing, const std::wstring& deviceNote = L"");
    void Clear(const std::wstring& message);
    // Nothing hides the cursor.
    void SetCursorTime(std::optional<double> ms);
    void ZoomBy(int factor);
    // The whole plot; less leaves it scrolling.
    QSize sizeHint() const override;
    const TimelinePlot& Plot() const { return plot_; }

  protected:
    // The plot fits the scroll area's viewport, which resizes after this widget does.
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void Relayout();

    TimelinePlot plot_;
    std::optional<double> cursorMs_;
    int fullHeight_ = 0;
    QScrollArea* scroll_ = nullptr;
    QWidget* canvas_ = nullptr;
    QLabel* deviceNote_ = nullptr;
    friend class TimelineCanvas;
};
