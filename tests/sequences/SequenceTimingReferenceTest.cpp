// The container times sequences from the parsed form it keeps beside each command text. This
// test drives it with random operations and compares every result with a plain model that
// stores only the texts and times them as the walk is written, tokenising every text on every
// visit. Any parsed form that falls out of step with its text shows up as a difference.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cwchar>
#include <cwctype>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "foundation/MiscFunctions.h"
#include "foundation/TextConversion.h"
#include "sequences/ContainerFixture.h"
#include "sequences/SequenceContainer.h"

namespace {

// The command's tokens, its word in lower case (every component ignores the word's case).
std::vector<std::wstring> Tokens(const std::wstring& text) {
    std::vector<std::wstring> tokens;
    std::wstring error;
    MiscFunctions::ParseCommandString(text, tokens, error);
    if (!tokens.empty()) {
        for (wchar_t& c : tokens[0]) {
            c = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
        }
    }
    return tokens;
}

std::uint32_t Number(const std::wstring& text) {
    return static_cast<std::uint32_t>(std::wcstol(text.c_str(), nullptr, 10));
}

struct ReferenceModel {
    bool IsUsed(std::uint32_t n) const { return !names[n].empty(); }

    bool Time(std::uint32_t n, double& total, std::vector<std::uint32_t> stack) {
        const wchar_t* problem = nullptr;
        if (n >= 255) {
            messages.push_back(L"Error validating sequence number.  The sequence number(" +
                               std::to_wstring(n) + L") is out of range(0..254).");
            return false;
        }
        if (std::find(stack.begin(), stack.end(), n) != stack.end()) {
            problem = L"the call command will create an infinite loop.";
        } else if (stack.size() > 4) {
            problem =
                L"the call creates a violation of the maximum number(4) of nested call "
                L"commands allowed.";
        }
        if (problem != nullptr) {
            messages.push_back(std::wstring(L"Error processing sequence duration, ") + problem);
            return false;
        }
        stack.push_back(n);
        std::uint32_t factor = 1;
        for (const CommandSet& set : sets[n]) {
            double step = 0.1;
            for (const std::wstring& text : set) {
                const std::vector<std::wstring> tokens = Tokens(text);
                if (tokens[0] == L"-duration") {
                    TextToDouble(tokens[1], step);
                } else if (tokens[0] == L"-call" && !Time(Number(tokens[1]), step, stack)) {
                    return false;
                } else if (tokens[0] == L"-loop" || tokens[0] == L"-endloop") {
                    factor = tokens[0] == L"-loop" ? Number(tokens[1]) : 1;
                    step = 0.0;
                }
            }
            total += static_cast<double>(factor) * step;
        }
        return true;
    }

    bool TimeEveryUsedSequence() {
        for (std::uint32_t n = 0; n < 255; ++n) {
            double total = 0.0;
            if (IsUsed(n) && !Time(n, total, {})) {
                return false;
            }
        }
        return true;
    }

    void Move(std::uint32_t from, std::uint32_t to) {
        names[to] = std::exchange(names[from], L"");
        sets[to] = std::exchange(sets[from], {});
        for (auto& sequence : sets) {
            for (CommandSet& set : sequence) {
                for (std::wstring& text : set) {
                    const std::vector<std::wstring> tokens = Tokens(text);
                    if (tokens[0] == L"-call" && Number(tokens[1]) == from) {
                        text = L"-Call " + std::to_wstring(to);
                    }
                }
            }
        }
    }

    std::array<std::wstring, 255> names;
    std::array<std::vector<CommandSet>, 255> sets;
    std::vector<std::wstring> messages;
};

constexpr std::uint32_t kPool = 10;  // sequence numbers in play: collisions are the point

class RandomModelTest : public ContainerFixture, public ::testing::WithParamInterface<unsigned> {
  protected:
    std::uint32_t Pick(std::uint32_t count) {
        return std::uniform_int_distribution<std::uint32_t>(0, count - 1)(random_);
    }

    // A number of the pool, mostly one that is used (or free) as asked.
    std::uint32_t PickNumber(bool used) {
        std::vector<std::uint32_t> matching;
        for (std::uint32_t n = 0; n < kPool; ++n) {
            if (reference_.IsUsed(n) == used) {
                matching.push_back(n);
            }
        }
        return matching.empty() || Pick(4) == 0 ? Pick(kPool) : matching[Pick(matching.size())];
    }

    // An empty set mostly gets a word that must open its set, a filled one any other word.
    std::wstring RandomCommand(bool emptySet) {
        const std::wstring n = std::to_wstring(PickNumber(true));
        const std::vector<std::wstring> openers = {L"-Call " + n, L"-CALL " + n, L"-call " + n,
                                                   L"-Loop 3",    L"-loop 5",    L"-ENDLOOP"};
        const std::vector<std::wstring> others = {L"-Duration 0.1", L"-Duration 2.5",
                                                  L"-duration 4",   L"-Off Blue",
                                                  L"-TTLHigh 3",    L"-SetIntensity Red 7"};
        const std::vector<std::wstring>& words = emptySet == (Pick(5) != 0) ? openers : others;
        return words[Pick(words.size())];
    }

