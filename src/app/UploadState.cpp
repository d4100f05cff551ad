#include "app/UploadState.h"

#include <utility>

void UploadState::Begin() {
    const std::lock_guard lock(mutex_);
    shown_ = Shown{true, {}};
    lastReport_ = {};
}

void UploadState::Finish() {
    const std::lock_guard lock(mutex_);
    shown_.running = false;
}

UploadState::Shown UploadState::Current() const {
    const std::lock_guard lock(mutex_);
    return shown_;
}

bool UploadState::Record(const SequenceUpload::Progress& step, Clock::time_point now) {
    const std::lock_guard lock(mutex_);
    shown_.progress = step;
    if (step.commandsSent != step.commandCount && now - lastReport_ < reportInterval_) {
        return false;
    }
    lastReport_ = now;
    return true;
}

SequenceUpload::ProgressCallback UploadState::Recorder(Report report) {
    return [this, report = std::move(report)](const SequenceUpload::Progress& step) {
        if (Record(step) && report) {
            report(step);
        }
    };
}
