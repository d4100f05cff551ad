#pragma once

#include <QDialog>

class QMainWindow;

// Help > Keyboard Shortcuts: every action of the window's menus and every other action with a
// shortcut, read from the window when the dialog opens.
class KeyboardShortcutsDialog final : public QDialog {
    Q_OBJECT
  public:
    explicit KeyboardShortcutsDialog(QMainWindow& window);
};
