#pragma once

#include <string>
#include <vector>

// The sequence grid's column widths, in pixels.
namespace GridColumnWidths {

// Each column as wide as it needs (its header and its cells), and as wide as is comfortable
// when there is room; never narrower than its least (its header). Short of room for what the
// columns need, those above their least give up the excess in proportion to what they are
// above it; room left after what they need goes to the columns below their comfortable width.
std::vector<int> Fit(const std::vector<int>& least, const std::vector<int>& needed,
                     const std::vector<int>& comfortable, int available);

// The operator's widths in the window's state file: "85 115 115".
std::wstring ToText(const std::vector<int>& widths);
// Nothing unless the text holds `columns` widths of a visible column each: a setup file with
// other LEDs makes another grid.
std::vector<int> FromText(const std::wstring& text, std::size_t columns);

}  // namespace GridColumnWidths
