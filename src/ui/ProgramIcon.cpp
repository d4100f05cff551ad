#include "ui/ProgramIcon.h"

#include <QPainter>
#include <QPixmap>
#include <QPolygonF>

namespace {

// data/ostra.svg on its 64 x 64 grid: an LED above a pulse train.
QPixmap Drawn(int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(size / 64.0, size / 64.0);
    const QColor blue(0x3f, 0xa9, 0xf5);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0x1d, 0x2b, 0x3a));
    painter.drawRoundedRect(QRectF(2, 2, 60, 60), 12, 12);
    painter.setBrush(blue);
    painter.drawEllipse(QPointF(32, 24), 12, 12);
    painter.setBrush(QColor(0xd9, 0xf0, 0xff));
    painter.drawEllipse(QPointF(32, 24), 6, 6);
    painter.setPen(QPen(blue, 2, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(QLineF(32, 5, 32, 9));
    painter.drawLine(QLineF(14, 12, 17, 15));
    painter.drawLine(QLineF(50, 12, 47, 15));
    QPolygonF train;
    for (int x = 8; x < 56; x += 16) {
        train << QPointF(x, 54) << QPointF(x + 8, 54) << QPointF(x + 8, 44) << QPointF(x + 16, 44);
    }
    train << QPointF(56, 54);
    painter.setPen(QPen(QColor(0xf5, 0xf5, 0xf5), 3, Qt::SolidLine, Qt::FlatCap, Qt::RoundJoin));
    painter.setBrush(Qt::NoBrush);
    painter.drawPolyline(train);
    return pixmap;
}

}  // namespace

QIcon ProgramIcon() {
    QIcon drawn;
    for (const int size : {16, 24, 32, 48, 64, 128}) {
        drawn.addPixmap(Drawn(size));
    }
    return QIcon::fromTheme(QStringLiteral("ostra"), drawn);
}
