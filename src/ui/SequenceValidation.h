#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "foundation/Step.h"
#include "foundation/StepRules.h"
#include "sequences/ChangedSequences.h"
#include "sequences/SequenceContainer.h"

// Which steps of the operator's sequences the sequence model or the conversion to script
// commands would refuse, and why, so that the window marks them while the operator edits
// instead of an upload failing halfway. It asks the rules themselves, never a log, so the
// operator's log stays untouched.
//
// A recompute re-judges only the sequences changed since the last one and the sequences that
// call them (a caller's chain of calls may have grown too deep or closed a cycle): one edit of
// the largest protocol costs a few sequences, not all 255.
class SequenceValidation {
  public:
    // Sequence number, row (command set index), column as the editor numbers them.
    using Cell = std::tuple<std::uint32_t, int, int>;

    // Follows the model's changes from here on; the first recompute judges every sequence.
    explicit SequenceValidation(SequenceContainer& sequences);
    ~SequenceValidation();
    SequenceValidation(const SequenceValidation&) = delete;
    SequenceValidation& operator=(const SequenceValidation&) = delete;

    // Only while the model holds still (no device job runs).
    void Recompute();

    // Each refused cell with the first reason given for it.
    const std::map<Cell, std::wstring>& Cells() const { return cells_; }
    std::optional<std::wstring> CellReason(std::uint32_t sequence, int row, int column) const;
    // What the operator can do about a refused cell, in the grid's words (the reason is the
    // log's).
    std::optional<std::wstring> CellAdvice(std::uint32_t sequence, int row, int column) const;
    // Why the sequence cannot run; none when it can.
    std::optional<std::wstring> SequenceReason(std::uint32_t sequence) const;
    // Why "Upload" would fail: the upload's own message and the conversion's reason; none
    // when every sequence converts.
    const std::optional<std::wstring>& UploadRefusal() const { return uploadRefusal_; }

  private:
    static constexpr std::size_t kSlots = SequenceContainer::kSequenceCount;
    using Numbers = ChangedSequences::Numbers;

    struct Mark {
        int row;
        int column;
        std::wstring reason;
        std::wstring advice;
    };
    // Everything found about one sequence.
    struct Verdict {
        std::vector<Mark> marks;
        // Why timing refuses it, and why the conversion does.
        std::optional<std::wstring> timingReason;
        std::optional<std::wstring> conversionReason;
        Numbers callees;
    };
    using Sets = std::vector<CommandSet>;
    struct DeviceWording;

    Verdict Judge(std::uint32_t number) const;
    void JudgeSteps(std::uint32_t number, const Sets& sets, Verdict& verdict) const;
    Mark RefusedCommand(std::uint32_t number, std::size_t set,
                        const std::vector<std::wstring>& commands,
                        const StepRules::Refusal& refusal, const Step& before) const;
    static void Refuse(Verdict& verdict, Mark mark);
    Numbers WithCallers(Numbers numbers) const;
    void Store(std::uint32_t number, Verdict verdict);
    void FindUploadRefusal();
    int ColumnOf(const std::wstring& command) const;

    SequenceContainer& sequences_;
    ChangedSequences pending_;
    std::unique_ptr<DeviceWording> device_;
    std::array<Verdict, kSlots> verdicts_;
    std::map<Cell, std::wstring> cells_;
    std::map<Cell, std::wstring> advice_;
    std::optional<std::wstring> uploadRefusal_;
};
