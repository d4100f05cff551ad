#pragma once

#include <string>

#include "config/ConfigFileProcessor.h"
#include "device/MicroController.h"
#include "foundation/LogFile.h"
#include "foundation/VlrDataTypes.h"
#include "ostra-cli/ErrorRecorder.h"
#include "sequences/SequenceContainer.h"

// A device model, a sequence model and a command processor that belong to a check alone, wired
// as the start-up wires the real ones, so that files are read exactly as the application reads
// them while the operator's models and settings stay untouched. Their log writes no file: its
// Error messages are kept by the recorder.
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
