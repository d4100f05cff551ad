#include "ui/KeyboardShortcuts.h"

#include <cwctype>

namespace KeyboardShortcuts {

std::wstring WithoutMnemonic(const std::wstring& text) {
    std::wstring plain;
    for (std::size_t index = 0; index < text.size(); ++index) {
        if (text[index] == L'&' && index + 1 < text.size()) {
            ++index;
        }
        plain += text[index];
    }
    return plain;
}

std::wstring MnemonicKey(const std::wstring& text) {
    for (std::size_t index = 0; index + 1 < text.size(); ++index) {
        if (text[index] == L'&') {
            if (text[index + 1] != L'&') {
                return std::wstring(1, static_cast<wchar_t>(std::towupper(text[index + 1])));
            }
            ++index;
        }
    }
    return {};
}

std::vector<Row> List(const std::vector<Action>& actions) {
    std::vector<Row> rows;
    for (const Action& action : actions) {
        std::wstring path;
        bool reachable = !action.menus.empty();
        for (const std::wstring& menu : action.menus) {
            const std::wstring key = MnemonicKey(menu);
            reachable = reachable && !key.empty();
            path += path.empty() ? L"Alt+" + key : L", " + key;
        }
        const std::wstring key = MnemonicKey(action.text);
        reachable = reachable && !key.empty();
        path += L", " + key;
        std::wstring keys = action.shortcut;
        if (reachable) {
            keys += keys.empty() ? path : L"  (" + path + L")";
        }
        rows.push_back(Row{WithoutMnemonic(action.text), keys});
    }
    return rows;
}

}  // namespace KeyboardShortcuts
