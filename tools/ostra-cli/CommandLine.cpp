#include "ostra-cli/CommandLine.h"

#include <CLI/CLI.hpp>
#include <cctype>
#include <sstream>
#include <string>

#include "foundation/TextConversion.h"
#include "ostra-cli/ExitCode.h"
#include "ostra-cli/TextFormat.h"

namespace {

constexpr const char* kDescription =
    "ostra-cli: the headless front end of Ostra, the controller of the Zavik Driver LED "
    "light-stimulus device. Every command starts the application as the window does: the setup "
    "file beside the program, the per-user settings file, a dated data directory with this run's "
    "log. Commands that change something hold the settings while they run and save them on exit "
    "when they changed; ports, check and show never write a settings file.";

constexpr const char* kEpilog =
    "Exit codes:\n"
    "  0  success\n"
    "  1  start-up failure (setup file missing or invalid, data or settings folder missing or not "
    "safe, settings "
    "in use by another Ostra program)\n"
    "  2  usage error (wrong command line)\n"
    "  3  validation error (bad file line, out-of-range value, unknown label or sequence, file "
    "not readable or writable, log not written)\n"
    "  4  device error (connect failed, port in use, device refused a command or did not "
    "answer)\n"
    "  5  interrupted (SIGINT or SIGTERM during a run; the stop was sent first)\n"
    "     any command ends so after its current device exchange or file line, stopping what it "
    "started\n"
    "Everything logged at Warning and above is echoed on standard error as "
    "\"ostra-cli: <Level>: <message>\". --json prints one JSON object on standard output.\n"
    "Files:\n"
    "  OstraSetup.cfg     the setup file, beside the program (or in --setup-dir)\n"
    "  settings           $APPDATA/Velorin/Ostra/OstraSettings.cfg; without APPDATA\n"
    "                     ${XDG_CONFIG_HOME:-~/.config}/Velorin/Ostra/OstraSettings.cfg\n"
    "  each run's folder  $TEMP/VelorinData/Ostra/YYYY-MM-DD_HH-MM-SS (log, snapshots, the\n"
    "                     settings it ended with); without TEMP\n"
    "                     ${XDG_DATA_HOME:-~/.local/share}/VelorinData/Ostra/...\n"
    "While a window or \"ostra-cli serve\" holds the settings and serves the control socket,\n"
    "connect, upload, run, stop, led and show (the list) are carried out by that program.\n"
    "When anything failed, the last line on standard error names the run's log.";

constexpr const char* kLedNote =
    "Only the named LEDs change (\"led off\" alone: all). The device cannot report its "
    "outputs, so the mask last sent to a port is remembered beside the port directory and the "
    "next invocation starts from it, assuming nothing else changed the outputs meanwhile (the "
    "window, a power cycle, a sequence's own -On/-Off); when in doubt, \"led off\".";

std::string LedFooter() {
    return std::string(kLedNote) + "\n\n" + kEpilog;
}

// CLI11 reads numbers as C does: 020 as octal, 0x20 as hexadecimal. The files read every number
// as decimal, and so does the command line: a sign, digits and at most one decimal point, nothing
// else; leading zeros are dropped so that the parser cannot take them for octal.
bool IsDecimalText(const std::string& text, std::size_t start) {
    bool digits = false;
    bool point = false;
    for (std::size_t i = start; i < text.size(); ++i) {
        if (text[i] == '.' && !point) {
            point = true;
        } else if (std::isdigit(static_cast<unsigned char>(text[i])) != 0) {
            digits = true;
        } else {
            return false;
        }
    }
    return digits;
}

std::string ReadAsDecimal(std::string& text) {
    const std::size_t start = (!text.empty() && (text[0] == '+' || text[0] == '-')) ? 1 : 0;
    if (!IsDecimalText(text, start)) {
        return "Value " + text + " is not a decimal number";
    }
    std::size_t end = start;
    while (end + 1 < text.size() && text[end] == '0' &&
           std::isdigit(static_cast<unsigned char>(text[end + 1])) != 0) {
        ++end;
    }
    text.erase(start, end - start);
    return "";
}

const CLI::Validator kDecimal(ReadAsDecimal, "");

// The raw values CLI11 fills; moved into CliOptions once parsing succeeded.
struct RawOptions {
    std::uint32_t sequence = 0;
    double widthOn = 0.0;
    double widthOff = 0.0;
    std::uint64_t loopCount = 0;
    std::string label;
};

class Definition {
  public:
    explicit Definition(CliOptions& options) : app_(kDescription, "ostra-cli"), options_(options) {}

