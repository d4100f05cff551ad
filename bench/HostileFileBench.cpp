// Files built to make loading slow or the log huge, read into fresh models as a settings file is
// read. Each file is written once per program run; only ProcessConfigFile is timed.
//
// - BM_FrontInsertedSteps: one sequence, then 160,000 lines of -AddSequenceCommandSet 0 0, each
//   adding a step at the front.
// - BM_CallInEveryStep: one sequence whose 80,000 steps each hold a -Call of a second one; every
//   added -Call times the sequences again.
// - BM_CommentFileLog: 10 MB of comment lines with the log written to a file; the counter
//   logBytes is the size of that log.
// - BM_RefusedDevice: /dev/zero, refused at the open.
// - BM_CheckFailingFile: the check (ProtocolCheck) of 4 MB of "-X" lines, every one failing;
//   the counters say how many failures were counted and how many kept in full.

#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "app/ProtocolCheck.h"
#include "common/SettingsModels.h"
#include "foundation/LogFile.h"
#include "foundation/Notifier.h"
#include "support/TempDir.h"

namespace {

constexpr int kFrontInsertedLines = 160000;
constexpr int kCallSteps = 80000;
constexpr std::size_t kCommentFileBytes = 10u * 1000u * 1000u;
constexpr std::size_t kFailingFileBytes = 4u * 1000u * 1000u;

std::string FrontInsertedSteps() {
    std::string text = "-AddSequence 0 \"Long\"\n";
    for (int i = 0; i < kFrontInsertedLines; ++i) {
        text += "-AddSequenceCommandSet 0 0\n";
    }
    return text;
}

std::string CallInEveryStep() {
    std::string text = "-AddSequence 0 \"Caller\"\n-AddSequence 1 \"Called\"\n";
    for (int i = 0; i < kCallSteps; ++i) {
        text += "-AddSequenceCommandSet 0 0\n-AddSequenceCommand 0 0 \"-Call 1\"\n";
    }
    return text;
}

std::string Comments() {
    const std::string line = "# a comment line of a settings file, nothing more\n";
    std::string text;
    while (text.size() + line.size() <= kCommentFileBytes) {
        text += line;
    }
    return text;
}

class Files {
  public:
    Files() {
        Write("front.cfg", FrontInsertedSteps());
        Write("calls.cfg", CallInEveryStep());
        Write("comments.cfg", Comments());
        std::string failing;
        while (failing.size() < kFailingFileBytes) {
            failing += "-X\n";
        }
        Write("failing.cfg", failing);
        Write("setup.cfg", "-AddLED Blue 12.5\n-AddLED Green 9.8\n-AddLED Red 15.0\n");
    }
    std::wstring Path(const std::string& name) const { return directory_.File(name); }

  private:
    void Write(const std::string& name, const std::string& text) {
        std::ofstream(directory_.Path() / name, std::ios::binary) << text;
    }
    TempDir directory_;
};

const Files& TheFiles() {
    static const Files files;
    return files;
}

// Reads the file into fresh models; the log, when asked for, goes to a file whose size is
// returned in logBytes.
void Load(benchmark::State& state, const std::wstring& path, bool expectSuccess, bool logged) {
    TempDir logDirectory;
    StderrNotifier notifier;
    double logBytes = 0;
    for (auto _ : state) {
        state.PauseTiming();
        std::unique_ptr<LogFile> log = BenchmarkLog(logged, logDirectory, notifier);
        auto models = std::make_unique<SettingsModels>(log.get());
        state.ResumeTiming();

        const bool loaded = models->ReadSettingsFile(path) == VlrDataTypes::VLR_SUCCESS;

        state.PauseTiming();
        if (loaded != expectSuccess) {
            state.SkipWithError("the file did not load as expected");
            break;
        }
        models.reset();
        log.reset();
        if (logged) {
            logBytes = static_cast<double>(
                std::filesystem::file_size(logDirectory.Path() / "OstraLogFile.txt"));
            std::filesystem::remove(logDirectory.Path() / "OstraLogFile.txt");
        }
        state.ResumeTiming();
    }
    if (logged) {
        state.counters["logBytes"] = logBytes;
    }
}

void BM_FrontInsertedSteps(benchmark::State& state) {
    Load(state, TheFiles().Path("front.cfg"), true, false);
}
BENCHMARK(BM_FrontInsertedSteps)->Unit(benchmark::kMillisecond);

void BM_CallInEveryStep(benchmark::State& state) {
    Load(state, TheFiles().Path("calls.cfg"), true, false);
}
BENCHMARK(BM_CallInEveryStep)->Unit(benchmark::kMillisecond);

void BM_CommentFileLog(benchmark::State& state) {
    Load(state, TheFiles().Path("comments.cfg"), true, true);
}
BENCHMARK(BM_CommentFileLog)->Unit(benchmark::kMillisecond);

void BM_RefusedDevice(benchmark::State& state) {
    Load(state, L"/dev/zero", false, false);
}
BENCHMARK(BM_RefusedDevice)->Unit(benchmark::kMicrosecond);

void BM_CheckFailingFile(benchmark::State& state) {
    const SequenceContainer operatorSequences;
    ProtocolCheck check(TheFiles().Path("setup.cfg"), operatorSequences);
    ProtocolCheck::FileResult result;
    for (auto _ : state) {
        result = check.CheckFile(TheFiles().Path("failing.cfg"));
    }
    state.counters["failures"] = static_cast<double>(result.failureCount);
    state.counters["kept"] = static_cast<double>(result.findings.size());
}
BENCHMARK(BM_CheckFailingFile)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
