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

namespace {

const char* const kChoice = "choice";

template <typename Choice>
QPushButton* AddChoice(QMessageBox& box, const QString& text, QMessageBox::ButtonRole role,
                       Choice choice) {
    QPushButton* button = box.addButton(text, role);
    button->setProperty(kChoice, static_cast<int>(choice));
    return button;
}

}  // namespace

int ChosenAnswer(const QMessageBox& box) {
    const QAbstractButton* clicked = box.clickedButton();
    const QAbstractButton* escape = box.escapeButton();
    const QAbstractButton* answer = clicked != nullptr ? clicked : escape;
    return answer != nullptr ? answer->property(kChoice).toInt() : 0;
}

// Stop is the default: Return leaves the device quiet.
std::unique_ptr<QMessageBox> CloseQuestion(QWidget* parent) {
    auto box = std::make_unique<QMessageBox>(
        QMessageBox::Question, QStringLiteral("Ostra"),
        QStringLiteral("An LED is on, or a sequence or a pulse train runs, on the Zavik Driver.  "
                       "Stop everything and switch every LED off before closing?"),
        QMessageBox::NoButton, parent);
    box->setObjectName(QStringLiteral("closeQuestion"));
    using Choice = Prompts::CloseChoice;
    QPushButton* stop =
        AddChoice(*box, QStringLiteral("Stop"), QMessageBox::AcceptRole, Choice::Stop);
    AddChoice(*box, QStringLiteral("Leave Running"), QMessageBox::DestructiveRole,
              Choice::LeaveRunning);
    QPushButton* cancel =
        AddChoice(*box, QStringLiteral("Cancel"), QMessageBox::RejectRole, Choice::Cancel);
    box->setDefaultButton(stop);
    box->setEscapeButton(cancel);
    return box;
}

// Opening is the default; Discard is never chosen by a stray key, and Escape keeps the copy.
std::unique_ptr<QMessageBox> RecoveryQuestion(QWidget* parent, const QString& path) {
    auto box = std::make_unique<QMessageBox>(
        QMessageBox::Question, QStringLiteral("Recover Settings"),
        QStringLiteral("Ostra did not close normally last time.  A copy of its unsaved settings "
                       "was kept (%1).  Open it now?  Discard deletes it; Keep for Later "
                       "offers it again at the next start.")
            .arg(path),
        QMessageBox::NoButton, parent);
    box->setObjectName(QStringLiteral("recoveryQuestion"));
    using Choice = PerUserFiles::RecoveryChoice;
    QPushButton* open =
        AddChoice(*box, QStringLiteral("Open"), QMessageBox::AcceptRole, Choice::Open);
    AddChoice(*box, QStringLiteral("Discard"), QMessageBox::DestructiveRole, Choice::Discard);
    QPushButton* keep =
        AddChoice(*box, QStringLiteral("Keep for Later"), QMessageBox::RejectRole, Choice::Keep);
    box->setDefaultButton(open);
    box->setEscapeButton(keep);
    return box;
}

std::unique_ptr<QMessageBox> InformationBox(QWidget* parent, const QString& caption,
                                            const QString& text) {
    return std::make_unique<QMessageBox>(QMessageBox::Information,
                                         caption.isEmpty() ? QStringLiteral("Ostra") : caption,
                                         text, QMessageBox::Ok, parent);
}

void QtPrompts::ShowInformation(QWidget* parent, const QString& caption, const QString& text) {
    InformationBox(parent, caption, text)->exec();
}

Prompts::CloseChoice QtPrompts::AskStopBeforeClose(QWidget* parent) {
    const std::unique_ptr<QMessageBox> box = CloseQuestion(parent);
    box->exec();
    return static_cast<CloseChoice>(ChosenAnswer(*box));
}

PerUserFiles::RecoveryChoice QtPrompts::AskRecovery(QWidget* parent, const QString& path) {
    const std::unique_ptr<QMessageBox> box = RecoveryQuestion(parent, path);
    box->exec();
    return static_cast<PerUserFiles::RecoveryChoice>(ChosenAnswer(*box));
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