    // Applies one random operation to both models; the container's result and its events must
    // be those the reference expects.
    void ApplyRandomOperation() {
        const std::uint32_t kind = Pick(100);
        const std::uint32_t n = PickNumber(kind >= 6);
        std::vector<CommandSet>& sets = reference_.sets[n];
        const auto count = static_cast<std::uint32_t>(sets.size());
        const std::uint32_t a = Pick(count + 1);
        const std::uint32_t b = count > 0 ? Pick(count) : 0;
        const bool used = reference_.IsUsed(n);
        int result = 0;
        int expected = 0;
        int events = 1;
        if (kind < 6) {
            reference_.names[n] = L"S" + std::to_wstring(nextName_);
            sets.clear();
            result = container.AddSequence(n, L"S" + std::to_wstring(nextName_++));
        } else if (kind < 9) {
            expected = used ? 0 : -1;
            reference_.names[n].clear();
            sets.clear();
            result = container.RemoveSequence(n);
        } else if (kind < 15) {
            const std::uint32_t to = PickNumber(false);
            expected = used && !reference_.IsUsed(to) ? 0 : -1;
            events = 2;
            if (expected == 0) {
                reference_.Move(n, to);
            }
            result = container.ModifySequenceNumber(n, to);
        } else if (kind < 30) {
            expected = used ? 0 : -1;
            if (used) {
                sets.insert(sets.begin() + a, CommandSet());
            }
            result = container.AddCommandSet(n, used ? a : 0);
        } else if (kind < 40) {
            expected = count > 0 ? 0 : -1;
            const std::uint32_t other = count > 0 ? a % count : 0;
            if (kind % 3 == 0) {
                if (count > 0) {
                    sets.erase(sets.begin() + b);
                }
                result = container.RemoveCommandSet(n, b);
            } else if (kind % 3 == 1) {
                if (count > 0) {
                    sets[b].clear();
                }
                result = container.ClearCommandSet(n, b);
            } else {
                if (count > 0) {
                    std::swap(sets[b], sets[other]);
                }
                result = container.SwapCommandSets(n, b, other);
            }
        } else if (count > 0) {
            const std::wstring text = RandomCommand(sets[b].empty());
            const std::vector<std::wstring> tokens = Tokens(text);
            const bool call = tokens[0] == L"-call";
            const bool opens = call || tokens[0] == L"-loop" || tokens[0] == L"-endloop";
            expected =
                (call && !reference_.IsUsed(Number(tokens[1]))) || (opens && !sets[b].empty()) ? -1
                                                                                               : 0;
            reference_.messages.clear();
            if (expected == 0) {
                sets[b].push_back(text);
                if (call && !reference_.TimeEveryUsedSequence()) {
                    sets[b].pop_back();
                    expected = -1;
                }
            }
            log.messages.clear();
            result = container.AddCommand(n, b, text);
            if (expected == -1 && !reference_.messages.empty()) {
                EXPECT_EQ(ErrorMessages(), reference_.messages) << text;
            }
        } else {
            return;
        }
        EXPECT_EQ(result, expected) << "operation " << kind;
        EXPECT_EQ(changes, expected == 0 ? events : 0) << "operation " << kind;
        ResetRecords();
    }

    // Names, steps, totals (to the last bit: same operations in the same order), messages, and
    // the nesting check of random pairs.
    void Compare() {
        for (std::uint32_t n = 0; n < kPool; ++n) {
            ASSERT_EQ(container.GetSequenceName(n), reference_.names[n]) << n;
            ASSERT_EQ(container.GetCommandSets(n), reference_.sets[n]) << n;
            reference_.messages.clear();
            double actual = 0.0;
            double expected = 0.0;
            EXPECT_EQ(container.GetSequenceDuration(n, actual) == 0,
                      reference_.Time(n, expected, {}));
            EXPECT_EQ(actual, expected) << n;
            EXPECT_EQ(ErrorMessages(), reference_.messages) << n;
            ResetRecords();
        }
        const std::uint32_t calling = Pick(kPool);
        const std::uint32_t called = Pick(kPool + 1) == kPool ? 255 : Pick(kPool);
        reference_.messages.clear();
        double scratch = 0.0;
        EXPECT_EQ(container.CheckCallNesting(calling, called),
                  !reference_.Time(called, scratch, {calling}));
        EXPECT_EQ(ErrorMessages(), reference_.messages);
        ResetRecords();
    }

    std::mt19937 random_{GetParam()};
    ReferenceModel reference_;
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