    CLI::App& Build() {
        app_.footer(kEpilog);
        app_.require_subcommand(1, 1);
        app_.fallthrough();
        app_.add_flag("--json", options_.json, "Print one JSON object instead of text");
        app_.add_option("--setup-dir", options_.setupDirectory,
                        "Directory holding OstraSetup.cfg (default: the program's directory)")
            ->type_name("DIR");
        // For tests of a device that stops answering; not meant for operators.
        app_.add_option("--read-timeout-ms", options_.readTimeoutMs)
            ->transform(kDecimal)
            ->check(CLI::Range(1, 600000))
            ->group("");
        AddInspectCommands();
        AddDeviceCommands();
        AddLedCommands();
        AddFileCommands();
        return app_;
    }

    void Finish() {
        for (const auto& [command, option] : sequenceOptions_) {
            if (command == options_.command && option->count() > 0) {
                options_.sequence = raw_.sequence;
            }
        }
        // An empty label is a label too: the device model refuses it as an unknown colour.
        for (const CLI::Option* option : labelOptions_) {
            if (option->count() > 0) {
                options_.labels = {raw_.label};
            }
        }
        if (widthOnOption_->count() > 0) {
            options_.widthOn = raw_.widthOn;
        }
        if (widthOffOption_->count() > 0) {
            options_.widthOff = raw_.widthOff;
        }
        if (loopsOption_->count() > 0) {
            options_.loopCount = raw_.loopCount;
        }
    }

  private:
    CLI::App* Subcommand(CLI::App& parent, const std::string& name, const std::string& help,
                         CliCommand command) {
        CLI::App* sub = parent.add_subcommand(name, help);
        sub->callback([this, command] { options_.command = command; });
        return sub;
    }

    void AddSequenceArgument(CLI::App* sub, CliCommand command, const std::string& help,
                             bool required) {
        CLI::Option* option = sub->add_option("N", raw_.sequence, help)->transform(kDecimal);
        if (required) {
            option->required();
        }
        sequenceOptions_.emplace_back(command, option);
    }

    void AddInspectCommands() {
        Subcommand(app_, "ports",
                   "List the serial ports with their descriptive names, marking the Zavik Driver",
                   CliCommand::Ports);
        CLI::App* check = Subcommand(
            app_, "check",
            "Check setup, settings or sequence files against the setup without touching the "
            "device; reports every failing line as FILE:LINE: reason",
            CliCommand::Check);
        check
            ->add_option("FILE", options_.files,
                         "Files read one after another into the same scratch models")
            ->required();
        check->footer(
            std::string(
                "A file with -AddLED lines is a setup file; a file of -AddSequenceCommandSet and "
                "-AddSequenceCommand lines only is a sequence file, read as a new sequence beside "
                "the operator's (and earlier files') sequences; any other file is a settings file, "
                "which replaces all sequences as opening it would.\n\n") +
            kEpilog);
        CLI::App* show = Subcommand(app_, "show",
                                    "Show the sequences, or one sequence's steps; --script adds "
                                    "its script commands, decoded and as hex",
                                    CliCommand::Show);
        AddSequenceArgument(show, CliCommand::Show, "Sequence number 0..254", false);
        show->add_flag("--script", options_.script,
                       "Also show the converted script commands of sequence N");
        CLI::App* timeline =
            Subcommand(app_, "timeline",
                       "List what sequence N sets, and when: time in ms, output, value and the "
                       "step it came from (TSV), checked against the script the upload sends",
                       CliCommand::Timeline);
        AddSequenceArgument(timeline, CliCommand::Timeline, "Sequence number 0..254", true);
        timeline->add_option("--svg", options_.svgFile, "Also draw the timeline into an SVG file")
            ->type_name("FILE");
        timeline
            ->add_option("--max-events", options_.maxEvents,
                         "List at most K settings (default 10000); loops and calls can repeat "
                         "them billions of times")
            ->type_name("K")
            ->transform(kDecimal)
            ->check(CLI::PositiveNumber);
        timeline->footer(
            std::string(
                "Outputs start as before a run: every LED off at its stored intensity, every "
                "TTL bit low (the lines with source \"initial\"). A listing cut short by "
                "--max-events and the check of the script walk end the text as lines beginning "
                "with \"# \".\n\n") +
            kEpilog);
    }

