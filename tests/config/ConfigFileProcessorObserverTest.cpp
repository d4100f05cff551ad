#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/SettingsCommands.h"
#include "config/ConfigFileProcessor.h"
#include "device/MicroController.h"
#include "sequences/SequenceContainer.h"
#include "support/FileBytes.h"
#include "support/LedInfo.h"
#include "support/LogCapture.h"
#include "support/TempDir.h"

namespace {

using FailedLine = ConfigFileProcessor::FailedLine;

// Two LEDs, no sequences; Error messages are recorded per failing line by the observer.
class FailureObserverTest : public testing::Test {
  protected:
    FailureObserverTest() : device_(&log_) {
        device_.AddLED(L"Blue", 0.0);
        device_.AddLED(L"Red", 0.0);
        sequences_.SetLogFile(&log_);
        sequences_.SetColorLabels({L"Blue", L"Red"});
        InitializeSettingsProcessor(processor_, &log_, device_, sequences_);
    }

    void ObserveFailures() {
        processor_.SetFailureObserver([this](const FailedLine& failure) {
            failures_.push_back(failure);
            std::wstring reasons;
            for (const auto& [level, message] : log_.messages) {
                if (level == LogLevel::Error) {
                    reasons += message;
                }
            }
            reasons_.push_back(reasons);
            log_.messages.clear();
        });
    }

    std::wstring Write(const std::string& content) {
        WriteFileBytes(dir_.Path() / "file.cfg", content);
        return dir_.File("file.cfg");
    }

    TempDir dir_;
    LogCapture log_;
    MicroController device_;
    SequenceContainer sequences_;
    ConfigFileProcessor processor_;
    std::vector<FailedLine> failures_;
    std::vector<std::wstring> reasons_;
};

const std::string kThreeBadLines =
    "-SetIntensity Blue 300\n"
    "-SetIntensity Red 40\n"
    "# comment\n"
    "bad line\n"
    "-AddSequence 0 \"A\"\n"
    "-Frobnicate\n"
    "-SetIntensity Blue 90\n";

TEST_F(FailureObserverTest, RunsEveryLineAndReportsEachFailureRightAfterIt) {
    ObserveFailures();
    const std::wstring path = Write(kThreeBadLines);
    EXPECT_EQ(processor_.ProcessConfigFile(path), -1);
    ASSERT_EQ(failures_.size(), 3u);
    EXPECT_EQ(failures_[0].fileName, path);
    EXPECT_EQ(failures_[0].lineNumber, 1);
    EXPECT_EQ(failures_[0].lineText, L"-SetIntensity Blue 300");
    EXPECT_EQ(reasons_[0],
              L"Error setting Blue intensity, the value(300) is out of range(0..255).");
    EXPECT_EQ(failures_[1].lineNumber, 4);
    EXPECT_EQ(failures_[1].lineText, L"bad line");
    EXPECT_EQ(failures_[2].lineNumber, 6);
    EXPECT_EQ(failures_[2].lineText, L"-Frobnicate");
    EXPECT_EQ(reasons_[2],
              L"ConfigFileProcessor::ProcessCommandString() - Invalid Command Line Syntax, "
              L"Unrecognized Command: -Frobnicate");
    // The lines between and after the failures ran.
    EXPECT_EQ(LedInfo(device_, 0).intensity, 90);
    EXPECT_EQ(LedInfo(device_, 1).intensity, 40);
    EXPECT_EQ(sequences_.GetSequenceName(0), L"A");
    // The first failing line stays the one reported as where the file failed.
    EXPECT_EQ(processor_.LastFailure().lineNumber, 1);
}

TEST_F(FailureObserverTest, WithoutAnObserverTheFileStillStopsAtItsFirstFailure) {
    const std::wstring path = Write(kThreeBadLines);
    EXPECT_EQ(processor_.ProcessConfigFile(path), -1);
    EXPECT_EQ(processor_.LastFailure().lineNumber, 1);
    EXPECT_EQ(LedInfo(device_, 1).intensity, 26);
}

TEST_F(FailureObserverTest, AnObserverRemovedAgainRestoresTheStop) {
    ObserveFailures();
    processor_.SetFailureObserver(nullptr);
    EXPECT_EQ(processor_.ProcessConfigFile(Write(kThreeBadLines)), -1);
    EXPECT_TRUE(failures_.empty());
    EXPECT_EQ(sequences_.GetSequenceName(0), L"");
}

TEST_F(FailureObserverTest, AGoodFileSucceedsWithoutReports) {
    ObserveFailures();
    EXPECT_EQ(processor_.ProcessConfigFile(Write("-SetIntensity Red 7\n-Break\nbad line\n")), 0);
    EXPECT_TRUE(failures_.empty());
    EXPECT_EQ(processor_.LastFailure().fileName, L"");
}

TEST_F(FailureObserverTest, AnOverlongLineIsReportedAndReadingGoesOn) {
    ObserveFailures();
    const std::string longLine = "-SetIntensity Red " + std::string(1200, '1') + "\n";
    EXPECT_EQ(processor_.ProcessConfigFile(Write(longLine + "-SetIntensity Red 9\n")), -1);
    ASSERT_EQ(failures_.size(), 1u);
    EXPECT_EQ(failures_[0].lineNumber, 1);
    EXPECT_EQ(LedInfo(device_, 1).intensity, 9);
}

}  // namespace
