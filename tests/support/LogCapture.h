#pragma once

#include <string>

#include "foundation/LogFile.h"
#include "support/RecordingReceiver.h"

// A real log that is its own message receiver: what a component logs through it is recorded
// for the test to check. Given a path it also writes that file, as the program's log does.
class LogCapture : public RecordingReceiver, public LogFile {
  public:
    LogCapture();
    // The test fails when the file cannot be opened.
    explicit LogCapture(const std::wstring& path);
};
