#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "foundation/DeviceLimits.h"
#include "foundation/SequenceCommandWords.h"
#include "foundation/StepRules.h"
#include "foundation/VlrDataTypes.h"
#include "sequences/CallStack.h"
#include "sequences/SequenceSlot.h"
#include "sequences/SubscribedEvent.h"
#include "sequences/TimingMemo.h"

class LogFile;

// Every stimulus sequence the operator has defined, and the only place where sequences change.
// Each change is validated, every failure is logged at Error and answered with -1 (the model
// then stays as it was), and every success raises the change event after the change is done.
//
// Timing (SequenceTiming.cpp) walks the sequences and their calls; it also guards AddCommand
// against call cycles and too deep nesting. Files, upload and snapshots live in the application
// layer (app/SequenceFiles.h, app/SequenceUpload.h).
class SequenceContainer {
  public:
    using VlrRetVal = VlrDataTypes::VlrRetVal;

    static constexpr std::uint32_t kSequenceCount = DeviceLimits::kSequenceCount;

    // What one change event covers, so that a subscriber re-reads only that. Steps are command
    // sets, numbered as the model numbers them.
    struct Change {
        // Any sequence may have changed: every slot was cleared, or calls were renumbered.
        static constexpr std::uint32_t kEverySequence = kSequenceCount;
        // Every step from firstStep on: an inserted or removed set moves the sets after it.
        static constexpr std::size_t kToTheEnd = SIZE_MAX;

        static Change Every() { return {}; }
        static Change Sequence(std::uint32_t number) { return {number, 0, kToTheEnd}; }
        static Change Steps(std::uint32_t number, std::size_t first, std::size_t end) {
            return {number, first, end};
        }

        bool IsEverySequence() const { return sequence == kEverySequence; }
        bool Covers(std::uint32_t number) const { return IsEverySequence() || sequence == number; }
        bool operator==(const Change&) const = default;

        std::uint32_t sequence = kEverySequence;
        std::size_t firstStep = 0;
        // One past the last step changed; equal to firstStep when only the name changed.
        std::size_t endStep = kToTheEnd;
    };
    using ChangeEvent = SubscribedEvent<int(const Change&)>;
    // The longest chain timing accepts is the outermost sequence plus this many nested calls.
    static constexpr std::size_t kMaxNestedCalls = 4;
    // A step without -Duration lasts this long, in milliseconds (the device's script time step).
    static constexpr double kDefaultStepDuration = 0.1;

    // One step's time: its duration once through (a call step with its callee) and the loop
    // factor it runs under; the step adds their product to its sequence.
    struct StepTime {
        double duration = 0.0;
        std::uint32_t loopFactor = 1;
    };

    // Hears the timing walk, so that whatever follows the steps (the editor's times, the
    // stimulus timeline) takes its times from the one walk GetSequenceDuration makes. The walk
    // is a template on the observer's own type, so a `final` observer costs no virtual call per
    // step and plain timing none at all.
    class StepObserver {
      public:
        // False to hear nothing of this walk of the sequence, nor of the sequences it calls.
        virtual bool EnterSequence(std::uint32_t number) = 0;
        // Each step in turn, after the sequence it calls was walked.
        virtual void StepTimed(const std::vector<ParsedCommand>& commands,
                               const StepTime& time) = 0;
        // After the last step of the sequence entered last.
        virtual void SequenceTimed() = 0;

      protected:
        ~StepObserver() = default;
    };

    SequenceContainer();
    virtual ~SequenceContainer();

    // Links set at start-up. The log may stay null: failures are then not reported anywhere.
    void SetLogFile(LogFile* log) { log_ = log; }
    // The labels -On, -Off and -SetIntensity may name, in LED order. The stored commands find
    // their outputs again among new names.
    void SetColorLabels(const std::vector<std::wstring>& labels);
    // The bits -TTLHigh and -TTLLow may name. Until start-up hands over the device model's list
    // the container knows the bits every device has: "3", "4", "5" and "6".
    void SetTTLBitNames(const std::vector<std::wstring>& names);
    // The names ParsedCommand::Output counts in.
    const std::vector<std::wstring>& GetColorLabels() const { return colorLabels_; }
    const std::vector<std::wstring>& GetTTLBitNames() const { return ttlBitNames_; }

    ChangeEvent::SubscriptionId SubscribeToChanges(ChangeEvent::Callback callback);

