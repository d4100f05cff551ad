#pragma once

#include <QObject>
#include <QString>
#include <QTimer>
#include <atomic>
#include <functional>

#include "app/PerUserFiles.h"
#include "ui/RecentFiles.h"

class ApplicationCore;

// Keeps the operator's work safe between saves: after each change it notes whether the settings
// are unsaved (the title shows it) and, a few seconds later, writes the recovery copy beside the
// per-user settings; it offers a copy a crashed run left, and remembers the recent settings
// files and the file dialogs' folders in the window's state file.
class SettingsKeeper final : public QObject {
    Q_OBJECT
  public:
    static constexpr int kRecoveryDelayMs = 3000;

    // mayRead: no device job runs, so the core's models may be read on the window's thread.
    SettingsKeeper(ApplicationCore& core, std::function<bool()> mayRead);

    // After the start-up: reads the state file and follows the sequence model's changes.
    void Start();
    // Offers a recovery copy through `ask` (asked with its path); true when it was read.
    bool OfferRecoveryCopy(
        const std::function<PerUserFiles::RecoveryChoice(const QString& path)>& ask);
    // The settings may have changed (a device job, a file read, an edit).
    void Changed();
    bool Unsaved() const { return unsaved_; }
    // A normal close whose shut-down saved the settings: the copy is not needed.
    void Closed(bool saved);

    RecentFiles& Memory() { return memory_; }
    void SaveMemory();

  signals:
    void unsavedChanged();

  private:
    void Check();
    void WriteCopy();

    ApplicationCore& core_;
    std::function<bool()> mayRead_;
    PerUserFiles files_;
    RecentFiles memory_;
    QTimer check_;
    QTimer copy_;
    std::atomic<bool> changeQueued_{false};
    bool started_ = false;
    bool unsaved_ = false;
};
