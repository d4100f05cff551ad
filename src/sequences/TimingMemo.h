#pragma once

#include <bit>
#include <bitset>
#include <cstddef>
#include <cstdint>
#include <optional>

#include "foundation/DeviceLimits.h"
#include "sequences/CallStack.h"

// What timing has learnt about the sequences it walked without a failure. Adding a
// -Call times every used sequence, and a sequence called from several places would otherwise
// be walked again for every call, down to the end of every chain.
//
// Whether a walk fails depends on the call stack it starts with, and on nothing else that can
// change during a pass; its total depends on the value it starts adding to. So a sequence that
// was walked once without a failure is known to pass again when the stack holds none of the
// sequences its walk visited and leaves room for its deepest chain of calls, and its total is
// known for a start value seen before. Anything else is walked as usual, which also gives the
// same messages in the same order.
//
// A memo made for one walk sees no change. The container keeps one from check to check and
// marks every sequence it changes; before the next check the memo forgets every walk that
// visited a changed sequence, and keeps the rest, which still hold.
class TimingMemo {
  public:
    static constexpr std::size_t kSequenceCount = DeviceLimits::kSequenceCount;

    // Every sequence a successful walk visited, itself included, and the most calls nested
    // below it.
    struct Reach {
        std::bitset<kSequenceCount> visited;
        std::size_t height = 0;
    };

    const Reach& ReachOf(std::uint32_t number) const { return entries_[number].reach; }

    // True when walking the known sequence with this stack is certain to succeed.
    bool Passes(std::uint32_t number, const CallStack& stack, std::size_t maxNestedCalls) const {
        const Entry& entry = entries_[number];
        if (!entry.known || stack.Size() + entry.reach.height > maxNestedCalls) {
            return false;
        }
        for (std::size_t i = 0; i < stack.Size(); ++i) {
            if (entry.reach.visited.test(stack[i])) {
                return false;
            }
        }
        return true;
    }

    // The value a walk starting from `start` ends with, if one started there before.
    bool FindTotal(std::uint32_t number, double start, double& total) const {
        for (const Sum& sum : entries_[number].sums) {
            if (sum.used && SameBits(sum.start, start)) {
                total = sum.total;
                return true;
            }
        }
        return false;
    }

    void Store(std::uint32_t number, const Reach& reach, double start, double total) {
        Entry& entry = entries_[number];
        entry.known = true;
        entry.reach = reach;
        Sum& sum = entry.sums[entry.nextSum];
        sum = Sum{true, start, total};
        entry.nextSum = (entry.nextSum + 1) % kSumsKept;
    }

    // A changed sequence's walk as it was before the change, when it alone changed since the
    // last check and was known then; the memo forgets it with the rest at ForgetChanged.
    std::optional<Reach> ReachBeforeSoleChange(std::uint32_t number) const {
        if (changed_.count() != 1 || !changed_.test(number) || !entries_[number].known) {
            return std::nullopt;
        }
        return entries_[number].reach;
    }
    // Known to pass, with no total yet: the sequence is walked again when its total is asked.
    void StoreReach(std::uint32_t number, const Reach& reach) {
        entries_[number] = Entry();
        entries_[number].known = true;
        entries_[number].reach = reach;
    }

    void MarkChanged(std::uint32_t number) { changed_.set(number); }
    void ForgetChanged() {
        if (changed_.none()) {
            return;
        }
        for (Entry& entry : entries_) {
            if (entry.known && (entry.reach.visited & changed_).any()) {
                entry = Entry();
            }
        }
        changed_.reset();
    }

  private:
    // A pass starts sequences from 0 (timed on their own) and from 0.1 (as the step of a call).
    static constexpr std::size_t kSumsKept = 2;

    struct Sum {
        bool used = false;
        double start = 0.0;
        double total = 0.0;
    };
    struct Entry {
        bool known = false;
        Reach reach;
        Sum sums[kSumsKept];
        std::size_t nextSum = 0;
    };

    // Sums are reused only for the very same start value, so the result is the walk's to the
    // last bit.
    static bool SameBits(double a, double b) {
        return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b);
    }

    Entry entries_[kSequenceCount];
    std::bitset<kSequenceCount> changed_;
};
