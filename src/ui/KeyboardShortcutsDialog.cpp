#include "ui/KeyboardShortcutsDialog.h"

#include <QAction>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QScrollBar>
#include <QSet>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "ui/KeyboardShortcuts.h"

namespace {

using KeyboardShortcuts::Action;

Action Describe(const QAction* action, const std::vector<std::wstring>& menus) {
    return Action{menus, action->text().toStdWString(),
                  action->shortcut().toString(QKeySequence::NativeText).toStdWString()};
}

void CollectMenu(const QList<QAction*>& actions, const std::vector<std::wstring>& menus,
                 std::vector<Action>& found, QSet<const QAction*>& seen) {
    for (const QAction* action : actions) {
        seen.insert(action);
        if (action->isSeparator()) {
            continue;
        }
        if (const QMenu* menu = action->menu()) {
            // Its entries are files, not commands: they come and go with the files used.
            if (menu->property(KeyboardShortcutsDialog::kNotListed).toBool()) {
                continue;
            }
            std::vector<std::wstring> inner = menus;
            inner.push_back(menu->title().toStdWString());
            CollectMenu(menu->actions(), inner, found, seen);
        } else {
            found.push_back(Describe(action, menus));
        }
    }
}

}  // namespace

KeyboardShortcutsDialog::KeyboardShortcutsDialog(QMainWindow& window) : QDialog(&window) {
    setObjectName(QStringLiteral("keyboardShortcutsDialog"));
    setWindowTitle(QStringLiteral("Keyboard Shortcuts"));
    std::vector<Action> actions;
    QSet<const QAction*> seen;
    CollectMenu(window.menuBar()->actions(), {}, actions, seen);
    for (const QAction* action : window.findChildren<QAction*>()) {
        if (!seen.contains(action) && !action->shortcut().isEmpty() && !action->isSeparator()) {
            actions.push_back(Describe(action, {}));
        }
    }
    const std::vector<KeyboardShortcuts::Row> rows = KeyboardShortcuts::List(actions);
    auto* table = new QTableWidget(static_cast<int>(rows.size()), 2);
    table->setObjectName(QStringLiteral("shortcutList"));
    table->setHorizontalHeaderLabels({QStringLiteral("Action"), QStringLiteral("Keys")});
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->verticalHeader()->hide();
    for (std::size_t row = 0; row < rows.size(); ++row) {
        const int at = static_cast<int>(row);
        table->setItem(at, 0, new QTableWidgetItem(QString::fromStdWString(rows[row].action)));
        table->setItem(at, 1, new QTableWidgetItem(QString::fromStdWString(rows[row].keys)));
    }
    table->resizeColumnsToContents();
    table->horizontalHeader()->setStretchLastSection(true);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(table);
    layout->addWidget(buttons);
    // Every row in sight: as tall as the rows need, within the screen (beyond it, a scroll bar).
    const int rowsHeight = table->horizontalHeader()->sizeHint().height() +
                           table->verticalHeader()->length() + 2 * table->frameWidth();
    const QScreen* screen = window.screen();
    const int screenHeight = screen != nullptr ? screen->availableGeometry().height() : rowsHeight;
    table->setMinimumHeight(std::min(rowsHeight, screenHeight * 4 / 5));
    // Wide enough for the two columns.
    resize(table->horizontalHeader()->length() + table->verticalScrollBar()->sizeHint().width() +
               layout->contentsMargins().left() + layout->contentsMargins().right() +
               2 * table->frameWidth(),
           sizeHint().height());
}
