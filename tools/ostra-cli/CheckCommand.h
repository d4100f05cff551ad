#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ostra-cli/CommandContext.h"
#include "ostra-cli/ConfigFileSurvey.h"

class ScratchModels;

// ostra-cli check FILE...: reads each file into scratch models as the application would use it
// (see ConfigFileSurvey) and reports every failing line as "FILE:LINE: reason", the reason
// being what the models logged for that line. Every sequence the file defines is also timed
// and converted as an upload would convert it. On success each such sequence's duration is
// shown. Nothing touches the device or the operator's settings.
class CheckCommand {
  public:
    explicit CheckCommand(CommandContext& context);
    ~CheckCommand();

    CommandOutcome Run();

  private:
    struct Finding {
        // None for a failure of the whole file or of one of its sequences.
        std::optional<int> lineNumber;
        std::wstring lineText;
        std::vector<std::wstring> reasons;
    };
    struct SequenceFact {
        std::uint32_t number = 0;
        std::wstring name;
        double durationMs = 0.0;
        std::size_t scriptCommands = 0;
    };
    struct FileResult {
        std::wstring path;
        ConfigFileSurvey::Kind kind = ConfigFileSurvey::Kind::Settings;
        std::vector<Finding> findings;
        std::vector<SequenceFact> sequences;
    };

    FileResult CheckFile(const std::wstring& path);
    void ReadInto(ScratchModels& models, FileResult& result);
    void PrepareSequenceFile(const ConfigFileSurvey& survey, FileResult& result);
    void CheckSequences(const std::vector<std::uint32_t>& numbers, FileResult& result);
    std::vector<std::uint32_t> DefinedSequences(const FileResult& result,
                                                const ConfigFileSurvey& survey) const;
    void Report(const FileResult& result);

    CommandContext& context_;
    std::unique_ptr<ScratchModels> models_;
};
