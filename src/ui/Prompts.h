#pragma once

#include <QString>
#include <memory>
#include <string>

#include "app/PerUserFiles.h"
#include "foundation/Notifier.h"

class QFileDialog;
class QMessageBox;
class QWidget;
class RecentFiles;

// File names cross between Qt and the core as the name's bytes, one per character of the
// core's wide text, so any name the file system holds comes back unchanged.
std::wstring CorePath(const QString& path);

// Everything the window asks the operator, behind one interface so that tests answer instead
// of a blocking modal dialog.
class Prompts {
  public:
    virtual ~Prompts() = default;
    // An error box; an empty caption becomes "Ostra".
    virtual void ShowError(QWidget* parent, const QString& caption, const QString& text) = 0;
    // A plain information box (a success the operator is told of).
    virtual void ShowInformation(QWidget* parent, const QString& caption, const QString& text) = 0;
    // OK answers true, anything else false.
    virtual bool Confirm(QWidget* parent, const QString& caption, const QString& text) = 0;
    // A settings file to open or to save to; empty when the operator cancelled.
    virtual QString OpenSettingsFile(QWidget* parent) = 0;
    virtual QString SaveSettingsFile(QWidget* parent) = 0;

    // Closing while an LED is on or a sequence or a pulse train runs: stop the device first,
    // leave it running, or stay open. Stop unless a front end asks (the device is left quiet).
    enum class CloseChoice { Stop, LeaveRunning, Cancel };
    virtual CloseChoice AskStopBeforeClose(QWidget* /*parent*/) { return CloseChoice::Stop; }
    // A crashed run's recovery copy at `path`: open it, discard it, or keep it for the next
    // start. Kept unless a front end asks.
    virtual PerUserFiles::RecoveryChoice AskRecovery(QWidget* /*parent*/, const QString& /*path*/) {
        return PerUserFiles::RecoveryChoice::Keep;
    }
    // Where the file dialogs open and what they note: the folder shown last, per kind of file.
    // Null (the default) remembers nothing.
    virtual void RememberFolders(RecentFiles* /*memory*/) {}
    // Runs a file dialog for a kind of file ("settings", "sequences"): the chosen file, or
    // empty when the operator cancelled. Qt's own dialog (it matches "*.cfg" without regard to
    // case, so "*.CFG" is listed too), ".cfg" added to a name without one.
    virtual QString ChooseFile(QFileDialog& dialog, const std::wstring& kind);
};

// The questions' boxes, built apart from running them so that a test can look at one and answer
// it from the keyboard. Each button carries its choice; Escape and the box's close button
// answer the choice that changes nothing.
std::unique_ptr<QMessageBox> CloseQuestion(QWidget* parent);
std::unique_ptr<QMessageBox> RecoveryQuestion(QWidget* parent, const QString& path);
std::unique_ptr<QMessageBox> InformationBox(QWidget* parent, const QString& caption,
                                            const QString& text);
// The choice of the button that closed the box (as an int of the question's enum).
int ChosenAnswer(const QMessageBox& box);

// Message boxes, confirmations and file dialogs of Qt.
class QtPrompts final : public Prompts {
  public:
    void ShowError(QWidget* parent, const QString& caption, const QString& text) override;
    void ShowInformation(QWidget* parent, const QString& caption, const QString& text) override;
    bool Confirm(QWidget* parent, const QString& caption, const QString& text) override;
    QString OpenSettingsFile(QWidget* parent) override;
    QString SaveSettingsFile(QWidget* parent) override;
    CloseChoice AskStopBeforeClose(QWidget* parent) override;
    PerUserFiles::RecoveryChoice AskRecovery(QWidget* parent, const QString& path) override;
    void RememberFolders(RecentFiles* memory) override { memory_ = memory; }

    QString ChooseFile(QFileDialog& dialog, const std::wstring& kind) override;

  private:
    RecentFiles* memory_ = nullptr;
};

// The core's notifier: error boxes through the prompts, always on the window's thread. A box
// asked for on the device worker thread is queued for the window's thread.
class PromptNotifier final : public Notifier {
  public:
    explicit PromptNotifier(Prompts& prompts) : prompts_(prompts) {}
    void ShowMessageBox(const std::wstring& caption, const std::wstring& text) override;

  private:
    Prompts& prompts_;
};