    void AddDeviceCommands() {
        Subcommand(app_, "connect",
                   "Connect (port discovery, then the port number of the setup and settings "
                   "files), report port and firmware, send all intensities, disconnect",
                   CliCommand::Connect);
        Subcommand(app_, "upload", "Upload all sequences to the device", CliCommand::Upload);
        CLI::App* run = Subcommand(app_, "run",
                                   "Start sequence N and wait for its duration; SIGINT or "
                                   "SIGTERM sends the stop (and every LED off) and exits with 5",
                                   CliCommand::Run);
        AddSequenceArgument(run, CliCommand::Run, "Sequence number 0..254", true);
        run->add_flag("--upload", options_.upload, "Upload all sequences first");
        Subcommand(app_, "stop", "Stop the running sequence and switch every LED off",
                   CliCommand::Stop);
        Subcommand(app_, "serve",
                   "Hold the settings and the device and serve the control socket to scripts "
                   "until SIGINT or SIGTERM, which stop what was started and end it",
                   CliCommand::Serve);
        Subcommand(app_, "watch",
                   "Print the events of the Ostra program serving the control socket (text, or "
                   "JSON lines with --json) until interrupted",
                   CliCommand::Watch);
    }

    void AddLedCommands() {
        CLI::App* led = app_.add_subcommand("led", "Manual LED control");
        led->require_subcommand(1, 1);
        led->footer(LedFooter());
        CLI::App* on = Subcommand(*led, "on", "Switch LEDs on", CliCommand::LedOn);
        on->add_option("LABEL", options_.labels, "Colour labels")->required();
        on->footer(LedFooter());
        CLI::App* off =
            Subcommand(*led, "off", "Switch LEDs off (all without labels)", CliCommand::LedOff);
        off->add_option("LABEL", options_.labels, "Colour labels");
        off->footer(LedFooter());
        CLI::App* intensity = Subcommand(
            *led, "intensity", "Set an LED's intensity 0..255 (stored in the settings, then sent)",
            CliCommand::LedIntensity);
        labelOptions_.push_back(
            intensity->add_option("LABEL", raw_.label, "Colour label")->required());
        // Negative numbers would wrap round in an unsigned value; the device model's own limits
        // and messages apply to everything else.
        intensity->add_option("VALUE", options_.intensity, "Intensity 0..255")
            ->required()
            ->transform(kDecimal)
            ->check(CLI::NonNegativeNumber);
        CLI::App* start = Subcommand(*led, "pulse-start",
                                     "Start an LED's pulse train (given parameters are stored "
                                     "in the settings first)",
                                     CliCommand::LedPulseStart);
        labelOptions_.push_back(start->add_option("LABEL", raw_.label, "Colour label")->required());
        widthOnOption_ = start->add_option("--on", raw_.widthOn, "Width on, 0.1..1800000.0 ms")
                             ->type_name("MS")
                             ->transform(kDecimal);
        widthOffOption_ = start->add_option("--off", raw_.widthOff, "Width off, 0.1..1800000.0 ms")
                              ->type_name("MS")
                              ->transform(kDecimal);
        loopsOption_ =
            start->add_option("--loops", raw_.loopCount, "Loop count 0..1000000 (0: until stopped)")
                ->type_name("N")
                ->transform(kDecimal)
                ->check(CLI::NonNegativeNumber);
        CLI::App* stop = Subcommand(*led, "pulse-stop",
                                    "Stop an LED's pulse train and switch "
                                    "it off",
                                    CliCommand::LedPulseStop);
        labelOptions_.push_back(stop->add_option("LABEL", raw_.label, "Colour label")->required());
    }

