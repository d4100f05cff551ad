#include <gtest/gtest.h>

#include <vector>

#include "sequences/SubscribedEvent.h"

namespace {

TEST(SubscribedEventTest, IdsCountUpFromZeroInSubscriptionOrder) {
    SubscribedEvent<int()> event;
    EXPECT_EQ(event.Subscribe([] { return 0; }), 0u);
    EXPECT_EQ(event.Subscribe([] { return 0; }), 1u);
    EXPECT_EQ(event.Subscribe([] { return 0; }), 2u);
}

TEST(SubscribedEventTest, RaiseWithoutSubscribersGivesZero) {
    SubscribedEvent<int()> event;
    EXPECT_EQ(event.Raise(), 0);
}

// Each case: what the subscribers return, in subscription order; which of them run; the result.
struct RaiseCase {
    std::vector<int> returns;
    std::vector<int> expectedCalls;
    int expectedResult;
};

void PrintTo(const RaiseCase& testCase, std::ostream* out) {
    *out << "returns " << ::testing::PrintToString(testCase.returns);
}

class SubscribedEventRaiseTest : public ::testing::TestWithParam<RaiseCase> {};

TEST_P(SubscribedEventRaiseTest, CallsInOrderAndStopsAtTheFirstNonZero) {
    SubscribedEvent<int()> event;
    std::vector<int> calls;
    const RaiseCase& testCase = GetParam();
    for (int index = 0; index < static_cast<int>(testCase.returns.size()); ++index) {
        event.Subscribe([&calls, &testCase, index] {
            calls.push_back(index);
            return testCase.returns[index];
        });
    }
    EXPECT_EQ(event.Raise(), testCase.expectedResult);
    EXPECT_EQ(calls, testCase.expectedCalls);
}

INSTANTIATE_TEST_SUITE_P(Cases, SubscribedEventRaiseTest,
                         ::testing::Values(RaiseCase{{0, 0, 0}, {0, 1, 2}, 0},
                                           RaiseCase{{0, 7, 0}, {0, 1}, 7},
                                           RaiseCase{{-1, 5}, {0}, -1},
                                           RaiseCase{{0, 0, 3}, {0, 1, 2}, 3}));

TEST(SubscribedEventTest, AnEmptyCallableIsPassedOver) {
    SubscribedEvent<int()> event;
    int calls = 0;
    EXPECT_EQ(event.Subscribe(nullptr), 0u);
    EXPECT_EQ(event.Subscribe([&calls] { return ++calls, 0; }), 1u);
    EXPECT_EQ(event.Raise(), 0);
    EXPECT_EQ(calls, 1);
}

TEST(SubscribedEventTest, ACallbackMayRaiseTheEventAgain) {
    SubscribedEvent<int()> event;
    int depth = 0;
    event.Subscribe([&] {
        if (++depth < 3) {
            event.Raise();
        }
        return 0;
    });
    EXPECT_EQ(event.Raise(), 0);
    EXPECT_EQ(depth, 3);
}

}  // namespace
