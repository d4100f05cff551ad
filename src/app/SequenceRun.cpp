#include "app/SequenceRun.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <thread>

#include "device/MicroController.h"
#include "foundation/LogFile.h"
#include "sequences/SequenceContainer.h"

using VlrDataTypes::VLR_SUCCESS;

SequenceRun::SequenceRun(MicroController& device, const SequenceContainer& sequences, LogFile* log)
    : device_(device), sequences_(sequences), log_(log) {}

OperationResult SequenceRun::Failure(std::uint64_t errorsBefore,
                                     const std::wstring& fallback) const {
    if (log_ != nullptr && log_->GetErrorCount() > errorsBefore) {
        return OperationResult::Failure(log_->GetLastError());
    }
    return OperationResult::Failure(fallback);
}

SequenceRun::Milliseconds SequenceRun::TimerLength(double durationMs) {
    // Step durations are decimal fractions added in binary, so a total of whole milliseconds
    // may come out a hair above them; that hair is no time the device runs.
    constexpr double kSumNoise = 1e-6;
    constexpr double kLongest = static_cast<double>(std::numeric_limits<std::int64_t>::max());
    const double whole = std::ceil(durationMs - kSumNoise);
    if (!(whole < kLongest)) {
        return Milliseconds::max();
    }
    return Milliseconds(static_cast<std::int64_t>(std::max(whole, 0.0)));
}

std::chrono::steady_clock::time_point SequenceRun::EndOf(
    std::chrono::steady_clock::time_point start, double durationMs) {
    using TimePoint = std::chrono::steady_clock::time_point;
    const Milliseconds total = TimerLength(durationMs);
    const auto room = std::chrono::floor<Milliseconds>(TimePoint::max() - start);
    return total < room ? start + total : TimePoint::max();
}

OperationResult SequenceRun::Duration(std::uint32_t number, double& durationMs) const {
    const std::uint64_t errorsBefore = log_ != nullptr ? log_->GetErrorCount() : 0;
    if (sequences_.GetSequenceName(number).empty()) {
        return OperationResult::Failure(L"Sequence " + std::to_wstring(number) +
                                        L" is not defined.");
    }
    durationMs = 0.0;
    if (sequences_.GetSequenceDuration(number, durationMs) != VLR_SUCCESS) {
        return Failure(errorsBefore, L"The duration of sequence " + std::to_wstring(number) +
                                         L" cannot be computed.");
    }
    return OperationResult::Success();
}

SequenceRun::Result SequenceRun::Run(std::uint32_t number, const StopWait& waitForStop,
                                     const Tick& tick, const std::atomic<bool>* leaveRunning) {
    Result result;
    result.status = Duration(number, result.durationMs);
    if (!result.status) {
        return result;
    }
    const auto stopNow = [&] {
        result.stopRequested = true;
        if (leaveRunning != nullptr && *leaveRunning) {
            result.leftRunning = true;
            return result;
        }
        result.status = Stop();
        result.stopSent = result.status.Ok();
        return result;
    };
    if (waitForStop && waitForStop(Milliseconds(0))) {
        return stopNow();
    }
    const std::uint64_t errorsBefore = log_ != nullptr ? log_->GetErrorCount() : 0;
    if (device_.StartSequence(number) != VLR_SUCCESS) {
        result.status = Failure(errorsBefore,
                                L"Sequence " + std::to_wstring(number) + L" could not be started.");
        return result;
    }
    result.started = true;
    using Clock = std::chrono::steady_clock;
    const Milliseconds total = TimerLength(result.durationMs);
    const Clock::time_point start = Clock::now();
    const Clock::time_point end = EndOf(start, result.durationMs);
    if (tick) {
        tick(Milliseconds(0), total);
    }
    for (Clock::time_point now = start; now < end; now = Clock::now()) {
        const Milliseconds left = std::chrono::ceil<Milliseconds>(end - now);
        if (waitForStop && waitForStop(std::min(left, kTickInterval))) {
            return stopNow();
        }
        if (!waitForStop) {
            // Nothing can ask for a stop: only the deadline ends the wait.
            std::this_thread::sleep_for(std::min(left, kTickInterval));
        }
        if (tick) {
            tick(std::min(std::chrono::floor<Milliseconds>(Clock::now() - start), total), total);
        }
    }
    result.completed = true;
    return result;
}

OperationResult SequenceRun::Stop() {
    const std::uint64_t errorsBefore = log_ != nullptr ? log_->GetErrorCount() : 0;
    if (device_.StopSequenceExecution() != VLR_SUCCESS) {
        return Failure(errorsBefore, L"The stop could not be sent to the device.");
    }
    return OperationResult::Success();
}
