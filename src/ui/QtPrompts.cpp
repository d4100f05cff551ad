#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QThread>

#include "foundation/TextConversion.h"
#include "ui/Prompts.h"

namespace {

const QString kSettingsFilter = QStringLiteral("Settings Files (*.cfg)");

// Qt's own file dialog matches the filter without regard to case, so "*.cfg" also lists
// "*.CFG"; some platform dialogs would not.
QFileDialog* SettingsFileDialog(QWidget* parent, const QString& title) {
    auto* dialog = new QFileDialog(parent, title);
    dialog->setAttribute(Qt::WA_DeleteOnClose, false);
    dialog->setOption(QFileDialog::DontUseNativeDialog);
    dialog->setNameFilter(kSettingsFilter);
    dialog->setDefaultSuffix(QStringLiteral("cfg"));
    return dialog;
}

QString RunFileDialog(QFileDialog* dialog) {
    const QString chosen = dialog->exec() == QDialog::Accepted && !dialog->selectedFiles().isEmpty()
                               ? dialog->selectedFiles().constFirst()
                               : QString();
    delete dialog;
    return chosen;
}

}  // namespace

std::wstring CorePath(const QString& path) {
    return NarrowToWide(QFile::encodeName(path).toStdString());
}

void QtPrompts::ShowError(QWidget* parent, const QString& caption, const QString& text) {
    QMessageBox::critical(parent, caption.isEmpty() ? QStringLiteral("Ostra") : caption, text);
}

bool QtPrompts::Confirm(QWidget* parent, const QString& caption, const QString& text) {
    return QMessageBox::question(parent, caption, text, QMessageBox::Ok | QMessageBox::Cancel,
                                 QMessageBox::Cancel) == QMessageBox::Ok;
}

QString QtPrompts::OpenSettingsFile(QWidget* parent) {
    QFileDialog* dialog = SettingsFileDialog(parent, QStringLiteral("Process Settings File"));
    dialog->setFileMode(QFileDialog::ExistingFile);
    dialog->setAcceptMode(QFileDialog::AcceptOpen);
    return RunFileDialog(dialog);
}

QString QtPrompts::SaveSettingsFile(QWidget* parent) {
    QFileDialog* dialog = SettingsFileDialog(parent, QStringLiteral("Save Session File"));
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->selectFile(QStringLiteral("OstraSettings.cfg"));
    return RunFileDialog(dialog);
}

void PromptNotifier::ShowMessageBox(const std::wstring& caption, const std::wstring& text) {
    const QString qCaption = QString::fromStdWString(caption);
    const QString qText = QString::fromStdWString(text);
    if (QThread::currentThread() == qApp->thread()) {
        prompts_.ShowError(nullptr, qCaption, qText);
        return;
    }
    QMetaObject::invokeMethod(
        qApp, [this, qCaption, qText] { prompts_.ShowError(nullptr, qCaption, qText); },
        Qt::QueuedConnection);
}
