#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <utility>

template <typename Signature>
class SubscribedEvent;

// A list of callbacks raised in subscription order. Raising stops at the first callback that
// returns a non-zero value and hands that value back. Subscriptions live as long as the event.
// The lock is re-entrant so that a callback may cause the event to be raised again.
template <typename Result, typename... Args>
class SubscribedEvent<Result(Args...)> {
  public:
    using Callback = std::function<Result(Args...)>;
    using SubscriptionId = std::uint64_t;

    SubscribedEvent() = default;
    virtual ~SubscribedEvent() = default;

    SubscribedEvent(const SubscribedEvent&) = delete;
    SubscribedEvent& operator=(const SubscribedEvent&) = delete;

    // Ids are 0, 1, 2, ... in subscription order, so the map's order is the calling order.
    SubscriptionId Subscribe(Callback callback) {
        std::lock_guard<std::recursive_mutex> guard(lock_);
        const SubscriptionId id = nextId_++;
        subscribers_.emplace(id, std::move(callback));
        return id;
    }

    Result Raise(Args... args) {
        std::lock_guard<std::recursive_mutex> guard(lock_);
        for (const auto& [id, callback] : subscribers_) {
            if (!callback) {
                continue;  // an empty callable has nothing to say
            }
            Result result = callback(args...);
            if (result != Result{}) {
                return result;
            }
        }
        return Result{};
    }

  private:
    std::map<SubscriptionId, Callback> subscribers_;
    SubscriptionId nextId_ = 0;
    std::recursive_mutex lock_;
};
