// Device transactions against the emulated Zavik Driver over a pseudo-terminal, each measured
// beside its floor: a bare round trip on a pseudo-terminal of its own, where a peer thread
// answers a request of the same size with a response of the same size and does nothing else.
// Every iteration does both, one right after the other, so that whatever else the machine is
// doing weighs on both alike; the counters give the two figures and their ratio.
//
//   BM_TransactionVsRoundTrip  one SetLEDOutputs command (9 bytes out, 8 back) through
//                              MicroControllerConnection::ExecuteCommand, against a 9/8 round
//                              trip; medians of all iterations
//   BM_UploadVsRoundTrip       MicroController::UploadSequence of 10,000 steps (10,001 script
//                              commands, each 22 bytes out and 8 back), per script command,
//                              against as many 22/8 round trips; medians of the iterations
//   BM_BareRoundTrip           the floor alone, for reference
//
// "logged:1" writes the run's log to a file as the application does (every packet at the Data
// level); "logged:0" has no log.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "common/Median.h"
#include "common/PtyEchoPeer.h"
#include "device/MicroController.h"
#include "device/MicroControllerConnection.h"
#include "device/PacketConstants.h"
#include "foundation/LogFile.h"
#include "support/EmulatedDriver.h"
#include "support/TempDir.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kPortNumber = 58;
constexpr std::size_t kOutputsCommandBytes = 9;
constexpr std::size_t kScriptCommandBytes = 22;
constexpr std::size_t kAnswerBytes = 8;
constexpr std::uint32_t kUploadSteps = 10000;
// One script command per step, and the end marker.
constexpr std::uint32_t kUploadScriptCommands = kUploadSteps + 1;
constexpr std::uint32_t kUploadedNumber = 7;

// The log of a run, in a directory of its own; none for the runs without a log.
class RunLog {
  public:
    explicit RunLog(bool logged) {
        if (logged) {
            log_ = std::make_unique<LogFile>(&notifier_);
            log_->SetLogFilename(directory_.File("OstraLogFile"));
        }
    }
    LogFile* Get() { return log_.get(); }

  private:
    TempDir directory_;
    StderrNotifier notifier_;
    std::unique_ptr<LogFile> log_;
};

double Microseconds(Clock::duration duration) {
    return std::chrono::duration<double, std::micro>(duration).count();
}

// Every step switches an output, so each is one script command and none has a wait.
std::vector<std::vector<std::wstring>> LongSequence() {
    std::vector<std::vector<std::wstring>> steps;
    for (std::uint32_t step = 0; step < kUploadSteps; ++step) {
        steps.push_back(step % 2 == 0 ? std::vector<std::wstring>{L"-On Blue"}
                                      : std::vector<std::wstring>{L"-Off Blue", L"-TTLLow 4"});
    }
    return steps;
}

// The floor must carry exactly what the transaction carries.
bool LastExchangeHasSizes(const EmulatedDriver& driver, std::size_t sent, std::size_t answered) {
    const std::vector<PacketRecord> packets = driver->Packets();
    return !packets.empty() && packets.back().received.size() == sent &&
           packets.back().sent.size() == answered;
}

bool HoldsTheWholeSequence(const EmulatedDriver& driver) {
    const DeviceState device = driver->State();
    const auto stored = device.Sequences().find(kUploadedNumber);
    return stored != device.Sequences().end() && stored->second.size() == kUploadScriptCommands;
}

void ReportAgainstFloor(benchmark::State& state, const char* name, double measured, double floor) {
    state.counters[name] = measured;
    state.counters["round_trip_us"] = floor;
    state.counters["ratio"] = floor > 0.0 ? measured / floor : 0.0;
}

void BM_BareRoundTrip(benchmark::State& state) {
    PtyEchoPeer peer(static_cast<std::size_t>(state.range(0)),
                     static_cast<std::size_t>(state.range(1)));
    if (!peer.IsOpen()) {
        state.SkipWithError("no pseudo-terminal");
        return;
    }
    for (auto _ : state) {
        if (!peer.RoundTrip()) {
            state.SkipWithError("the round trip failed");
            break;
        }
    }
}

