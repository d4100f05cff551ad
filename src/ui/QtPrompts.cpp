#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QThread>

#include "foundation/TextConversion.h"
#include "ui/Prompts.h"
#include "ui/RecentFiles.h"

namespace {

const QString kSettingsFilter = QStringLiteral("Settings Files (*.cfg)");
const std::wstring kSettingsKind = L"settings";

void PrepareSettingsDialog(QFileDialog& dialog) {
    dialog.setNameFilter(kSettingsFilter);
}

}  // namespace

std::wstring CorePath(const QString& path) {
    return NarrowToWide(QFile::encodeName(path).toStdString());
}

void QtPrompts::ShowError(QWidget* parent, const QString& caption, const QString& text) {
    QMessageBox box(QMessageBox::Critical, caption.isEmpty() ? QStringLiteral("Ostra") : caption,
                    text, QMessageBox::Ok, parent);
    // A box may carry a command to run (the port permission's fix): it can be copied.
    box.setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    box.exec();
}

bool QtPrompts::Confirm(QWidget* parent, const QString& caption, const QString& text) {
    return QMessageBox::question(parent, caption, text, QMessageBox::Ok | QMessageBox::Cancel,
                                 QMessageBox::Cancel) == QMessageBox::Ok;
}

QString QtPrompts::OpenSettingsFile(QWidget* parent) {
    QFileDialog dialog(parent, QStringLiteral("Process Settings File"));
    PrepareSettingsDialog(dialog);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    return ChooseFile(dialog, kSettingsKind);
}

QString QtPrompts::SaveSettingsFile(QWidget* parent) {
    QFileDialog dialog(parent, QStringLiteral("Save Session File"));
    PrepareSettingsDialog(dialog);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.selectFile(QStringLiteral("OstraSettings.cfg"));
    return ChooseFile(dialog, kSettingsKind);
}

QString Prompts::ChooseFile(QFileDialog& dialog, const std::wstring&) {
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setDefaultSuffix(QStringLiteral("cfg"));
    return dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty()
               ? dialog.selectedFiles().constFirst()
               : QString();
}

// Dialogs of one kind open where the last one was left.
QString QtPrompts::ChooseFile(QFileDialog& dialog, const std::wstring& kind) {
    if (memory_ != nullptr && !memory_->LastFolder(kind).empty()) {
        dialog.setDirectory(QFile::decodeName(WideToNarrow(memory_->LastFolder(kind)).c_str()));
    }
    const QString chosen = Prompts::ChooseFile(dialog, kind);
    if (memory_ != nullptr && !chosen.isEmpty()) {
        memory_->SetLastFolder(kind, CorePath(QFileInfo(chosen).absolutePath()));
    }
    return chosen;
}

Prompts::CloseChoice QtPrompts::AskStopBeforeClose(QWidget* parent) {
    QMessageBox box(QMessageBox::Question, QStringLiteral("Ostra"),
                    QStringLiteral("A sequence or a pulse train is running on the Zavik Driver.  "
                                   "Stop it before closing?"),
                    QMessageBox::NoButton, parent);
    QPushButton* stop = box.addButton(QStringLiteral("Stop"), QMessageBox::AcceptRole);
    QPushButton* leave =
        box.addButton(QStringLiteral("Leave Running"), QMessageBox::DestructiveRole);
    box.addButton(QMessageBox::Cancel);
    box.setDefaultButton(stop);
    box.exec();
    if (box.clickedButton() == stop) {
        return CloseChoice::Stop;
    }
    return box.clickedButton() == leave ? CloseChoice::LeaveRunning : CloseChoice::Cancel;
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
