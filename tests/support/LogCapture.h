#pragma once

#include <gtest/gtest.h>

#include <string>

#include "foundation/LogFile.h"
#include "foundation/TextConversion.h"
#include "support/RecordingReceiver.h"

// A real log that records what is logged through it; given a path it also writes that file.
class LogCapture : public RecordingReceiver, public LogFile {
  public:
    LogCapture() { SetMessageReceiver(this); }
    explicit LogCapture(const std::wstring& path) : LogCapture() {
        EXPECT_EQ(SetLogFilename(path), 0) << WideToNarrow(path);
    }
};
