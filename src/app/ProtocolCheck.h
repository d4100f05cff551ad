#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/ConfigFileSurvey.h"

class ScratchModels;
class SequenceContainer;

// Checks .cfg files without touching the device or the operator's settings: each file is read
// into scratch models as the application would use it (see ConfigFileSurvey) and every failing
// line is reported with the reasons the models logged for it. A settings file replaces the
// sequences; a sequence file is imported exactly as an import would (one new sequence, all or
// nothing) beside the operator's sequences, so its calls resolve against those. Every sequence
// the file defines is then timed and converted as an upload would convert it.
class ProtocolCheck {
  public:
    struct Finding {
        // None for a failure of the whole file or of one of its sequences.
        std::optional<int> lineNumber;
        std::wstring lineText;
        std::vector<std::wstring> reasons;
    };
    struct SequenceFact {
        std::uint32_t number = 0;
        // Empty for the sequence of a sequence file: it has no name of its own.
        std::wstring name;
        double durationMs = 0.0;
        std::size_t scriptCommands = 0;
    };
    // A file of a million bad lines must not fill memory, the screen and the log: only the first
    // ones are kept, the rest only counted.
    static constexpr std::size_t kMaxKeptFindings = 1000;

    struct FileResult {
        std::wstring path;
        ConfigFileSurvey::Kind kind = ConfigFileSurvey::Kind::Settings;
        // The first kMaxKeptFindings of failureCount.
        std::vector<Finding> findings;
        std::uint64_t failureCount = 0;
        std::vector<SequenceFact> sequences;
        bool Ok() const { return failureCount == 0; }
        void Add(Finding finding);
    };

    // The setup file declares the LEDs; the operator's sequences are what a sequence file's
    // calls may reach.
    ProtocolCheck(const std::wstring& setupFile, const SequenceContainer& operatorSequences);
    ~ProtocolCheck();
    ProtocolCheck(const ProtocolCheck&) = delete;
    ProtocolCheck& operator=(const ProtocolCheck&) = delete;

    FileResult CheckFile(const std::wstring& path);

  private:
    void ReadInto(ScratchModels& models, FileResult& result);
    void ImportSequenceFile(FileResult& result);
    void CheckSequences(const std::vector<std::uint32_t>& numbers, FileResult& result);

    std::unique_ptr<ScratchModels> models_;
};
