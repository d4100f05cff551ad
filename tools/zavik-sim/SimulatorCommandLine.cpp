#include "zavik-sim/SimulatorCommandLine.h"

#include <CLI/CLI.hpp>
#include <string>
#include <vector>

#include "foundation/TextConversion.h"

using VlrDataTypes::VLR_FAILURE;
using VlrDataTypes::VLR_SUCCESS;
using VlrDataTypes::VlrRetVal;

namespace {

constexpr const char* kDescription =
    "Emulates a Zavik Driver LED light-stimulus device on a pseudo-terminal, registered in the "
    "port directory as \"Zavik Driver Virtual Com Port (COMN)\", and answers its command packets "
    "until SIGINT, SIGTERM or SIGHUP.";

constexpr const char* kModelHelp =
    "Modelled: LED outputs, intensities and TTL bits 3..6; pulse trains in time (on first for "
    "width on, then off for width off, loop count periods, 0 = until stopped; the LED ends off); "
    "uploaded scripts run in time from StartSequence: every command takes one 0.1 ms step and "
    "sets its outputs at its start, WaitSteps n takes n steps (0 still one), EndLoop takes its "
    "step on every pass and jumps back until its count is run, CallSequence takes its step and "
    "runs the called script, EndOfSequence takes no time and returns; the run ends at the last "
    "EndOfSequence or with StopSequence, and 'running' clears. A StartSequence while one runs "
    "ends the first. Scripts are checked at EndSequenceUpload (last command EndOfSequence, known "
    "op codes, EndLoop jumping back, TTL bits 3..6, calls of uploaded, non-recursive sequences); "
    "problems are warnings on stderr, or with --strict refused with status 0xFD.\n"
    "Assumed, not known of the real device: these timing rules, what bit 7 of the output mask "
    "means (nothing here), that outputs a script sets stay set after it ends, and that commands "
    "arriving while a script runs are carried out at once.\n"
    "Without a real clock (tests) device time can run faster with --time-scale.\n";

constexpr const char* kFaultHelp =
    "Fault rules (--fault KIND[:CMD][@N]; CMD a command ID, decimal or 0x hex, default any; N the "
    "matching packet to hit, counted from 1, default every one):\n"
    "  status=CODE  answer with status CODE; the command is not carried out\n"
    "  silent       answer nothing\n"
    "  half         send only the first half of the answer's bytes\n"
    "  bad-crc      checksum byte with its lowest bit flipped\n"
    "  bad-stx      STX 0x00 (checksum matching)\n"
    "  bad-type     packet type 0x01 (checksum matching)\n"
    "  wrong-id     echo the command ID plus one (checksum matching)\n"
    "  oversize     only the header 02 02 05 04, announcing 1029 data bytes\n"
    "  garbage      as many random bytes as the answer has, never starting with 02\n"
    "  hangup       no answer; close the pseudo-terminal as if unplugged and exit with 3\n"
    "  delay=MS     answer MS milliseconds late\n"
    "Example: --fault status=0xFC:0x14@2 --fault silent:0x17\n"
    "Received bytes before an STX are dropped as line noise. Every packet of 1..65535 data bytes "
    "is read whole and answered once: with status 0xFF (General Failure) echoing its first data "
    "byte when its type, ETX or checksum is wrong, 0xFE for an unknown command, 0xFD for a "
    "wrong data length. When the last client closes the port, answers it never read are "
    "dropped and the port leaves exclusive mode.\n"
    "Exit status: 0 after a signal or --exit-after-ms, 1 when it cannot start, 2 for wrong "
    "options, 3 after a hangup fault.";

CLI::Validator FaultValidator() {
    return CLI::Validator(
        [](std::string& text) -> std::string {
            FaultRule rule;
            std::wstring problem;
            if (FaultRule::Parse(NarrowToWide(text), rule, problem) != VLR_SUCCESS) {
                return WideToNarrow(problem);
            }
            return std::string();
        },
        "", "fault rule");
}

struct RawOptions {
    std::string firmware = "ZVK-SIM 1.0";
    std::string portDirectory;
    std::vector<std::string> faults;
    int delayMs = 0;
    int frameTimeoutMs = 1000;
    int exitAfterMs = 0;
    bool verbose = false;
    std::string leds = "Blue,Green,Red";
};

void AddOptions(CLI::App& app, ProgramOptions& options, RawOptions& raw) {
    SimulatorConfig& config = options.simulator;
    app.add_option("-p,--port", config.portNumber,
                   "Port number N of the registered name \"Zavik Driver Virtual Com Port (COMN)\"")
        ->type_name("N")
        ->check(CLI::Range(1, 9999))
        ->capture_default_str();
    app.add_option("--port-dir", raw.portDirectory,
                   "Directory to register in (default $OSTRA_PORT_DIR, else "
                   "$XDG_RUNTIME_DIR/ostra/ports, else /tmp/ostra-UID/ports)")
        ->type_name("DIR");
    app.add_option("--firmware", raw.firmware, "Version text of the GetFirmwareVersion answer")
        ->type_name("TEXT")
        ->capture_default_str();
    app.add_option("--fault", raw.faults, "Misbehave as the rule says (repeatable; see below)")
        ->type_name("KIND[:CMD][@N]")
        ->check(FaultValidator());
    app.add_option("--delay-ms", raw.delayMs, "Pause before every answer, in milliseconds")
        ->type_name("MS")
        ->check(CLI::Range(0, 600000))
        ->capture_default_str();
    app.add_flag("--pace", config.pace,
                 "Send answers at the real line rate (9600 baud, about 1.04 ms a byte)");
    app.add_option("--frame-timeout-ms", raw.frameTimeoutMs,
                   "Give up a packet left incomplete this long (0: wait forever)")
        ->type_name("MS")
        ->check(CLI::Range(0, 600000))
        ->capture_default_str();
    app.add_option("--seed", config.randomSeed, "Seed of the garbage fault's bytes")
        ->type_name("N")
        ->capture_default_str();
    app.add_flag("-v,--verbose", raw.verbose,
                 "Print every received packet, decoded, to stdout, with the seconds since the "
                 "start, and notes of clients connecting and going, dropped bytes and sequences");
    app.add_option("--packet-log", config.packetLogPath,
                   "Append what --verbose prints to FILE (one line each, flushed)")
        ->type_name("FILE");
    app.add_option("--state-file", config.stateFilePath,
                   "Write the device state to FILE at the start and again after every change "
                   "(replaced whole): outputs by name and mask, intensities, pulse trains, "
                   "sequences, the running one")
        ->type_name("FILE");
    app.add_option("--events", config.eventsPath,
                   "Write every output change to FILE in the columns of 'ostra-cli timeline' "
                   "(time_ms, lane, value, source); each sequence run between '# sequence N "
                   "start' and '# sequence N end' lines, its times from its start")
        ->type_name("FILE");
    app.add_option("--leds", raw.leds,
                   "LED labels in the setup file's order (device LED IDs 0, 2, 1), for the state "
                   "file and the event record")
        ->type_name("A,B,C")
        ->capture_default_str();
    app.add_option("--time-scale", config.timeScale,
                   "Run device time this many times faster than real time")
        ->type_name("X")
        ->check(CLI::Range(0.001, 1e6))
        ->capture_default_str();
    app.add_flag("--strict", config.strictScripts,
                 "Refuse a script with problems at EndSequenceUpload (status 0xFD) instead of "
                 "warning");
    app.add_option("--exit-after-ms", raw.exitAfterMs,
                   "Exit by itself after this many milliseconds (0: run until a signal)")
        ->type_name("MS")
        ->check(CLI::Range(0, 86400000))
        ->capture_default_str();
}

void ApplyRawOptions(const RawOptions& raw, ProgramOptions& options, std::ostream& out) {
    SimulatorConfig& config = options.simulator;
    config.firmwareVersion = NarrowToWide(raw.firmware);
    config.portDirectory = raw.portDirectory;
    config.answerDelay = std::chrono::milliseconds(raw.delayMs);
    config.frameTimeout = std::chrono::milliseconds(raw.frameTimeoutMs);
    config.verboseStream = raw.verbose ? &out : nullptr;
    options.exitAfter = std::chrono::milliseconds(raw.exitAfterMs);
    config.ledLabels.clear();
    for (std::size_t start = 0; start <= raw.leds.size();) {
        const std::size_t comma = std::min(raw.leds.find(',', start), raw.leds.size());
        config.ledLabels.push_back(NarrowToWide(raw.leds.substr(start, comma - start)));
        start = comma + 1;
    }
    for (const std::string& text : raw.faults) {
        FaultRule rule;
        std::wstring problem;
        FaultRule::Parse(NarrowToWide(text), rule, problem);
        config.faults.push_back(rule);
    }
}

}  // namespace

VlrRetVal SimulatorCommandLine::Parse(int argc, const char* const* argv, ProgramOptions& options,
                                      int& exitCode, std::ostream& out, std::ostream& err) {
    CLI::App app(kDescription, "zavik-sim");
    app.footer(std::string(kModelHelp) + kFaultHelp);
    RawOptions raw;
    AddOptions(app, options, raw);
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        const int cliCode = app.exit(error, out, err);
        exitCode = cliCode == 0 ? 0 : 2;
        return VLR_FAILURE;
    }
    ApplyRawOptions(raw, options, out);
    return VLR_SUCCESS;
}