void BM_TransactionVsRoundTrip(benchmark::State& state) {
    RunLog log(state.range(0) != 0);
    TempDir ports;
    EmulatedDriver driver(ports.Path(), kPortNumber);
    MicroControllerConnection connection(log.Get());
    PtyEchoPeer peer(kOutputsCommandBytes, kAnswerBytes);
    if (driver.Start() != VlrDataTypes::VLR_SUCCESS ||
        connection.Connect(kPortNumber) != VlrDataTypes::VLR_SUCCESS || !peer.IsOpen()) {
        state.SkipWithError("could not connect to the emulated driver");
        return;
    }
    // Blue on, with bit 7 as every SetLEDOutputs command carries it.
    const std::uint8_t payload[] = {DeviceCommand::SetLEDOutputs, 0x81, 0x00};
    std::vector<double> transactions;
    std::vector<double> roundTrips;
    for (auto _ : state) {
        std::uint16_t responseSize = 0;
        const Clock::time_point start = Clock::now();
        const bool executed = connection.ExecuteCommand(payload, sizeof payload, responseSize) ==
                              VlrDataTypes::VLR_SUCCESS;
        const Clock::time_point middle = Clock::now();
        const bool echoed = peer.RoundTrip();
        const Clock::time_point end = Clock::now();
        if (!executed || !echoed) {
            state.SkipWithError("an exchange failed");
            break;
        }
        transactions.push_back(Microseconds(middle - start));
        roundTrips.push_back(Microseconds(end - middle));
    }
    if (!LastExchangeHasSizes(driver, kOutputsCommandBytes, kAnswerBytes)) {
        state.SkipWithError("the exchange does not have the sizes of its floor");
    }
    ReportAgainstFloor(state, "transaction_us", Median(transactions), Median(roundTrips));
    connection.Disconnect();
}

void BM_UploadVsRoundTrip(benchmark::State& state) {
    RunLog log(state.range(0) != 0);
    TempDir ports;
    EmulatedDriver driver(ports.Path(), kPortNumber);
    MicroController model(log.Get());
    PtyEchoPeer peer(kScriptCommandBytes, kAnswerBytes);
    model.SetOutputMaskBit7();
    for (const wchar_t* label : {L"Blue", L"Green", L"Red"}) {
        model.AddLED(label, 0.0);
    }
    if (driver.Start() != VlrDataTypes::VLR_SUCCESS ||
        model.GetConnection().Connect(kPortNumber) != VlrDataTypes::VLR_SUCCESS || !peer.IsOpen()) {
        state.SkipWithError("could not connect to the emulated driver");
        return;
    }
    const auto steps = LongSequence();
    std::vector<double> uploads;
    std::vector<double> roundTrips;
    for (auto _ : state) {
        const Clock::time_point start = Clock::now();
        const bool uploaded =
            model.UploadSequence(kUploadedNumber, steps) == VlrDataTypes::VLR_SUCCESS;
        const Clock::time_point middle = Clock::now();
        bool echoed = true;
        for (std::uint32_t i = 0; i < kUploadScriptCommands && echoed; ++i) {
            echoed = peer.RoundTrip();
        }
        const Clock::time_point end = Clock::now();
        if (!uploaded || !echoed) {
            state.SkipWithError("an exchange failed");
            break;
        }
        uploads.push_back(Microseconds(middle - start) / kUploadScriptCommands);
        roundTrips.push_back(Microseconds(end - middle) / kUploadScriptCommands);
    }
    if (!HoldsTheWholeSequence(driver)) {
        state.SkipWithError("the device does not hold the whole sequence");
    }
    ReportAgainstFloor(state, "per_script_command_us", Median(uploads), Median(roundTrips));
    model.GetConnection().Disconnect();
}

BENCHMARK(BM_TransactionVsRoundTrip)
    ->ArgName("logged")
    ->Arg(1)
    ->Arg(0)
    ->UseRealTime()
    ->MinTime(2.0)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_UploadVsRoundTrip)
    ->ArgName("logged")
    ->Arg(1)
    ->Arg(0)
    ->UseRealTime()
    ->MinTime(4.0)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BareRoundTrip)
    ->ArgNames({"out", "back"})
    ->Args({kOutputsCommandBytes, kAnswerBytes})
    ->Args({kScriptCommandBytes, kAnswerBytes})
    ->UseRealTime()
    ->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