    VlrRetVal ValidateSequenceNumber(std::uint32_t number) const;
    VlrRetVal ValidateSequenceName(const std::wstring& name) const;

    VlrRetVal AddSequence(std::uint32_t number, const std::wstring& name);
    VlrRetVal RemoveSequence(std::uint32_t number);
    // Moves a sequence and makes every -Call of the old number call the new one. Raises the
    // change event twice: once when the old slot is emptied, once for every sequence at the end.
    VlrRetVal ModifySequenceNumber(std::uint32_t oldNumber, std::uint32_t newNumber);
    VlrRetVal RenameSequence(std::uint32_t number, const std::wstring& name);
    VlrRetVal ClearAllSequences();

    // The numbers of every defined sequence, ascending.
    std::vector<std::uint32_t> UsedSequenceNumbers() const;
    // Appends every free number, ascending; the list is not emptied first.
    VlrRetVal GetAvailableSequenceNumbers(std::vector<std::uint32_t>& numbers) const;
    VlrRetVal IsSequenceReferenced(std::uint32_t number, bool& referenced) const;

    VlrRetVal ValidateCommandSetIndex(std::uint32_t number, std::uint32_t set) const;
    // set may equal the number of sets, which appends.
    VlrRetVal AddCommandSet(std::uint32_t number, std::uint32_t set);
    VlrRetVal RemoveCommandSet(std::uint32_t number, std::uint32_t set);
    VlrRetVal ClearCommandSet(std::uint32_t number, std::uint32_t set);
    VlrRetVal SwapCommandSets(std::uint32_t number, std::uint32_t setA, std::uint32_t setB);
    // Verifies the command and appends it verbatim. After a -Call every sequence is timed, and
    // the call is taken back when that fails.
    VlrRetVal AddCommand(std::uint32_t number, std::uint32_t set, const std::wstring& text);
    // Makes `texts` the command set, all or nothing: every command is checked as AddCommand
    // checks it, in order, and when one is refused the set keeps its old commands. Raises the
    // change event once.
    VlrRetVal ReplaceCommandSet(std::uint32_t number, std::uint32_t set,
                                const std::vector<std::wstring>& texts);

    // "12.Main" for sequence 12 named Main.
    VlrRetVal GetSequenceLabel(std::uint32_t number, std::wstring& label) const;
    // Reads the number back from a label, also when a word and a blank precede it.
    VlrRetVal ExtractSequenceNumberFromLabel(const std::wstring& label,
                                             std::uint32_t& number) const;

    // Empty for a free slot (and for a number out of range).
    const std::wstring& GetSequenceName(std::uint32_t number) const;
    const std::vector<CommandSet>& GetCommandSets(std::uint32_t number) const;
    // The parsed form timing walks, one entry beside each command text; number below 255.
    const ParsedSetList& GetParsedCommandSets(std::uint32_t number) const {
        return slots_[number].ParsedSets();
    }

    // The step a command set makes, as the device reads it (StepText); when GetRefusedCommand
    // names a command, the step holds only the commands before it (the texts hold them all).
    // number below 255, set below its sequence's count.
    const Step& GetStep(std::uint32_t number, std::uint32_t set) const {
        return slots_[number].StepAt(set);
    }
    std::optional<std::size_t> GetRefusedCommand(std::uint32_t number, std::uint32_t set) const {
        return slots_[number].RefusedCommandAt(set);
    }

    bool IsValidColor(const std::wstring& label) const;

    // Timing, in milliseconds. GetSequenceDuration adds the total to the value passed in.
    VlrRetVal GetSequenceDuration(std::uint32_t number, double& duration) const;
    // The same walk, step by step.
    VlrRetVal GetStepTimes(std::uint32_t number, std::vector<StepTime>& steps) const;
    // The same walk, told to `observer`, a StepObserver; a failure leaves it with a walk cut
    // short. Defined in sequences/SequenceWalk.h, which its callers include.
    template <class Observer>
    VlrRetVal WalkSequence(std::uint32_t number, double& duration, Observer& observer) const;
    // True when timing `called` as if `calling` called it fails: a cycle, too deep a nesting,
    // a bad number or a malformed command.
    bool CheckCallNesting(std::uint32_t calling, std::uint32_t called) const;
    VlrRetVal ComputeSequenceDuration(std::uint32_t number, double& duration,
                                      CallStack stack) const;