    void AddFileCommands() {
        CLI::App* import = Subcommand(
            app_, "import", "Define sequence N named NAME from a stimulus sequence command file",
            CliCommand::Import);
        AddSequenceArgument(import, CliCommand::Import, "Free sequence number 0..254", true);
        import->add_option("NAME", options_.name, "Sequence name (unique)")->required();
        import->add_option("FILE", options_.file, "Stimulus sequence command file")->required();
        CLI::App* exportCommand =
            Subcommand(app_, "export", "Write sequence N as a stimulus sequence command file",
                       CliCommand::Export);
        AddSequenceArgument(exportCommand, CliCommand::Export, "Sequence number 0..254", true);
        exportCommand->add_option("FILE", options_.file, "File to write")->required();
        CLI::App* open = Subcommand(app_, "open-settings",
                                    "Replace the settings with a settings file's (all sequences "
                                    "first removed); nothing is saved when a line fails",
                                    CliCommand::OpenSettings);
        open->add_option("FILE", options_.file, "Settings file")->required();
        CLI::App* save = Subcommand(app_, "save-settings", "Write the settings to a file",
                                    CliCommand::SaveSettings);
        save->add_option("FILE", options_.file, "File to write")->required();
    }

    CLI::App app_;
    CliOptions& options_;
    RawOptions raw_;
    std::vector<std::pair<CliCommand, CLI::Option*>> sequenceOptions_;
    CLI::Option* widthOnOption_ = nullptr;
    CLI::Option* widthOffOption_ = nullptr;
    CLI::Option* loopsOption_ = nullptr;
    std::vector<CLI::Option*> labelOptions_;
};

// The innermost subcommand given, and the words that name it.
const CLI::App* GivenCommand(const CLI::App& app, std::string& words) {
    const CLI::App* command = &app;
    while (!command->get_subcommands().empty()) {
        command = command->get_subcommands().front();
        words += (words.empty() ? "" : " ") + command->get_name();
    }
    return command;
}

// CLI11 takes a word that names no subcommand for a missing one; say which word it was. A
// subcommand hands a word it cannot place back to its parent, so it may be left over anywhere.
std::optional<std::string> UnknownSubcommand(const CLI::App& app, const CLI::App& command) {
    if (command.get_require_subcommand_min() == 0) {
        return std::nullopt;
    }
    for (const std::string& word : app.remaining(true)) {
        if (!word.empty() && word.front() != '-') {
            return "Unknown subcommand \"" + word + "\"; see --help.";
        }
    }
    return std::nullopt;
}

void PrintEscapedLines(std::ostream& err, const std::string& text) {
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        err << TextFormat::ForTerminal(NarrowToWide(line)) << '\n';
    }
    err.flush();
}

bool AsksForJson(int argc, const char* const* argv) {
    for (int i = 1; i < argc && std::string(argv[i]) != "--"; ++i) {
        if (std::string(argv[i]) == "--json") {
            return true;
        }
    }
    return false;
}

}  // namespace

std::optional<CliOptions> CommandLine::Parse(int argc, const char* const* argv, int& exitCode,
                                             std::ostream& out, std::ostream& err,
                                             UsageError& usage) {
    CliOptions options;
    Definition definition(options);
    CLI::App& app = definition.Build();
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        const CLI::App* command = GivenCommand(app, usage.command);
        const bool missing = dynamic_cast<const CLI::RequiredError*>(&error) != nullptr;
        const std::optional<std::string> unknown =
            missing ? UnknownSubcommand(app, *command) : std::nullopt;
        // The parser echoes the words it refused; they reach the terminal escaped like any
        // other text.
        std::ostringstream refusal;
        if (unknown) {
            refusal << *unknown << '\n';
            exitCode = ExitCode::kUsage;
        } else {
            exitCode = app.exit(error, out, refusal) == 0 ? ExitCode::kSuccess : ExitCode::kUsage;
        }
        PrintEscapedLines(err, refusal.str());
        usage.message = unknown.value_or(error.what());
        usage.json = AsksForJson(argc, argv);
        return std::nullopt;
    }
    definition.Finish();
    exitCode = ExitCode::kSuccess;
    return options;
}
