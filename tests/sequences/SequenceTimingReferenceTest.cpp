// The container times sequences from the parsed form it keeps beside each command text, and keeps
// each set's Step beside its texts. Random operations are compared with a reference walk that
// reads the texts on every visit, one command at a time, and with a fresh reading of every set:
// a parsed form or a Step out of step with its texts shows up as a difference. (The timeline's
// own walk is the timeline tests' business.)

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "foundation/StepText.h"
#include "sequences/ContainerFixture.h"

namespace {

constexpr std::uint32_t kPool = 10;  // sequence numbers in play: collisions are the point
// Named outputs change places, or Blue goes: the steps read the names anew.
const std::vector<std::wstring> kLabels{L"Blue", L"Red"};
const std::vector<std::wstring> kBits{L"3", L"4"};

constexpr auto kAsTheDeviceReads = StepText::Judging::AsTheDeviceReads;

class RandomModelTest : public ContainerFixture, public ::testing::WithParamInterface<unsigned> {
  protected:
    StepRules::Context Names() const {
        return {container.GetColorLabels(), container.GetTTLBitNames(), nullptr};
    }

    // Every step lasts 0.1 ms or its last -Duration, plus the sequence it calls, times the loop
    // factor in force.
    bool Time(std::uint32_t n, double& total, std::vector<std::uint32_t> stack) {
        // Messages are the call-nesting tests' business; here only whether timing fails.
        if (stack.size() > 4 || std::find(stack.begin(), stack.end(), n) != stack.end()) {
            return false;
        }
        stack.push_back(n);
        std::uint32_t factor = 1;
        for (const CommandSet& set : container.GetCommandSets(n)) {
            double step = 0.1;
            std::optional<std::uint8_t> called;
            for (const std::wstring& text : set) {
                const Step command = StepText::Read({text}, Names(), kAsTheDeviceReads).step;
                step = command.duration.value_or(step);
                called = command.call ? command.call : called;
                if (command.loopCount || command.loopEnd) {
                    factor = command.loopCount.value_or(1);
                    step = 0.0;
                }
            }
            if (called && !Time(*called, step, stack)) {
                return false;
            }
            total += static_cast<double>(factor) * step;
        }
        return true;
    }

    std::uint32_t Pick(std::uint32_t count) {
        return std::uniform_int_distribution<std::uint32_t>(0, count - 1)(random_);
    }

    // An empty set mostly gets a word that must open its set, a filled one any other word.
    std::wstring RandomCommand(bool emptySet) {
        const std::wstring n = std::to_wstring(Pick(kPool));
        const std::wstring words[2][4] = {
            {L"-Call " + n, L"-call " + n, L"-Loop 3", L"-ENDLOOP"},
            {L"-SetIntensity blue 7", L"-duration 2.5", L"-Off Blue", L"-TTLHigh 3"}};
        return words[emptySet == (Pick(5) != 0) ? 0 : 1][Pick(4)];
    }

    // Results are the table tests' business; here only what the model holds afterwards counts.
    void ApplyRandomOperation() {
        const std::uint32_t kind = Pick(100);
        const std::uint32_t n = Pick(kPool);
        const std::vector<CommandSet> sets = container.GetCommandSets(n);
        const auto count = static_cast<std::uint32_t>(sets.size());
        const std::uint32_t a = Pick(count + 1);
        const std::uint32_t b = count > 0 ? Pick(count) : 0;
        if (kind < 6) {
            container.AddSequence(n, L"S" + std::to_wstring(nextName_++));
        } else if (kind < 9) {
            container.RemoveSequence(n);
        } else if (kind < 15) {
            container.ModifySequenceNumber(n, Pick(kPool));
        } else if (kind < 30) {
            container.AddCommandSet(n, a);
        } else if (kind < 33) {
            container.RemoveCommandSet(n, b);
        } else if (kind < 36) {
            container.ClearCommandSet(n, b);
        } else if (kind < 40) {
            container.SwapCommandSets(n, b, count > 0 ? a % count : 0);
        } else if (kind < 45) {
            container.ReplaceCommandSet(n, b, {RandomCommand(true), RandomCommand(false)});
        } else if (kind < 46) {
            container.SetColorLabels(Pick(2) == 0 ? kLabels : std::vector{kLabels[1], kLabels[0]});
        } else if (kind < 47) {
            container.SetTTLBitNames(Pick(2) == 0 ? kBits : std::vector{kBits[1], kBits[0]});
        } else if (count > 0) {
            container.AddCommand(n, b, RandomCommand(sets[b].empty()));
        }
    }

    // Each set's Step as a fresh reading of its texts makes it, up to the first refused command.
    void CompareSteps(std::uint32_t n) {
        const std::vector<CommandSet>& sets = container.GetCommandSets(n);
        for (std::uint32_t set = 0; set < sets.size(); ++set) {
            const StepText::Reading read = StepText::Read(sets[set], Names(), kAsTheDeviceReads);
            const std::optional<std::size_t> refused =
                read.refusal ? std::optional(read.refusal->index) : std::nullopt;
            // Stops at the first stale step: a set list out of line would read past its end.
            ASSERT_TRUE(container.GetStep(n, set) == read.step &&
                        container.GetRefusedCommand(n, set) == refused)
                << "sequence " << n << " set " << set;
        }
    }

    // Totals to the last bit (same operations in the same order) and failures.
    void Compare() {
        for (std::uint32_t n = 0; n < kPool; ++n) {
            CompareSteps(n);
            double actual = 0.0;
            double expected = 0.0;
            const bool timed = Time(n, expected, {});
            ASSERT_EQ(container.GetSequenceDuration(n, actual) == 0, timed) << n;
            EXPECT_EQ(actual, expected) << n;
        }
    }

    std::mt19937 random_{GetParam()};
    int nextName_ = 0;
};

TEST_P(RandomModelTest, AgreesWithTheReferenceWalk) {
    for (int step = 0; step < 600 && !HasFatalFailure(); ++step) {
        ApplyRandomOperation();
        Compare();
    }
}

INSTANTIATE_TEST_SUITE_P(Seeds, RandomModelTest, ::testing::Values(1u, 42u, 2024u, 99991u));

}  // namespace
