#pragma once

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

// What the window remembers between runs besides the settings: the settings files opened or
// saved last (newest first), the folder each file dialog showed last, and the operator's
// choices of the window's own (the log filter, the grid's column widths). Paths are the core's
// (one character per byte of the name), so the state file holds them byte for byte.
class RecentFiles {
  public:
    static constexpr std::size_t kMaxFiles = 8;

    // A file used now goes to the top, once, and the oldest beyond kMaxFiles is dropped.
    void Add(const std::wstring& path);
    // A file that could not be opened leaves the list.
    void Remove(const std::wstring& path);
    const std::vector<std::wstring>& Files() const { return files_; }

    // The folder of the last file chosen in a dialog of this kind ("settings", "sequence").
    std::wstring LastFolder(const std::wstring& kind) const;
    void SetLastFolder(const std::wstring& kind, const std::wstring& folder);

    // A choice of the window's own ("logFilter", "gridColumns"), one word naming a text of one
    // line; empty when none was kept.
    std::wstring Option(const std::wstring& name) const;
    void SetOption(const std::wstring& name, const std::wstring& value);

    // The state file: one "recent PATH", "folder KIND PATH" or "option NAME VALUE" per line;
    // other lines are skipped.
    std::wstring ToText() const;
    static RecentFiles FromText(const std::wstring& text);

  private:
    std::vector<std::wstring> files_;
    std::vector<std::pair<std::wstring, std::wstring>> folders_;
    std::vector<std::pair<std::wstring, std::wstring>> options_;
};
