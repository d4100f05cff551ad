#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

class ScratchModels;
class SequenceContainer;

// Which steps of the operator's sequences the sequence model or the conversion to script
// commands would refuse, and why, so that the window marks them while the operator edits
// instead of an upload failing halfway. The check runs on models of its own (the LEDs of the
// setup file, a copy of the sequences), so the operator's log and models stay untouched.
//
// Recompute after a change of the sequences, not on every paint: it copies and converts them
// all.
class SequenceValidation {
  public:
    // Sequence number, row (command set index), column as the editor numbers them.
    using Cell = std::tuple<std::uint32_t, int, int>;

    explicit SequenceValidation(const std::wstring& setupFile);
    ~SequenceValidation();
    SequenceValidation(const SequenceValidation&) = delete;
    SequenceValidation& operator=(const SequenceValidation&) = delete;

    void Recompute(const SequenceContainer& sequences);

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
    void CopySequences(const SequenceContainer& source);
    void CheckSteps(std::uint32_t number, const std::vector<std::vector<std::wstring>>& sets);
    void CheckLoops(std::uint32_t number, const std::vector<std::vector<std::wstring>>& sets,
                    const std::wstring& reason);
    void Refuse(std::uint32_t number, int row, const std::wstring& command,
                const std::vector<std::wstring>& reasons, const std::wstring& advice);
    int ColumnOf(const std::wstring& command) const;
    bool Converts(const std::vector<std::vector<std::wstring>>& sets) const;

    std::unique_ptr<ScratchModels> models_;
    std::map<Cell, std::wstring> cells_;
    std::map<Cell, std::wstring> advice_;
    std::map<std::uint32_t, std::wstring> sequenceReasons_;
    std::optional<std::wstring> uploadRefusal_;
};
