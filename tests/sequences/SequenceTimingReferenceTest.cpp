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
#include <vector>

#include "foundation/MiscFunctions.h"
#include "foundation/TextConversion.h"
#include "sequences/ContainerFixture.h"
#include "sequences/SequenceContainer.h"

namespace {

// The command's word in lower case: every component matches words without regard to case.
std::wstring WordOf(const std::wstring& text) {
    std::vector<std::wstring> tokens;
    std::wstring error;
    if (MiscFunctions::ParseCommandString(text, tokens, error) != 0 || tokens.empty()) {
        return L"";
    }
    std::wstring word = tokens.front();
    for (wchar_t& c : word) {
        c = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
    }
    return word;
}

bool Is(const std::wstring& text, const wchar_t* lowerCaseWord) {
    return WordOf(text) == lowerCaseWord;
}

std::uint32_t ReadNumber(const std::wstring& text) {
    return static_cast<std::uint32_t>(std::wcstol(text.c_str(), nullptr, 10));
}

class ReferenceModel {
  public:
    struct Slot {
        std::wstring name;
        std::vector<CommandSet> sets;
        bool operator==(const Slot&) const = default;
    };

    bool IsUsed(std::uint32_t n) const { return !slots[n].name.empty(); }

    bool Time(std::uint32_t n, double& total, std::vector<std::uint32_t> stack) {
        if (n >= 255) {
            messages.push_back(L"Error validating sequence number.  The sequence number(" +
                               std::to_wstring(n) + L") is out of range(0..254).");
            return false;
        }
        if (std::find(stack.begin(), stack.end(), n) != stack.end()) {
            messages.push_back(
                L"Error processing sequence duration, the call command will "
                L"create an infinite loop.");
            return false;
        }
        if (stack.size() > 4) {
            messages.push_back(
                L"Error processing sequence duration, the call creates a "
                L"violation of the maximum number(4) of nested call commands "
                L"allowed.");
            return false;
        }
        stack.push_back(n);
        std::uint32_t factor = 1;
        for (const CommandSet& set : slots[n].sets) {
            double step = 0.1;
            for (const std::wstring& text : set) {
                std::vector<std::wstring> tokens;
                std::wstring error;
                if (MiscFunctions::ParseCommandString(text, tokens, error) != 0) {
                    messages.push_back(error);
                    return false;
                }
                if (Is(text, L"-duration")) {
                    if (!CountIsOne(L"-Duration", tokens)) {
                        return false;
                    }
                    TextToDouble(tokens[1], step);
                } else if (Is(text, L"-call")) {
                    if (!CountIsOne(L"-Call", tokens) ||
                        !Time(ReadNumber(tokens[1]), step, stack)) {
                        return false;
                    }
                } else if (Is(text, L"-loop")) {
                    step = 0.0;
                    if (!CountIsOne(L"-Loop", tokens)) {
                        return false;
                    }
                    factor = ReadNumber(tokens[1]);
                } else if (Is(text, L"-endloop")) {
                    factor = 1;
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
        slots[to] = slots[from];
        slots[from] = Slot();
        for (Slot& slot : slots) {
            for (CommandSet& set : slot.sets) {
                for (std::wstring& text : set) {
                    std::vector<std::wstring> tokens;
                    std::wstring error;
                    if (Is(text, L"-call") &&
                        MiscFunctions::ParseCommandString(text, tokens, error) == 0 &&
                        tokens.size() == 2 && ReadNumber(tokens[1]) == from) {
                        text = L"-Call " + std::to_wstring(to);
                    }
                }
            }
        }
    }

    std::array<Slot, 255> slots;
    std::vector<std::wstring> messages;

  private:
    bool CountIsOne(const std::wstring& word, const std::vector<std::wstring>& tokens) {
        if (tokens.size() == 2) {
            return true;
        }
        messages.push_back(L"Error, the " + word + L" command expects 1 arguments.  There were " +
                           std::to_wstring(tokens.size() - 1) + L" specified.");
        return false;
    }
};

constexpr std::uint32_t kPool = 10;  // sequence numbers in play: collisions are the point

class RandomModelTest : public ContainerFixture, public ::testing::WithParamInterface<unsigned> {
  protected:
    std::uint32_t Pick(std::uint32_t count) {
        return std::uniform_int_distribution<std::uint32_t>(0, count - 1)(random_);
    }

    template <typename T>
    const T& PickFrom(const std::vector<T>& choices) {
        return choices[Pick(static_cast<std::uint32_t>(choices.size()))];
    }

    std::uint32_t SetCount(std::uint32_t n) const {
        return static_cast<std::uint32_t>(reference_.slots[n].sets.size());
    }

    // An empty set mostly gets a word that must open its set, a filled one any other word.
    std::wstring RandomCommand(bool emptySet) {
        const std::wstring number = std::to_wstring(PickNumber(true));
        const std::vector<std::wstring> openers = {
            L"-Call " + number, L"-Call " + number, L"-CALL " + number, L"-call " + number,
            L"-Loop 3",         L"-Loop 7",         L"-loop 5",         L"-ENDLOOP"};
        const std::vector<std::wstring> others = {
            L"-Duration 0.1", L"-Duration 2.5", L"-Duration 10", L"-Duration 0.3",
            L"-duration 4",   L"-Off Blue",     L"-TTLHigh 3",   L"-SetIntensity Red 7"};
        return PickFrom(emptySet == (Pick(5) != 0) ? openers : others);
    }

    // Returns the expected result and applies the command to the reference when it succeeds.
    int ExpectAddCommand(std::uint32_t n, std::uint32_t set, const std::wstring& text,
                         bool& refusedByTiming) {
        if (Is(text, L"-call") && !reference_.IsUsed(ReadNumber(text.substr(6)))) {
            return -1;
        }
        CommandSet& commands = reference_.slots[n].sets[set];
        const bool opensSet = Is(text, L"-call") || Is(text, L"-loop") || Is(text, L"-endloop");
        if (opensSet && !commands.empty()) {
            return -1;
        }
        commands.push_back(text);
        if (Is(text, L"-call") && !reference_.TimeEveryUsedSequence()) {
            reference_.slots[n].sets[set].pop_back();
            refusedByTiming = true;
            return -1;
        }
        return 0;
    }

    // A number of the pool, mostly one that is used (or free) as asked.
    std::uint32_t PickNumber(bool used) {
        std::vector<std::uint32_t> matching;
        for (std::uint32_t n = 0; n < kPool; ++n) {
            if (reference_.IsUsed(n) == used) {
                matching.push_back(n);
            }
        }
        return matching.empty() || Pick(4) == 0 ? Pick(kPool) : PickFrom(matching);
    }

    struct Outcome {
        int result;
        int expected;
        int events;
    };

    Outcome AddSequence() {
        const std::uint32_t n = PickNumber(false);
        const std::wstring name = L"S" + std::to_wstring(nextName_++);
        reference_.slots[n] = {name, {}};
        return {container.AddSequence(n, name), 0, 1};
    }

    Outcome RemoveSequence() {
        const std::uint32_t n = PickNumber(true);
        const int expected = reference_.IsUsed(n) ? 0 : -1;
        reference_.slots[n] = {};
        return {container.RemoveSequence(n), expected, 1};
    }

    Outcome MoveSequence() {
        const std::uint32_t from = PickNumber(true);
        const std::uint32_t to = PickNumber(false);
        const int expected = reference_.IsUsed(from) && !reference_.IsUsed(to) ? 0 : -1;
        if (expected == 0) {
            reference_.Move(from, to);
        }
        return {container.ModifySequenceNumber(from, to), expected, 2};
    }

    // Adds, removes, clears or swaps command sets of a used sequence (or fails on a free one).
    Outcome ChangeCommandSets(std::uint32_t kind) {
        const std::uint32_t n = PickNumber(true);
        std::vector<CommandSet>& sets = reference_.slots[n].sets;
        const auto count = static_cast<std::uint32_t>(sets.size());
        if (kind == 0) {
            const bool used = reference_.IsUsed(n);
            const std::uint32_t position = used ? Pick(count + 1) : 0;
            if (used) {
                sets.insert(sets.begin() + position, CommandSet());
            }
            return {container.AddCommandSet(n, position), used ? 0 : -1, 1};
        }
        const int expected = count > 0 ? 0 : -1;
        const std::uint32_t a = count > 0 ? Pick(count) : 0;
        const std::uint32_t b = count > 0 ? Pick(count) : 0;
        if (kind == 1) {
            if (count > 0) {
                sets.erase(sets.begin() + a);
            }
            return {container.RemoveCommandSet(n, a), expected, 1};
        }
        if (kind == 2) {
            if (count > 0) {
                sets[a].clear();
            }
            return {container.ClearCommandSet(n, a), expected, 1};
        }
        if (count > 0) {
            std::swap(sets[a], sets[b]);
        }
        return {container.SwapCommandSets(n, a, b), expected, 1};
    }

    Outcome AddCommand() {
        std::vector<std::pair<std::uint32_t, std::uint32_t>> places;
        for (std::uint32_t n = 0; n < kPool; ++n) {
            for (std::uint32_t set = 0; set < SetCount(n); ++set) {
                places.emplace_back(n, set);
            }
        }
        if (places.empty()) {
            return AddSequence();
        }
        const auto [n, set] = PickFrom(places);
        const std::wstring text = RandomCommand(reference_.slots[n].sets[set].empty());
        reference_.messages.clear();
        log.messages.clear();
        bool refusedByTiming = false;
        const int expected = ExpectAddCommand(n, set, text, refusedByTiming);
        const int result = container.AddCommand(n, set, text);
        if (refusedByTiming) {
            EXPECT_EQ(ErrorMessages(), reference_.messages) << text;
        }
        return {result, expected, 1};
    }

    void ApplyRandomOperation() {
        const std::uint32_t kind = Pick(100);
        const Outcome outcome = kind < 6    ? AddSequence()
                                : kind < 9  ? RemoveSequence()
                                : kind < 15 ? MoveSequence()
                                : kind < 35 ? ChangeCommandSets(kind % 4 == 0 ? 1 : 0)
                                : kind < 40 ? ChangeCommandSets(kind % 2 == 0 ? 2 : 3)
                                            : AddCommand();
        EXPECT_EQ(outcome.result, outcome.expected) << "operation " << kind;
        EXPECT_EQ(changes, outcome.expected == 0 ? outcome.events : 0) << "operation " << kind;
        ResetRecords();
    }

    void CompareModels() {
        for (std::uint32_t n = 0; n < kPool; ++n) {
            ASSERT_EQ(container.GetSequenceName(n), reference_.slots[n].name) << n;
            ASSERT_EQ(container.GetCommandSets(n), reference_.slots[n].sets) << n;
        }
    }

    void CompareTiming() {
        for (std::uint32_t n = 0; n < kPool; ++n) {
            CompareOneTiming(
                n, [&](double& total) { return container.GetSequenceDuration(n, total); },
                [&](double& total) { return reference_.Time(n, total, {}); });
        }
        for (int pair = 0; pair < 4; ++pair) {
            const std::uint32_t calling = Pick(kPool);
            const std::uint32_t called = Pick(kPool + 1) == kPool ? 255 : Pick(kPool);
            reference_.messages.clear();
            double scratch = 0.0;
            const bool refused = !reference_.Time(called, scratch, {calling});
            EXPECT_EQ(container.CheckCallNesting(calling, called), refused);
            EXPECT_EQ(ErrorMessages(), reference_.messages);
            ResetRecords();
        }
    }

    template <typename Actual, typename Expected>
    void CompareOneTiming(std::uint32_t n, Actual actual, Expected expected) {
        reference_.messages.clear();
        double actualTotal = 0.0;
        double expectedTotal = 0.0;
        const int result = actual(actualTotal);
        EXPECT_EQ(result == 0, expected(expectedTotal)) << n;
        // Same operations in the same order: the totals agree to the last bit.
        EXPECT_EQ(actualTotal, expectedTotal) << n;
        EXPECT_EQ(ErrorMessages(), reference_.messages) << n;
        ResetRecords();
    }

    std::mt19937 random_{GetParam()};
    ReferenceModel reference_;
    int nextName_ = 0;
};

TEST_P(RandomModelTest, AgreesWithTheReferenceWalk) {
    for (int step = 0; step < 400 && !HasFatalFailure(); ++step) {
        ApplyRandomOperation();
        CompareModels();
        CompareTiming();
    }
}

INSTANTIATE_TEST_SUITE_P(Seeds, RandomModelTest,
                         ::testing::Values(1u, 7u, 42u, 2024u, 31337u, 99991u));

}  // namespace
