#pragma once

#include <QDialog>

class QMainWindow;

// Help > Keyboard Shortcuts: every action of the window's menus and every other action with a
// shortcut, read from the window when the dialog opens. A menu whose property kNotListed is
// true (a list of files) is left out.
class KeyboardShortcutsDialog final : public QDialog {
    Q_OBJECT
  public:
    static constexpr const char* kNotListed = "ostraNotListed";
    explicit KeyboardShortcutsDialog(QMainWindow& window);
};
