#include "ui/GridColumnWidths.h"

#include <algorithm>
#include <sstream>

namespace GridColumnWidths {

namespace {

constexpr int kWidestColumn = 10000;

}  // namespace

std::vector<int> Fit(const std::vector<int>& least, const std::vector<int>& needed,
                     const std::vector<int>& comfortable, int available) {
    const auto at = [](const std::vector<int>& values, std::size_t column) {
        return column < values.size() ? values[column] : 0;
    };
    std::vector<int> widths(least.size());
    long long total = 0;
    long long above = 0;
    long long below = 0;
    for (std::size_t column = 0; column < least.size(); ++column) {
        widths[column] = std::max(least[column], at(needed, column));
        total += widths[column];
        above += widths[column] - least[column];
        below += std::max(0, at(comfortable, column) - widths[column]);
    }
    // Nothing above the least (an empty grid in a narrow window): nothing to share.
    if (total > available && above > 0) {
        const long long room = std::max<long long>(0, available - (total - above));
        for (std::size_t column = 0; column < widths.size(); ++column) {
            widths[column] =
                least[column] + static_cast<int>((widths[column] - least[column]) * room / above);
        }
    } else if (total <= available && below > 0) {
        const long long room = std::min<long long>(available - total, below);
        for (std::size_t column = 0; column < widths.size(); ++column) {
            const int missing = std::max(0, at(comfortable, column) - widths[column]);
            widths[column] += static_cast<int>(missing * room / below);
        }
    }
    return widths;
}

std::wstring ToText(const std::vector<int>& widths) {
    std::wstring text;
    for (const int width : widths) {
        text += (text.empty() ? L"" : L" ") + std::to_wstring(width);
    }
    return text;
}

std::vector<int> FromText(const std::wstring& text, std::size_t columns) {
    std::wistringstream in(text);
    std::vector<int> widths;
    for (int width = 0; in >> width;) {
        if (width <= 0 || width > kWidestColumn) {
            return {};
        }
        widths.push_back(width);
    }
    if (!in.eof() || widths.size() != columns) {
        return {};
    }
    return widths;
}

}  // namespace GridColumnWidths
