#pragma once

#include <string>
#include <vector>

// The "Keyboard Shortcuts" list, built from the window's own actions so that it cannot go
// stale: each action with its shortcut, or else the keys that reach it through the menus.
namespace KeyboardShortcuts {

struct Action {
    // The titles of the menus that lead to it, outermost first, with their '&' marks.
    std::vector<std::wstring> menus;
    // As the action shows it, with its '&' mark.
    std::wstring text;
    // As the platform writes it ("Ctrl+Z"); empty when it has none.
    std::wstring shortcut;
};

struct Row {
    std::wstring action;
    std::wstring keys;
    bool operator==(const Row&) const = default;
};

// "&Open" gives "Open"; "&&" stands for one '&'.
std::wstring WithoutMnemonic(const std::wstring& text);
// The letter after the single '&', upper case; empty when there is none.
std::wstring MnemonicKey(const std::wstring& text);
// "Alt+F, O" for Open in File; the shortcut comes first when there is one. An action without
// either is listed with empty keys, so that the gap shows.
std::vector<Row> List(const std::vector<Action>& actions);

}  // namespace KeyboardShortcuts
