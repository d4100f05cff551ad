#pragma once

#include <string>

#include "config/ConfigFileProcessor.h"
#include "device/MicroController.h"
#include "foundation/ErrorRecorder.h"
#include "foundation/LogFile.h"
#include "foundation/VlrDataTypes.h"
#include "sequences/SequenceContainer.h"

// How the start-up wires its models: the processor executes into the device and sequence
// models, and the sequence model learns the device's LED labels and TTL bits once the setup file
// declared them. The start-up and every set of scratch models use these two steps alone.
namespace ModelWiring {
void Connect(LogFile& log, MicroController& device, ConfigFileProcessor& processor,
             SequenceContainer& sequences);
void HandOverVocabulary(const MicroController& device, SequenceContainer& sequences);
}  // namespace ModelWiring

// A device model, a sequence model and a command processor that belong to a check alone, wired
// as the start-up wires the real ones, so that files are read exactly as the application reads
// them while the operator's models and settings stay untouched. Their log writes no file: its
// Error messages are kept by the recorder. Used by the check, the fuzz targets and the
// benchmarks.
class ScratchModels {
  public:
    ScratchModels();
    ScratchModels(const ScratchModels&) = delete;
    ScratchModels& operator=(const ScratchModels&) = delete;

    // Declares the LEDs of a setup file and hands their labels to the sequence model.
    VlrDataTypes::VlrRetVal ReadSetupFile(const std::wstring& path);
    // Defines every sequence of the source here as well (names first, so calls find their
    // callees whatever the order).
    void CopySequencesFrom(const SequenceContainer& source);

    LogFile log;
    ErrorRecorder recorder;
    MicroController device;
    SequenceContainer sequences;
    ConfigFileProcessor processor;
};
