#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "sequences/SequenceContainer.h"
#include "support/LogCapture.h"
#include "support/TempDir.h"

// Every slot's name and command sets, to show that a failing operation changed nothing.
using ModelSnapshot = std::vector<std::pair<std::wstring, std::vector<CommandSet>>>;

inline ModelSnapshot TakeSnapshot(const SequenceContainer& container) {
    ModelSnapshot snapshot;
    for (std::uint32_t n = 0; n < SequenceContainer::kSequenceCount; ++n)
        snapshot.emplace_back(container.GetSequenceName(n), container.GetCommandSets(n));
    return snapshot;
}

// Adds a sequence with the given steps, each command expected to be accepted.
inline void DefineSequence(SequenceContainer& container, std::uint32_t number,
                           const std::wstring& name, const std::vector<CommandSet>& steps) {
    ASSERT_EQ(container.AddSequence(number, name), 0);
    for (std::uint32_t set = 0; set < steps.size(); ++set) {
        ASSERT_EQ(container.AddCommandSet(number, set), 0);
        for (const std::wstring& text : steps[set])
            ASSERT_EQ(container.AddCommand(number, set, text), 0) << testing::PrintToString(text);
    }
}

// A container of three LEDs logging into a real log, its messages recorded and events counted.
class ContainerFixture : public ::testing::Test {
  protected:
    ContainerFixture() {
        container.SetLogFile(&log);
        container.SetColorLabels({L"Blue", L"Red", L"Green"});
        container.SubscribeToChanges([this](const SequenceContainer::Change& change) {
            lastChange = change;
            return ++changes, 0;
        });
    }

    void Define(std::uint32_t number, const std::wstring& name,
                const std::vector<CommandSet>& steps) {
        ASSERT_NO_FATAL_FAILURE(DefineSequence(container, number, name, steps)) << log.Text();
    }

    // Starts counting and recording afresh, after a test's set-up.
    void ResetRecords() { log.messages.clear(), changes = 0; }

    // The messages logged, every one of them an error.
    std::vector<std::wstring> ErrorMessages() const {
        EXPECT_EQ(log.Errors().size(), log.messages.size()) << log.Text();
        return log.Errors();
    }

    TempDir dir;
    LogCapture log{dir.File("sequences.txt")};
    SequenceContainer container;
    int changes = 0;
    SequenceContainer::Change lastChange;
};
