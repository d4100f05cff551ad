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
    for (std::uint32_t n = 0; n < SequenceContainer::kSequenceCount; ++n) {
        snapshot.emplace_back(container.GetSequenceName(n), container.GetCommandSets(n));
    }
    return snapshot;
}

// The device section of a settings file from a model of one LED with its defaults.
inline std::string OneLEDDeviceSection(const std::string& label, int portNumber = 4) {
    std::string section = "#Micro Controller Settings\r\n";
    section += "-SetMicroControllerPortNumber " + std::to_string(portNumber) + "\r\n\r\n";
    section += "-SetIntensity \"" + label + "\" 26\r\n";
    section += "-SetLEDPulse \"" + label + "\" 10 90 0\r\n\r\n";
    return section + "\r\n";
}

// A container linked to a real log in a temporary directory, with three LEDs, the messages it
// logs recorded and its change events counted.
class ContainerFixture : public ::testing::Test {
  protected:
    ContainerFixture() {
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
                ASSERT_EQ(container.AddCommand(number, set, text), 0) << log.Text();
            }
        }
    }

    // Starts counting and recording afresh, after a test's set-up.
    void ResetRecords() {
        log.messages.clear();
        changes = 0;
    }

    std::vector<std::wstring> ErrorMessages() const {
        std::vector<std::wstring> errors;
        for (const auto& [level, message] : log.messages) {
            EXPECT_EQ(level, LogLevel::Error) << message;
            errors.push_back(message);
        }
        return errors;
    }

    TempDir dir;
    LogCapture log{dir.File("sequences.txt")};
    SequenceContainer container;
    int changes = 0;
};
