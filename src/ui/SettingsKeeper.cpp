#include "ui/SettingsKeeper.h"

#include "app/ApplicationCore.h"
#include "foundation/TextConversion.h"

SettingsKeeper::SettingsKeeper(ApplicationCore& core, std::function<bool()> mayRead)
    : core_(core), mayRead_(std::move(mayRead)), files_(core) {
    // Several changes in one turn of the event loop are checked once.
    check_.setSingleShot(true);
    check_.setInterval(0);
    connect(&check_, &QTimer::timeout, this, &SettingsKeeper::Check);
    copy_.setSingleShot(true);
    copy_.setInterval(kRecoveryDelayMs);
    connect(&copy_, &QTimer::timeout, this, &SettingsKeeper::WriteCopy);
}

void SettingsKeeper::Start() {
    started_ = true;
    memory_ = RecentFiles::FromText(NarrowToWide(files_.ReadState()));
    // The model may change on the worker thread (a settings file read there), once per command:
    // a burst queues one call, not one each.
    core_.GetSequenceContainer().SubscribeToChanges([this](const SequenceContainer::Change&) {
        if (!changeQueued_.exchange(true)) {
            QMetaObject::invokeMethod(
                this,
                [this] {
                    changeQueued_ = false;
                    Changed();
                },
                Qt::QueuedConnection);
        }
        return 0;
    });
}

bool SettingsKeeper::OfferRecoveryCopy(
    const std::function<PerUserFiles::RecoveryChoice(const QString&)>& ask) {
    const bool read = files_.OfferRecoveryCopy(
        [&ask](const std::wstring& path) { return ask(QString::fromStdWString(path)); });
    Changed();
    return read;
}

void SettingsKeeper::Changed() {
    if (started_) {
        check_.start();
    }
}

void SettingsKeeper::Check() {
    if (!mayRead_()) {
        // The job that runs ends with a change of its own.
        return;
    }
    const bool unsaved = core_.HasUnsavedSettings();
    if (unsaved != unsaved_) {
        unsaved_ = unsaved;
        emit unsavedChanged();
    }
    copy_.start();
}

void SettingsKeeper::WriteCopy() {
    if (!mayRead_()) {
        copy_.start();
        return;
    }
    files_.KeepRecoveryCopy();
}

void SettingsKeeper::Closed(bool saved) {
    check_.stop();
    copy_.stop();
    if (saved) {
        files_.RemoveRecoveryCopy();
    }
}

void SettingsKeeper::SaveMemory() {
    if (started_) {
        files_.WriteState(WideToNarrow(memory_.ToText()));
    }
}
