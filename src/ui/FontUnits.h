#pragma once

class QTableView;
class QWidget;

// Sizes of the window's classic layout, given for its 96-dpi dialog font (about 6 pixels per
// average character, 13 per line), turned into sizes for the font the widget really uses: the
// window keeps its proportions with a larger font, another desktop or a scaled screen.
namespace FontUnits {
int Width(const QWidget* widget, int classicPixels);
int Height(const QWidget* widget, int classicPixels);
// A table's height that shows its header and `rows` rows.
int TableHeight(const QTableView* table, int rows);
}  // namespace FontUnits
