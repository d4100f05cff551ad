#include <gtest/gtest.h>

#include "FakePrompts.h"
#include "sequences/ContainerFixture.h"

namespace {

using Command = SequenceManager::Command;
using Properties = SequenceManagerPrompts::Properties;

// Sequences 2 "A" (12.6 ms) and 4 "Caller" (calls 2).
class SequenceManagerTest : public ContainerFixture {
  protected:
    void SetUp() override {
        Define(2, L"A", {{L"-Duration 12.6"}});
        Define(4, L"Caller", {{L"-Call 2"}});
        manager.Initialize(&log, container);
        manager.SetConnected(true);
        container.SubscribeToChanges(
            [this](const SequenceContainer::Change&) { return manager.SequencesChanged(), 0; });
    }
    std::wstring List() const {
        std::wstring text;
        for (const auto& row : manager.Rows())
            text += std::to_wstring(row.number) + L"." + row.name + L" ";
        return text;
    }
    void Upload() {
        ASSERT_TRUE(manager.BeginUpload(L""));
        manager.FinishUpload({});
    }

    FakePrompts prompts;
    SequenceManager manager{prompts};
};

TEST_F(SequenceManagerTest, AddInsertsInOrderAndModifyRenumbers) {
    EXPECT_EQ(*manager.Shown(), 4u);
    // A name the model refuses is told in a box over the dialog, which stays open.
    prompts.properties = {Properties{0, L""}, Properties{0, L"Main"}, Properties{3, L"Other"}};
    manager.Run(Command::Add);
    EXPECT_EQ(prompts.offered.front(), 0u);
    EXPECT_EQ(prompts.messages, std::vector<std::wstring>{L"Sequence Properties|Error validating "
                                                          L"the sequence name.  The sequence "
                                                          L"name is blank."});
    EXPECT_EQ(prompts.dialogs, 1);
    manager.Run(Command::Add);
    EXPECT_EQ(List(), L"0.Main 2.A 3.Other 4.Caller ");
    EXPECT_EQ(*manager.Shown(), 3u);

    manager.Select(1);
    prompts.properties = {Properties{7, L"A"}};
    manager.Run(Command::Modify);
    EXPECT_EQ(prompts.offered[prompts.offeredAt], 2u);
    EXPECT_EQ(List(), L"0.Main 3.Other 4.Caller 7.A ");
    EXPECT_EQ(*manager.Shown(), 7u);
}

// Refusals come before any dialog: nothing selected, no free number, a sequence still called.
TEST_F(SequenceManagerTest, RefusalsComeBeforeAnyDialog) {
    manager.Select(-1);
    for (const Command command : {Command::Modify, Command::Remove, Command::Save})
        manager.Run(command);
    manager.Select(0);
    manager.Run(Command::Remove);
    EXPECT_NE(prompts.messages.back().find(L"being used by other sequences"), std::wstring::npos);
    EXPECT_EQ(List(), L"2.A 4.Caller ");
    for (std::uint32_t number = 0; number < 255; ++number)
        container.AddSequence(number, L"S" + std::to_wstring(number));
    for (const Command command : {Command::Add, Command::Load, Command::Duplicate})
        manager.Run(command);
    EXPECT_EQ(prompts.messages.size(), 7u);
    EXPECT_EQ(prompts.messages.back(),
              L"Error|Every sequence number is in use.  Please remove a "
              L"sequence before adding another.");
    EXPECT_EQ(prompts.dialogs, 0);
    EXPECT_EQ(container.GetSequenceName(0), L"S0");
}

// The load failure's text is the application layer's; here only that it is shown.
TEST_F(SequenceManagerTest, FailedLoadAndSaveTellTheOperator) {
    prompts.file = dir.File("missing.cfg");
    prompts.properties = {Properties{0, L"Loaded"}};
    manager.Run(Command::Load);
    ASSERT_EQ(prompts.messages.size(), 1u);
    container.RenameSequence(2, L"a/b");
    manager.Initialize(&log, container);
    manager.Select(0);
    prompts.file = dir.File("missing/out.cfg");
    manager.Run(Command::Save);
    EXPECT_EQ(prompts.proposedFile, L"VlrSequenceFile(a_b).cfg");
    EXPECT_NE(prompts.messages.at(1).find(prompts.file), std::wstring::npos);
}

// Start only after an upload that followed the last change; a 12.6 ms sequence arms 13 ms, so
// the window's timer never ends while the device still runs.
TEST_F(SequenceManagerTest, OutOfDateRuleAndRun) {
    manager.Select(0);
    EXPECT_FALSE(manager.ComputeView().startStop);
    EXPECT_FALSE(manager.BeginUpload(L"x.cfg:3: the settings file stopped at this line: -Bad"));
    EXPECT_NE(prompts.messages.back().find(L"x.cfg:3"), std::wstring::npos);
    Upload();
    EXPECT_TRUE(manager.ComputeView().startStop);
    container.RenameSequence(4, L"Changed");
    EXPECT_FALSE(manager.ComputeView().startStop);
    EXPECT_FALSE(manager.BeginStart());
    Upload();
    const auto start = manager.BeginStart();
    ASSERT_TRUE(start);
    EXPECT_EQ(start->timerMs, 13);
    container.RenameSequence(4, L"Again");
    EXPECT_TRUE(manager.ComputeView().startStop && !manager.ComputeView().upload);
    manager.FinishRun({});
    EXPECT_TRUE(!manager.ComputeView().startStop && manager.ComputeView().upload);
    manager.SetConnected(false);
    EXPECT_FALSE(manager.ComputeView().upload);
}

}  // namespace
