#pragma once

#include <atomic>
#include <condition_variable>
#include <mutex>

#include "app/SequenceRun.h"

// What a front end asks of the device operation that runs on its worker thread, asked from any
// thread: an upload ends at its next transaction once cancelled, and a run's wait ends once a
// stop is asked for. Stop All asks both, so the stop it queues behind the operation waits for
// neither an upload's remaining commands nor a run's end timer.
class StopRequests {
  public:
    // Before an upload starts: an earlier cancel does not end it.
    void BeginUpload() { cancelUpload_ = false; }
    void CancelUpload() { cancelUpload_ = true; }
    // The flag SequenceUpload checks between two transactions.
    const std::atomic<bool>* UploadCancel() const { return &cancelUpload_; }

    // Before a run starts: an earlier stop or leave-running does not end it.
    void BeginRun();
    // The run ends with the stop command and every LED off.
    void RequestStop();
    // The run ends here without a stop: the device goes on (a window closing that way).
    void RequestLeaveRunning();
    // The wait a run is given (SequenceRun::StopWait): true when a stop was asked for.
    bool WaitForStop(SequenceRun::Milliseconds wait);
    const std::atomic<bool>* LeaveRunning() const { return &leaveRunning_; }

    // Whatever runs ends at once: the upload cancelled, the run's wait over.
    void StopAll();

  private:
    std::atomic<bool> cancelUpload_{false};
    std::atomic<bool> leaveRunning_{false};
    std::mutex mutex_;
    std::condition_variable signal_;
    bool stopRequested_ = false;
};
