#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

// The one line of device work a program has: every operation that talks to the device, from
// the operator or from the control socket, is posted here and runs after the ones before it, so
// two front ends can never interleave on the wire. A window supplies its own worker thread.
class DeviceQueue {
  public:
    virtual ~DeviceQueue() = default;
    // Runs job on the worker, after every job posted before it.
    virtual void Post(std::function<void()> job) = 0;
};

// A worker thread of its own, for a program without a window.
class ThreadDeviceQueue final : public DeviceQueue {
  public:
    ThreadDeviceQueue();
    ~ThreadDeviceQueue() override;
    ThreadDeviceQueue(const ThreadDeviceQueue&) = delete;
    ThreadDeviceQueue& operator=(const ThreadDeviceQueue&) = delete;

    void Post(std::function<void()> job) override;
    // Runs the jobs already posted, then ends the thread; later posts are dropped.
    void Stop();

  private:
    void Work();

    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::function<void()>> jobs_;
    bool stopping_ = false;
    std::thread thread_;
};
