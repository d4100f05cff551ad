// Reading the largest settings file (255 sequences of 200 command sets, -Call chains four deep,
// loops) into fresh models. The "logged" variant writes the run's log to a file as the
// application does, one Notice line per line read; the other runs without a log.
//
// Only ProcessConfigFile is timed. Building the models before and releasing them after each
// run are not, and every run checks that the file was read completely and without a failure.

#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>

#include "common/LargeSettingsFile.h"
#include "common/SettingsModels.h"
#include "foundation/LogFile.h"
#include "foundation/TextConversion.h"
#include "support/TempDir.h"

namespace {

// Written once per program run; every benchmark reads the same file.
class LargeFileOnDisk {
  public:
    LargeFileOnDisk() { written_ = LargeSettingsFile::Write(directory_.Path() / "Large.cfg"); }

    bool IsWritten() const { return written_; }
    std::wstring Path() const { return directory_.File("Large.cfg"); }
    std::string Bytes() const {
        std::ifstream file(directory_.Path() / "Large.cfg", std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    }

  private:
    TempDir directory_;
    bool written_ = false;
};

const LargeFileOnDisk& TheLargeFile() {
    static const LargeFileOnDisk file;
    return file;
}

// The models must say back, byte for byte, what the file says: then nothing was lost or
// changed on the way in.
bool ReadBackCompletely(const SettingsModels& models, const std::string& fileBytes) {
    return models.CountUsedSequences() == LargeSettingsFile::kSequenceCount &&
           WideToNarrow(models.SettingsText()) == fileBytes;
}

void BM_LoadLargeSettingsFile(benchmark::State& state) {
    const bool logged = state.range(0) != 0;
    const LargeFileOnDisk& file = TheLargeFile();
    if (!file.IsWritten()) {
        state.SkipWithError("the large settings file could not be written");
        return;
    }
    TempDir logDirectory;
    StderrNotifier notifier;
    bool compared = false;
    for (auto _ : state) {
        state.PauseTiming();
        std::unique_ptr<LogFile> log = BenchmarkLog(logged, logDirectory, notifier);
        auto models = std::make_unique<SettingsModels>(log.get());
        state.ResumeTiming();

        const VlrDataTypes::VlrRetVal result = models->ReadSettingsFile(file.Path());

        state.PauseTiming();
        if (result != VlrDataTypes::VLR_SUCCESS || !models->IsReady() ||
            models->CountUsedSequences() != LargeSettingsFile::kSequenceCount) {
            state.SkipWithError("the large settings file did not load completely");
            break;
        }
        if (!compared && !ReadBackCompletely(*models, file.Bytes())) {
            state.SkipWithError("the loaded models differ from the large settings file");
            break;
        }
        compared = true;
        models.reset();
        log.reset();
        std::filesystem::remove(logDirectory.Path() / "OstraLogFile.txt");
        state.ResumeTiming();
    }
    state.counters["sequences"] = LargeSettingsFile::kSequenceCount;
}

BENCHMARK(BM_LoadLargeSettingsFile)
    ->ArgName("logged")
    ->Arg(1)
    ->Arg(0)
    ->Unit(benchmark::kMillisecond)
    ->MinTime(3.0);

}  // namespace

BENCHMARK_MAIN();
