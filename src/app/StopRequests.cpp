#include "app/StopRequests.h"

#include <utility>

void StopRequests::BeginRun() {
    const std::lock_guard lock(mutex_);
    stopRequested_ = false;
    leaveRunning_ = false;
}

void StopRequests::RequestStop() {
    {
        const std::lock_guard lock(mutex_);
        stopRequested_ = true;
    }
    signal_.notify_all();
}

void StopRequests::RequestLeaveRunning() {
    leaveRunning_ = true;
    RequestStop();
}

bool StopRequests::WaitForStop(SequenceRun::Milliseconds wait) {
    std::unique_lock lock(mutex_);
    signal_.wait_for(lock, wait, [this] { return stopRequested_; });
    return std::exchange(stopRequested_, false);
}

void StopRequests::StopAll() {
    CancelUpload();
    RequestStop();
}
