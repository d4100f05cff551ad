#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "tools/zavik-sim/PtyClient.h"
#include "zavik-sim/PseudoTerminal.h"

namespace {

using Unread = std::vector<std::uint8_t>;
using Changes = PseudoTerminal::ClientChanges;

// The clean-up after a client closes can run after the next client has already opened and
// written: its bytes must survive, while a client that left alone leaves nothing behind.
TEST(PseudoTerminalTest, CleanUpKeepsOnlyTheBytesOfAClientThatOpenedMeanwhile) {
    PseudoTerminal pty;
    ASSERT_EQ(pty.Open(), VlrDataTypes::VLR_SUCCESS);

    ASSERT_TRUE(PtyClient(pty.SlavePath()).Write({0x7E}));
    ASSERT_EQ(pty.TakeClientChanges(), (Changes{true, false}));
    EXPECT_EQ(pty.ForgetClient(true), Unread{});

    ASSERT_TRUE(PtyClient(pty.SlavePath()).Write({0x7E}));
    ASSERT_EQ(pty.TakeClientChanges(), (Changes{true, false}));
    PtyClient next(pty.SlavePath());
    ASSERT_TRUE(next.Write({0x02, 0x01}));
    EXPECT_EQ(pty.ForgetClient(true), (Unread{0x7E, 0x02, 0x01}));
    EXPECT_EQ(pty.TakeClientChanges(), Changes{true});
}

}  // namespace
