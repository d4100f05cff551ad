#include "app/DeviceTimeNote.h"
#include "sequences/ContainerFixture.h"

namespace {

class DeviceTimeNoteTest : public ContainerFixture {};

// A 20 Hz loop (1), the same called three times in a loop (2); a loop with nothing between its
// steps, which the upload drops (4), no loop (5) and no sequence (6) add nothing.
TEST_F(DeviceTimeNoteTest, SaysWhatTheLoopEndsAdd) {
    Define(1, L"Hz",
           {{L"-Loop 20"},
            {L"-On Red", L"-Duration 25"},
            {L"-Off Red", L"-Duration 25"},
            {L"-EndLoop"}});
    Define(2, L"Thrice", {{L"-Loop 3"}, {L"-Call 1"}, {L"-EndLoop"}});
    Define(4, L"Empty", {{L"-Loop 5"}, {L"-EndLoop"}, {L"-On Red"}});
    Define(5, L"Plain", {{L"-On Red", L"-Duration 50"}});
    const std::wstring tail = L" ms step on every pass (";
    EXPECT_EQ(DeviceTimeNote(container, 1),
              L"The device may take 2.0 ms longer than shown: each -EndLoop also runs as a 0.1" +
                  tail + L"20 passes).");
    EXPECT_EQ(DeviceTimeNote(container, 2),
              L"The device may take 6.3 ms longer than shown: each -EndLoop also runs as a 0.1" +
                  tail + L"63 passes).");
    for (const std::uint32_t number : {4u, 5u, 6u}) {
        EXPECT_EQ(DeviceTimeNote(container, number), L"") << number;
    }
}

}  // namespace
