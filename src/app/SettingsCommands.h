#pragma once

class ConfigFileProcessor;
class LogFile;
class MicroController;
class SequenceContainer;

// The setup and settings file vocabulary wired to the models: initializes the processor with
// the log and registers its seven commands in table order (-AddLED, -SetMicroControllerPortNumber,
// -SetIntensity, -SetLEDPulse, -AddSequenceCommandSet, -AddSequence, -AddSequenceCommand). The
// models must outlive the processor.
void InitializeSettingsProcessor(ConfigFileProcessor& processor, LogFile* log,
                                 MicroController& device, SequenceContainer& sequences);
