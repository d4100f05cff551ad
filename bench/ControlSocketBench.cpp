// What the control socket adds to a device transaction, on the emulated Zavik Driver over a
// pseudo-terminal.
//
//   BM_RunRequestVsTransaction  a script's {"op":"run"} until its answer (sent once the device
//                               accepted StartSequence), against one bare StartSequence
//                               transaction on the same device queue; both in every iteration,
//                               medians of all iterations and their difference
//   BM_ForwardedRun             `ostra-cli run 0` while `ostra-cli serve` holds the settings:
//                               from the process start until the emulator received StartSequence
//   BM_StandaloneRun            the same command with nothing serving: its own start-up,
//                               connect and intensities first, for comparison

#include <benchmark/benchmark.h>

#include <chrono>
#include <future>
#include <memory>
#include <string>
#include <vector>

#include "app/ApplicationCore.h"
#include "app/ControlClient.h"
#include "app/ControlServer.h"
#include "app/ControlService.h"
#include "app/DeviceQueue.h"
#include "app/DeviceSession.h"
#include "app/ManualControl.h"
#include "common/Median.h"
#include "device/SerialPortLister.h"
#include "foundation/Notifier.h"
#include "support/ChildProcess.h"
#include "support/EmulatedDriver.h"
#include "support/FileBytes.h"
#include "support/PrivateUserEnvironment.h"
#include "support/TempDir.h"

namespace {

using Clock = std::chrono::steady_clock;
using Json = nlohmann::ordered_json;

constexpr std::chrono::milliseconds kPatience{30000};

double Microseconds(Clock::duration duration) {
    return std::chrono::duration<double, std::micro>(duration).count();
}

// A private TEMP, APPDATA, XDG_RUNTIME_DIR and port directory with the emulated driver on port 4 and
// one sequence of a single 0.1 ms step as the operator's settings.
class World {
  public:
    World() {
        std::filesystem::create_directories(dir_.Path() / "appdata/Velorin/Ostra");
        WriteFileBytes(dir_.Path() / "appdata/Velorin/Ostra/OstraSettings.cfg",
                       "-AddSequence 0 \"Tick\"\n-AddSequenceCommandSet 0 0\n"
                       "-AddSequenceCommand 0 0 \"-TTLHigh 3\"\n"
                       "-AddSequenceCommand 0 0 \"-Duration 0.1\"\n");
        ready_ = driver_.Start() == 0;
    }
    bool IsReady() const { return ready_; }
    // The children inherit the private environment.
    std::map<std::string, std::string> Environment() const { return {}; }
    EmulatedDriver& Driver() { return driver_; }

