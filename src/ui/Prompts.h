#pragma once

#include <QString>
#include <string>

#include "foundation/Notifier.h"

class QFileDialog;
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
    // OK answers true, anything else false.
    virtual bool Confirm(QWidget* parent, const QString& caption, const QString& text) = 0;
    // A settings file to open or to save to; empty when the operator cancelled.
    virtual QString OpenSettingsFile(QWidget* parent) = 0;
    virtual QString SaveSettingsFile(QWidget* parent) = 0;

    // Closing while a sequence or a pulse train runs: stop the device first, leave it running,
    // or stay open. Stop unless a front end asks (the device is left quiet).
    enum class CloseChoice { Stop, LeaveRunning, Cancel };
    virtual CloseChoice AskStopBeforeClose(QWidget* /*parent*/) { return CloseChoice::Stop; }
    // Where the file dialogs open and what they note: the folder shown last, per kind of file.
    // Null (the default) remembers nothing.
    virtual void RememberFolders(RecentFiles* /*memory*/) {}
    // Runs a file dialog for a kind of file ("settings", "sequences"): the chosen file, or
    // empty when the operator cancelled. Qt's own dialog (it matches "*.cfg" without regard to
    // case, so "*.CFG" is listed too), ".cfg" added to a name without one.
    virtual QString ChooseFile(QFileDialog& dialog, const std::wstring& kind);
};

// Message boxes, confirmations and file dialogs of Qt.
class QtPrompts final : public Prompts {
  public:
    void ShowError(QWidget* parent, const QString& caption, const QString& text) override;
    bool Confirm(QWidget* parent, const QString& caption, const QString& text) override;
    QString OpenSettingsFile(QWidget* parent) override;
    QString SaveSettingsFile(QWidget* parent) override;
    CloseChoice AskStopBeforeClose(QWidget* parent) override;
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
