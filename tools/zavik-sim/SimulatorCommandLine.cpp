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
    "until SIGINT or SIGTERM.";

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
    "Received bytes before an STX, and headers announcing 0 or more than 64 data bytes, are "
    "dropped as line noise. Packets with a bad type, ETX or checksum are answered with status "
    "0xFF (General Failure) echoing their first data byte.\n"
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
    app.add_flag("-v,--verbose", raw.verbose, "Print every received packet, decoded, to stdout");
    app.add_option("--packet-log", config.packetLogPath,
                   "Append every received packet, decoded, to FILE (one line each, flushed)")
        ->type_name("FILE");
    app.add_option("--state-file", config.stateFilePath,
                   "Write the final device state to FILE on exit")
        ->type_name("FILE");
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
    app.footer(kFaultHelp);
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
