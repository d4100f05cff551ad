#include "app/DeviceQueue.h"

#include <utility>

ThreadDeviceQueue::ThreadDeviceQueue() : thread_([this] { Work(); }) {}

ThreadDeviceQueue::~ThreadDeviceQueue() {
    Stop();
}

void ThreadDeviceQueue::Post(std::function<void()> job) {
    {
        const std::lock_guard lock(mutex_);
        if (stopping_) {
            return;
        }
        jobs_.push_back(std::move(job));
    }
    wake_.notify_one();
}

void ThreadDeviceQueue::Stop() {
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_one();
    if (thread_.joinable()) {
        thread_.join();
    }
}

void ThreadDeviceQueue::Work() {
    for (;;) {
        std::function<void()> job;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [this] { return stopping_ || !jobs_.empty(); });
            if (jobs_.empty()) {
                return;
            }
            job = std::move(jobs_.front());
            jobs_.pop_front();
        }
        job();
    }
}
