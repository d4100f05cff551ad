#pragma once

#include <cstdint>
#include <string>

#include "app/OperationResult.h"

class LogFile;
class SequenceContainer;

// The files of the sequence model, in the .cfg command format: the sequence section of a
// settings file, and stimulus sequence command files holding the steps of one sequence.
namespace SequenceFiles {

// The "#Sequence Container Settings" section of a settings file, lines ending in CR LF.
std::wstring SettingsSection(const SequenceContainer& sequences);

// Writes the steps of sequence `number`, without its number or name. The file is replaced in one
// step, so a failed save keeps it as it was. Failures are logged at Error (a null log logs
// nothing) and carried in the result.
OperationResult SaveSequenceFile(const SequenceContainer& sequences, std::uint32_t number,
                                 const std::wstring& fileName, LogFile* log);

// Where an import stopped.
struct ImportFailure {
    // Counted from 1; 0 when the failure was not at a line.
    int lineNumber = 0;
    std::wstring lineText;
    std::wstring reason;
};

// Defines sequence `number` as `name` with the steps of the file; the numbers in the file play
// no part. All or nothing: a used number is refused, and a file that fails at any line leaves
// the model as it was. The failure's message names the file and the first failing line.
OperationResult ImportSequenceFile(SequenceContainer& sequences, std::uint32_t number,
                                   const std::wstring& name, const std::wstring& fileName,
                                   LogFile* log, ImportFailure* failure = nullptr);

}  // namespace SequenceFiles
