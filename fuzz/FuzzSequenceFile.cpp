// Sequence-file loading on arbitrary file content, into a sequence model that already holds a
// short call chain for -Call to reach. Whatever the load left in the sequence must survive
// being saved as a sequence file and loaded again, and must convert to script commands or be
// refused without harm.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "app/SequenceFiles.h"
#include "device/MicroController.h"
#include "foundation/LogFile.h"
#include "foundation/TextConversion.h"
#include "foundation/VlrDataTypes.h"
#include "sequences/SequenceContainer.h"

using FuzzSupport::Check;
using VlrDataTypes::VLR_SUCCESS;

namespace {

constexpr std::uint32_t kLoaded = 0;
constexpr std::uint32_t kFirstFree = 3;

// Sequence 2 calls 1, so the loaded sequence can call a chain two deep.
void AddCallChain(SequenceContainer& sequences) {
    Check(sequences.AddSequence(1, L"Inner") == VLR_SUCCESS &&
              sequences.AddCommandSet(1, 0) == VLR_SUCCESS &&
              sequences.AddCommand(1, 0, L"-Duration 2.5") == VLR_SUCCESS &&
              sequences.AddSequence(2, L"Outer") == VLR_SUCCESS &&
              sequences.AddCommandSet(2, 0) == VLR_SUCCESS &&
              sequences.AddCommand(2, 0, L"-Call 1") == VLR_SUCCESS,
          "the call chain could not be set up");
}

void ConvertToScript(LogFile& log, const SequenceContainer& sequences) {
    MicroController device(&log);
    Check(device.AddLED(L"Blue", 0.0) == VLR_SUCCESS &&
              device.AddLED(L"Green", 0.0) == VLR_SUCCESS &&
              device.AddLED(L"Red", 0.0) == VLR_SUCCESS,
          "the LEDs could not be added");
    std::vector<std::uint8_t> script;
    if (device.ConvertToScript(sequences.GetCommandSets(kLoaded), script) == VLR_SUCCESS) {
        Check(script.size() % ScriptCommand::kSize == 0, "a script holds a partial command");
    }
}

// A free number that no -Call names: loading there cannot make a call its own caller.
std::uint32_t UnreferencedFreeNumber(const SequenceContainer& sequences) {
    for (std::uint32_t number = kFirstFree; number < SequenceContainer::kSequenceCount; ++number) {
        bool referenced = true;
        Check(sequences.IsSequenceReferenced(number, referenced) == VLR_SUCCESS,
              "a valid number could not be looked up");
        if (!referenced) {
            return number;
        }
    }
    Check(false, "every number is called");
    return 0;
}

void CheckSavedAndReloaded(SequenceContainer& sequences) {
    const std::wstring savedPath = PathToWide(FuzzSupport::ScratchDirectory() / "saved.cfg");
    Check(SequenceFiles::SaveSequenceFile(sequences, kLoaded, savedPath, nullptr).Ok(),
          "a loaded sequence could not be saved");
    const std::uint32_t reloaded = UnreferencedFreeNumber(sequences);
    Check(SequenceFiles::ImportSequenceFile(sequences, reloaded, L"Reloaded", savedPath, nullptr)
              .Ok(),
          "a saved sequence could not be loaded again");
    Check(sequences.GetCommandSets(reloaded) == sequences.GetCommandSets(kLoaded),
          "a saved sequence loaded again differs");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::wstring path = FuzzSupport::WriteScratchFile("sequence.cfg", data, size);
    // Without a file the log still composes every message and time stamp; nothing is written.
    LogFile log;
    SequenceContainer sequences;
    sequences.SetLogFile(&log);
    sequences.SetColorLabels({L"Blue", L"Green", L"Red"});
    AddCallChain(sequences);

    // An import is all or nothing: a failed one leaves no trace.
    if (!SequenceFiles::ImportSequenceFile(sequences, kLoaded, L"Loaded", path, &log)) {
        Check(sequences.GetSequenceName(kLoaded).empty(), "a failed import left its sequence");
        return 0;
    }
    double duration = 0.0;
    if (sequences.GetSequenceDuration(kLoaded, duration) == VLR_SUCCESS) {
        Check(std::isfinite(duration) && duration >= 0.0, "a duration is not a number >= 0");
    }
    ConvertToScript(log, sequences);
    CheckSavedAndReloaded(sequences);
    return 0;
}