  private:
    TempDir dir_;
    PrivateUserEnvironment environment_{dir_.Path()};
    EmulatedDriver driver_{dir_.Path() / "ports", 4};
    bool ready_ = false;
};

// Runs `job` on the device queue and waits for it.
void OnQueue(DeviceQueue& queue, const std::function<void()>& job) {
    std::promise<void> done;
    queue.Post([&] {
        job();
        done.set_value();
    });
    done.get_future().wait();
}

void BM_RunRequestVsTransaction(benchmark::State& state) {
    World world;
    StderrNotifier notifier;
    ApplicationCore core(notifier);
    if (!world.IsReady() || core.RunStartupSequence() != ApplicationCore::StartupResult::Started) {
        state.SkipWithError("the core could not start beside the emulated driver");
        return;
    }
    const std::unique_ptr<SerialPortLister> lister = CreatePlatformSerialPortLister();
    DeviceSession session(core.GetMicroController(), *lister, notifier, &core.GetLogFile());
    ManualControl manual(core.GetMicroController(), &core.GetLogFile());
    ThreadDeviceQueue queue;
    ControlService service(core, session, manual, queue, ControlCause::Window());
    ControlServer server(service);
    ControlClient client;
    service.Start();
    if (!server.Start().Ok() || !client.Connect(server.SocketPath()) ||
        !client.Call({{"op", "connect"}}).value_or(Json())["ok"].get<bool>() ||
        !client.Call({{"op", "upload"}}).value_or(Json())["ok"].get<bool>() ||
        !client.Call({{"op", "subscribe"}})) {
        state.SkipWithError("the control socket could not connect and upload");
        return;
    }
    std::vector<double> bare;
    std::vector<double> requested;
    for (auto _ : state) {
        OnQueue(queue, [&] {
            const Clock::time_point start = Clock::now();
            core.GetMicroController().StartSequence(0);
            bare.push_back(Microseconds(Clock::now() - start));
        });
        const Clock::time_point start = Clock::now();
        const std::optional<Json> answer = client.Call({{"op", "run"}, {"sequence", 0}});
        requested.push_back(Microseconds(Clock::now() - start));
        if (!answer || !(*answer)["ok"].get<bool>()) {
            state.SkipWithError("a run was refused");
            break;
        }
        for (std::optional<Json> line;
             (line = client.ReadLine(kPatience)) && (*line)["event"] != "sequenceEnded";) {
        }
    }
    server.Stop();
    queue.Stop();
    session.Disconnect();
    core.ShutDown(ApplicationCore::SettingsOnShutDown::Keep);
    if (!bare.empty()) {
        state.counters["transaction_us"] = Median(bare);
        state.counters["run_request_us"] = Median(requested);
        state.counters["added_us"] = Median(requested) - Median(bare);
    }
}

// From the process start of `ostra-cli run 0` until the emulator holds its StartSequence, which
// is the packet `packets` after those it had.
void MeasureRuns(benchmark::State& state, World& world, std::size_t packets) {
    std::vector<double> started;
    for (auto _ : state) {
        const std::size_t before = world.Driver()->PacketCount();
        const Clock::time_point start = Clock::now();
        ChildProcess run(OSTRA_CLI_PROGRAM, {"run", "0"}, world.Environment());
        if (!world.Driver()->WaitForPackets(before + packets, kPatience)) {
            state.SkipWithError("StartSequence never arrived");
            break;
        }
        started.push_back(Microseconds(Clock::now() - start));
        if (run.Finish(kPatience).exitCode != 0) {
            state.SkipWithError("the run failed");
            break;
        }
    }
    if (!started.empty()) {
        state.counters["to_start_sequence_ms"] = Median(started) / 1000.0;
    }
}

void BM_ForwardedRun(benchmark::State& state) {
    World world;
    ChildProcess serve(OSTRA_CLI_PROGRAM, {"serve"}, world.Environment());
    serve.ReadLine(kPatience);
    if (!world.IsReady() || !serve.ReadLine(kPatience).starts_with("Serving") ||
        ChildProcess(OSTRA_CLI_PROGRAM, {"upload"}, world.Environment())
                .Finish(kPatience)
                .exitCode != 0) {
        state.SkipWithError("ostra-cli serve did not start and upload");
        return;
    }
    MeasureRuns(state, world, 1);
}

void BM_StandaloneRun(benchmark::State& state) {
    World world;
    if (!world.IsReady() || ChildProcess(OSTRA_CLI_PROGRAM, {"upload"}, world.Environment())
                                    .Finish(kPatience)
                                    .exitCode != 0) {
        state.SkipWithError("ostra-cli could not upload");
        return;
    }
    // The firmware query and three intensities come before it.
    MeasureRuns(state, world, 5);
}

BENCHMARK(BM_RunRequestVsTransaction)->Unit(benchmark::kMicrosecond)->MinTime(3.0)->UseRealTime();
BENCHMARK(BM_ForwardedRun)->Unit(benchmark::kMillisecond)->Iterations(40);
BENCHMARK(BM_StandaloneRun)->Unit(benchmark::kMillisecond)->Iterations(20);

}  // namespace

BENCHMARK_MAIN();