    // What timing refuses in a chain of calls: a call back into the chain, or one call too many.
    enum class ChainFault { Cycle, TooDeep };
    // The fault timing finds walking the sequence and its callees, without logging it.
    std::optional<ChainFault> FindChainFault(std::uint32_t number) const;
    static std::wstring ChainFaultText(ChainFault fault);

    // What the rulebook judges this model's commands against: its names and its sequences.
    StepRules::Context RuleContext() const;
    // A rulebook's verdict on a command of step `set`, worded as the log words it.
    std::wstring RefusalText(const StepRules::Refusal& refusal, const std::wstring& text,
                             std::uint32_t number, std::uint32_t set) const;

  private:
    using Arguments = std::vector<std::wstring>;

    void LogError(const std::wstring& message) const;
    void RaiseChangeEvent(const Change& change) { changeEvent_.Raise(change); }
    bool IsUsed(std::uint32_t number) const { return slots_[number].IsUsed(); }
    // Every change of a slot goes through here, so that timing forgets what it learnt from it.
    SequenceSlot& ChangeSlot(std::uint32_t number) {
        knownTimings_.MarkChanged(number);
        return slots_[number];
    }

    // AddCommand without its change event and without the timing check of a -Call.
    VlrRetVal AppendCheckedCommand(std::uint32_t number, std::uint32_t set,
                                   const std::wstring& text, bool& isCall);
    // The sequence the set's step calls (kSequenceCount when it calls none).
    std::uint32_t CalledSequence(std::uint32_t number, std::uint32_t set) const;
    void RewriteCalls(std::uint32_t oldNumber, std::uint32_t newNumber);
    VlrRetVal TimeEveryUsedSequence();
    // The check after one -Call was appended to `number`.
    VlrRetVal CheckAddedCall(std::uint32_t number, std::uint32_t called);
    // The walk with no one listening (SequenceWalk.h defines the walk itself).
    class NoObserver;
    // A chain fault is logged, or kept in `fault` when one is given.
    VlrRetVal TimeSequence(std::uint32_t number, double& duration, CallStack stack,
                           TimingMemo& memo, std::optional<ChainFault>* fault = nullptr) const;
    template <class Observer>
    VlrRetVal TimeSequence(std::uint32_t number, double& duration, CallStack stack,
                           TimingMemo& memo, Observer& observer,
                           std::optional<ChainFault>* fault) const;
    // The result of timing the sequence when it need not be walked: a bad number, a chain
    // fault, or a total the memo knows.
    std::optional<VlrRetVal> TimeWithoutWalking(std::uint32_t number, double& duration,
                                                const CallStack& stack, const TimingMemo& memo,
                                                std::optional<ChainFault>* fault) const;
    // A -Call is only noted: the callee is timed once the step's own duration is known.
    VlrRetVal TimeCommand(const ParsedCommand& command, double& stepDuration,
                          std::uint32_t& loopFactor, std::optional<std::uint32_t>& called) const;
    template <class Observer>
    VlrRetVal TimeCall(std::uint32_t called, double& stepDuration, const CallStack& stack,
                       TimingMemo& memo, TimingMemo::Reach& reach, Observer& observer,
                       std::optional<ChainFault>* fault) const;
    VlrRetVal CheckSingleArgument(SequenceCommandWords::Word word,
                                  const ParsedCommand& command) const;

    // The rulebook's verdicts, logged (SequenceCommandVerification.cpp).
    VlrRetVal Judge(const std::optional<StepRules::Refusal>& refusal, const std::wstring& text,
                    std::uint32_t number, std::uint32_t set) const;
    VlrRetVal VerifyCommand(const std::wstring& text, const Arguments& tokens, std::uint32_t number,
                            std::uint32_t set) const;
    VlrRetVal VerifyArgumentCount(SequenceCommandWords::Word word, std::size_t given) const;
    static std::wstring SequenceNumberRangeText(std::uint32_t number);

    // The names ParsedCommand resolves outputs against.
    ParsedCommand::OutputNames CommandOutputNames() const;

    std::array<SequenceSlot, kSequenceCount> slots_;
    // What the checks after each added -Call learnt; kept from one check to the next.
    TimingMemo knownTimings_;
    std::vector<std::wstring> colorLabels_;
    std::vector<std::wstring> ttlBitNames_;
    ChangeEvent changeEvent_;
    LogFile* log_ = nullptr;
};
