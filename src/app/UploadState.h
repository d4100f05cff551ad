#pragma once

#include <chrono>
#include <functional>
#include <mutex>

#include "app/SequenceUpload.h"

// A running upload as a front end shows it, read from any thread: whether one runs, which
// sequence of how many goes, and how many of its script commands went. The thread that uploads
// records each step; only some steps are worth telling the front end (see Record).
class UploadState {
  public:
    using Clock = std::chrono::steady_clock;
    struct Shown {
        bool running = false;
        SequenceUpload::Progress progress;
    };
    using Report = std::function<void(const SequenceUpload::Progress&)>;

    // A report per script command floods a window's event loop (and repaints its progress box
    // thousands of times) or a script's socket; one per interval shows the same.
    explicit UploadState(Clock::duration reportInterval) : reportInterval_(reportInterval) {}

    // Running from the moment the operator asked, before the device worker takes the upload,
    // so the window is never idle in between; nothing sent yet.
    void Begin();
    void Finish();
    Shown Current() const;

    // Records a step; true when it is worth reporting: the last command of a sequence always,
    // any other once the interval has passed since the last report.
    bool Record(const SequenceUpload::Progress& step, Clock::time_point now = Clock::now());
    // The upload's progress callback: records each step and hands the worthwhile ones to
    // `report`, on the uploading thread.
    SequenceUpload::ProgressCallback Recorder(Report report);

  private:
    const Clock::duration reportInterval_;
    mutable std::mutex mutex_;
    Shown shown_;
    Clock::time_point lastReport_;
};
