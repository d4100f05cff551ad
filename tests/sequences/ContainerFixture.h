#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "foundation/LogFile.h"
#include "sequences/SequenceContainer.h"
#include "support/RecordingNotifier.h"
#include "support/TempDir.h"

// Every slot's name and command sets, to show that a failing operation changed nothing.
using ModelSnapshot = std::vector<std::pair<std::wstring, std::vector<CommandSet>>>;

inline ModelSnapshot TakeSnapshot(const SequenceContainer& container) {
    ModelSnapshot snapshot;
    for (std::uint32_t n = 0; n < SequenceContainer::kSequenceCount; ++n) {
        snapshot.emplace_back(container.GetSequenceName(n), container.GetCommandSets(n));
    }
    return snapshot;
}

// A container linked to a real log in a temporary directory, with three LEDs, the messages it
// logs recorded and its change events counted.
class ContainerFixture : public ::testing::Test {
  protected:
    ContainerFixture() {
        log.SetLogFilename(dir.File("sequences.txt"));
        log.SetMessageReceiver(&receiver);
        container.SetLogFile(&log);
        container.SetColorLabels({L"Blue", L"Red", L"Green"});
        container.SubscribeToChanges([this] {
            ++changes;
            return 0;
        });
    }

    // Adds a sequence with the given steps, each command expected to be accepted.
    void Define(std::uint32_t number, const std::wstring& name,
                const std::vector<CommandSet>& steps) {
        ASSERT_EQ(container.AddSequence(number, name), 0);
        for (std::uint32_t set = 0; set < steps.size(); ++set) {
            ASSERT_EQ(container.AddCommandSet(number, set), 0);
            for (const std::wstring& text : steps[set]) {
                ASSERT_EQ(container.AddCommand(number, set, text), 0) << LoggedText();
            }
        }
    }

    // Starts counting and recording afresh, after a test's set-up.
    void ResetRecords() {
        receiver.messages.clear();
        changes = 0;
    }

    std::vector<std::wstring> ErrorMessages() const {
        std::vector<std::wstring> errors;
        for (const auto& [level, message] : receiver.messages) {
            EXPECT_EQ(level, LogLevel::Error) << message;
            errors.push_back(message);
        }
        return errors;
    }

    std::wstring LoggedText() const {
        std::wstring text;
        for (const auto& [level, message] : receiver.messages) {
            text += message + L"\n";
        }
        return text;
    }

    TempDir dir;
    RecordingReceiver receiver;
    LogFile log;
    SequenceContainer container;
    int changes = 0;
};
