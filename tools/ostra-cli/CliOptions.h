#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// The subcommands of ostra-cli. Ports, Check, Show and Timeline only look: they never write a
// settings file.
enum class CliCommand {
    Ports,
    Check,
    Show,
    Timeline,
    Connect,
    LedOn,
    LedOff,
    LedIntensity,
    LedPulseStart,
    LedPulseStop,
    Upload,
    Run,
    Stop,
    Import,
    Export,
    OpenSettings,
    SaveSettings,
    Serve,
    Watch,
};

// Everything the command line says, as the operator typed it (text is kept as its bytes).
struct CliOptions {
    CliCommand command = CliCommand::Ports;
    bool json = false;
    // Where OstraSetup.cfg is read from; empty means the program's directory.
    std::string setupDirectory;
    // Shortens the serial read time-outs (tests of a silent device); 0 keeps the line's own.
    int readTimeoutMs = 0;

    // check
    std::vector<std::string> files;
    // show (optional), run, import, export
    std::optional<std::uint32_t> sequence;
    // show --script
    bool script = false;
    // run --upload
    bool upload = false;
    // timeline: how many settings to list at most, and where to write the picture (if at all)
    std::uint64_t maxEvents = 10000;
    std::string svgFile;

    // led: the labels of on and off (off without labels means every LED), or the one label of
    // the other LED subcommands.
    std::vector<std::string> labels;
    std::uint64_t intensity = 0;
    std::optional<double> widthOn;
    std::optional<double> widthOff;
    std::optional<std::uint64_t> loopCount;

    // import: the new sequence's name; import, export, open-settings, save-settings: the file.
    std::string name;
    std::string file;
};

// Whether the subcommand may change the operator's settings, and so must be their only writer
// while it runs (the others neither lock nor rewrite the per-user settings file).
inline bool MayChangeSettings(CliCommand command) {
    return command != CliCommand::Ports && command != CliCommand::Watch &&
           command != CliCommand::Check && command != CliCommand::Show &&
           command != CliCommand::Timeline && command != CliCommand::Export &&
           command != CliCommand::SaveSettings;
}

// Whether the subcommand only looks and so leaves the operator's settings files alone.
inline bool IsInspectOnly(CliCommand command) {
    return command == CliCommand::Ports || command == CliCommand::Check ||
           command == CliCommand::Show || command == CliCommand::Timeline;
}
