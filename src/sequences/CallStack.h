#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <initializer_list>

// The chain of sequences whose timing is in progress, outermost first. Timing never goes deeper
// than the outermost sequence plus four nested calls, so a small fixed capacity is enough, and
// the copy that every nested call receives costs no allocation.
class CallStack {
  public:
    static constexpr std::size_t kCapacity = 5;

    CallStack() = default;
    CallStack(std::initializer_list<std::uint32_t> numbers) {
        for (const std::uint32_t number : numbers) {
            Push(number);
        }
    }

    std::size_t Size() const { return size_; }
    bool Contains(std::uint32_t number) const {
        return std::find(entries_.begin(), entries_.begin() + size_, number) !=
               entries_.begin() + size_;
    }
    std::uint32_t operator[](std::size_t index) const { return entries_[index]; }

    // Returns false, leaving the stack as it was, when it is full.
    bool Push(std::uint32_t number) {
        if (size_ == kCapacity) {
            return false;
        }
        entries_[size_++] = number;
        return true;
    }

  private:
    std::array<std::uint32_t, kCapacity> entries_{};
    std::size_t size_ = 0;
};
