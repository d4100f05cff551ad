#include "sequences/ContainerFixture.h"

namespace {

using CommandSetReplaceTest = ContainerFixture;

// A refused command anywhere in the new set leaves the old set whole, with no change event; an
// accepted set replaces the old one with one event.
TEST_F(CommandSetReplaceTest, ReplacesAllOrNothing) {
    Define(1, L"Outer", {{L"-Duration 5"}});
    Define(0, L"Inner", {{L"-Call 1"}});
    Define(2, L"Edited", {{L"-On Blue", L"-Duration 2"}});
    const struct {
        std::uint32_t number;
        CommandSet texts;
        bool accepted;
    } kCases[] = {
        {2, {L"-Off Blue", L"-Flash Blue", L"-Duration 3"}, false},
        {2, {L"-Off Blue", L"-Loop 3"}, false},  // a -Loop must open its set
        {1, {L"-Call 0"}, false},                // a call cycle, found by timing
        {2, {L"-Off Blue", L"-TTLHigh 3", L"-Duration 3"}, true},
    };
    for (const auto& c : kCases) {
        const ModelSnapshot before = TakeSnapshot(container);
        ResetRecords();
        EXPECT_EQ(container.ReplaceCommandSet(c.number, 0, c.texts), c.accepted ? 0 : -1);
        if (c.accepted) {
            EXPECT_EQ(container.GetCommandSets(c.number)[0], c.texts);
            EXPECT_EQ(changes, 1);
        } else {
            EXPECT_EQ(TakeSnapshot(container), before) << c.texts[1];
            EXPECT_EQ(changes, 0);
        }
    }
}

}  // namespace
