#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

#include "app/OperationResult.h"

class LogFile;
class MicroController;
class SequenceContainer;

// Running one uploaded sequence as the operator does it: start it, wait for its duration (the
// timing rules' total, rounded up to whole milliseconds as the window's end timer is) or for a
// stop request, and on a stop send the stop command and switch every LED off. Durations are
// 64-bit milliseconds: a sequence can last far longer than an int of milliseconds.
class SequenceRun {
  public:
    using Milliseconds = std::chrono::duration<std::int64_t, std::milli>;
    // Waits at most the given time; true when a stop was requested (the request is consumed).
    using StopWait = std::function<bool(Milliseconds)>;
    // Told how far the run is: once right after the start (elapsed 0), then about every
    // `kTickInterval`.
    using Tick = std::function<void(Milliseconds elapsed, Milliseconds total)>;

    static constexpr Milliseconds kTickInterval{100};

    struct Result {
        OperationResult status = OperationResult::Success();
        // The timing rules' total, as they give it.
        double durationMs = 0.0;
        bool started = false;
        bool completed = false;
        // A stop request ended the run early (or came before the start).
        bool stopRequested = false;
        // The stop command and every LED off reached the device.
        bool stopSent = false;
        // A stop request came while `leaveRunning` was set: the run ended here and the device
        // goes on with the sequence.
        bool leftRunning = false;
        // The record of the delivered stimulus the application core wrote; empty when none.
        std::wstring stimulusRecord;
    };

    SequenceRun(MicroController& device, const SequenceContainer& sequences, LogFile* log);

    // The end timer of a run of `durationMs`: whole milliseconds, rounded up, so that the timer
    // never ends while the device still runs.
    static Milliseconds TimerLength(double durationMs);
    // When that timer ends for a run started at `start`; a run longer than the clock can count
    // (nested loops reach it) ends at the clock's last moment instead of overflowing it.
    static std::chrono::steady_clock::time_point EndOf(std::chrono::steady_clock::time_point start,
                                                       double durationMs);

    // The total of sequence `number`; a failure carries the timing's reason.
    OperationResult Duration(std::uint32_t number, double& durationMs) const;

    // Over the connected device. A stop request that is already pending skips the start. With
    // `leaveRunning` set when a stop is requested, nothing is sent (a window that closes
    // without stopping the device).
    Result Run(std::uint32_t number, const StopWait& waitForStop, const Tick& tick = nullptr,
               const std::atomic<bool>* leaveRunning = nullptr);

    // The stop command, then every LED off.
    OperationResult Stop();

  private:
    OperationResult Failure(std::uint64_t errorsBefore, const std::wstring& fallback) const;

    MicroController& device_;
    const SequenceContainer& sequences_;
    LogFile* log_ = nullptr;
};
