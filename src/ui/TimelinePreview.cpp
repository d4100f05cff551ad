#include "ui/TimelinePreview.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QScrollArea>
#include <QScrollBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <algorithm>

// The drawing surface inside the scroll area; it only paints what the plot says.
class TimelineCanvas final : public QWidget {
  public:
    explicit TimelineCanvas(TimelinePreview& preview) : preview_(preview) {
        setObjectName(QStringLiteral("timelineCanvas"));
    }

  protected:
    void paintEvent(QPaintEvent*) override {
        const TimelinePlot& plot = preview_.plot_;
        QPainter painter(this);
        painter.fillRect(rect(), palette().base());
        const QColor text = palette().text().color();
        for (std::size_t row = 0; row < plot.Rows().size(); ++row) {
            const int top = plot.RowTop(row);
            if (row % 2 == 1) {
                painter.fillRect(0, top, width(), plot.RowHeight(), palette().alternateBase());
            }
            painter.setPen(text);
            painter.drawText(QRect(2, top, plot.LabelWidth() - 4, plot.RowHeight()),
                             Qt::AlignVCenter | Qt::AlignLeft,
                             QString::fromStdWString(plot.Rows()[row]));
        }
        // Palette colours, so that the bars stand out on a light and on a dark base.
        for (const TimelinePlot::Bar& bar : plot.Bars()) {
            const TimelinePlot::Rect r = plot.BarRect(bar);
            painter.fillRect(r.x, r.y, r.width, r.height,
                             bar.ttl ? palette().windowText() : palette().highlight());
        }
        const int footer = plot.RowTop(plot.Rows().size());
        painter.setPen(text);
        if (plot.DurationMs() > 0.0) {
            const int end = plot.X(plot.DurationMs());
            painter.drawLine(end, plot.Top(), end, footer);
            const QString total = QStringLiteral("%1 ms").arg(
                QString::fromStdWString(FormatTimelineTime(plot.DurationMs())));
            painter.drawText(QRect(0, footer, end, plot.RowHeight()),
                             Qt::AlignVCenter | Qt::AlignRight, total);
        }
        if (!plot.Message().empty()) {
            painter.drawText(QRect(2, footer, width(), plot.RowHeight()),
                             Qt::AlignVCenter | Qt::AlignLeft,
                             QString::fromStdWString(plot.Message()));
        }
        if (preview_.cursorMs_) {
            const int x = plot.X(*preview_.cursorMs_);
            painter.setPen(QPen(Qt::red, 1));
            painter.drawLine(x, 0, x, footer);
        }
    }

    void wheelEvent(QWheelEvent* event) override {
        if (event->modifiers() & Qt::ControlModifier) {
            preview_.ZoomBy(event->angleDelta().y() > 0 ? 2 : -2);
            event->accept();
        } else {
            QWidget::wheelEvent(event);
        }
    }

  private:
    TimelinePreview& preview_;
};

TimelinePreview::TimelinePreview(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("timelinePreview"));
    canvas_ = new TimelineCanvas(*this);
    scroll_ = new QScrollArea;
    scroll_->setWidget(canvas_);
    scroll_->viewport()->installEventFilter(this);
    scroll_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    // In a small window the grid keeps its rows and the preview scrolls.
    scroll_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    const auto button = [this](const char* name, const char* text, int factor) {
        auto* zoom = new QToolButton;
        zoom->setObjectName(QString::fromLatin1(name));
        zoom->setText(QString::fromLatin1(text));
        connect(zoom, &QToolButton::clicked, this, [this, factor] { ZoomBy(factor); });
        return zoom;
    };
    auto* buttons = new QVBoxLayout;
    buttons->addWidget(button("zoomIn", "+", 2));
    buttons->addWidget(button("zoomOut", "-", -2));
    buttons->addStretch();
    auto* plot = new QHBoxLayout;
    plot->addWidget(scroll_, 1);
    plot->addLayout(buttons);
    deviceNote_ = new QLabel;
    deviceNote_->setObjectName(QStringLiteral("timelineDeviceNote"));
    // One line that never widens the window; the whole of it is also the tooltip.
    deviceNote_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(plot, 1);
    layout->addWidget(deviceNote_);
    Clear(L"");
}

void TimelinePreview::ShowListing(const TimelineListing& listing, const std::wstring& deviceNote) {
    plot_.SetListing(listing);
    deviceNote_->setText(QString::fromStdWString(deviceNote));
    deviceNote_->setToolTip(deviceNote_->text());
    deviceNote_->setVisible(!deviceNote.empty());
    Relayout();
}

void TimelinePreview::Clear(const std::wstring& message) {
    plot_.Clear(message);
    deviceNote_->hide();
    Relayout();
}

void TimelinePreview::SetCursorTime(std::optional<double> ms) {
    cursorMs_ = ms;
    if (ms) {
        scroll_->ensureVisible(plot_.X(*ms), 0, plot_.LabelWidth(), 0);
    }
    canvas_->update();
}

// A positive factor zooms in, a negative one out.
void TimelinePreview::ZoomBy(int factor) {
    plot_.SetZoom(factor > 0 ? plot_.Zoom() * factor : plot_.Zoom() / -factor);
    Relayout();
}

bool TimelinePreview::eventFilter(QObject* watched, QEvent* event) {
    if (watched == scroll_->viewport() && event->type() == QEvent::Resize) {
        Relayout();
    }
    return QWidget::eventFilter(watched, event);
}

void TimelinePreview::Relayout() {
    plot_.SetRowHeight(fontMetrics().height() + fontMetrics().height() / 4);
    plot_.SetWidth(scroll_->viewport()->width());
    canvas_->resize(plot_.PlotWidth(), plot_.PlotHeight());
    const int chrome =
        scroll_->horizontalScrollBar()->sizeHint().height() + 2 * scroll_->frameWidth();
    fullHeight_ = plot_.PlotHeight() + chrome;
    setMinimumHeight(2 * plot_.RowHeight() + chrome);
    updateGeometry();
    canvas_->update();
}

QSize TimelinePreview::sizeHint() const {
    return {QWidget::sizeHint().width(), std::max(fullHeight_, minimumHeight())};
}
