#include "ui/FontUnits.h"

#include <QHeaderView>
#include <QTableView>
#include <QWidget>
#include <cmath>

namespace {

constexpr double kClassicCharacterWidth = 6.0;
constexpr double kClassicLineHeight = 13.0;

}  // namespace

int FontUnits::Width(const QWidget* widget, int classicPixels) {
    return static_cast<int>(std::lround(classicPixels * widget->fontMetrics().averageCharWidth() /
                                        kClassicCharacterWidth));
}

int FontUnits::Height(const QWidget* widget, int classicPixels) {
    return static_cast<int>(
        std::lround(classicPixels * widget->fontMetrics().height() / kClassicLineHeight));
}

int FontUnits::TableHeight(const QTableView* table, int rows) {
    return table->horizontalHeader()->sizeHint().height() +
           rows * table->verticalHeader()->defaultSectionSize() + 2 * table->frameWidth();
}
