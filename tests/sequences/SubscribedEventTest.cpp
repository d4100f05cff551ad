#include <gtest/gtest.h>

#include <vector>

#include "sequences/SubscribedEvent.h"

namespace {

// Each row: what the subscribers return, in subscription order; which of them run; the result.
TEST(SubscribedEventTest, CallsInOrderAndStopsAtTheFirstNonZero) {
    const struct {
        std::vector<int> returns, calls;
        int result;
    } cases[] = {
        {{}, {}, 0}, {{0, 0, 0}, {0, 1, 2}, 0}, {{0, 7, 0}, {0, 1}, 7}, {{-1, 5}, {0}, -1}};
    for (const auto& c : cases) {
        SubscribedEvent<int()> event;
        std::vector<int> calls;
        for (int i = 0; i < static_cast<int>(c.returns.size()); ++i) {
            EXPECT_EQ(event.Subscribe([&, i] { return calls.push_back(i), c.returns[i]; }),
                      unsigned(i));
        }
        EXPECT_EQ(event.Raise(), c.result);
        EXPECT_EQ(calls, c.calls);
    }
}

TEST(SubscribedEventTest, AnEmptyCallableIsPassedOverAndACallbackMayRaiseAgain) {
    SubscribedEvent<int()> event;
    int depth = 0;
    EXPECT_EQ(event.Subscribe(nullptr), 0u);
    event.Subscribe([&] { return ++depth < 3 ? event.Raise() : 0; });
    EXPECT_EQ(event.Raise(), 0);
    EXPECT_EQ(depth, 3);
}

}  // namespace
