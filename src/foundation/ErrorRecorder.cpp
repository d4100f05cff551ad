#include "foundation/ErrorRecorder.h"

#include <utility>

void ErrorRecorder::AddLogMessage(LogLevel level, const std::wstring& message) {
    if (static_cast<int>(level) <= static_cast<int>(LogLevel::Error)) {
        errors_.push_back(message);
    }
}

std::vector<std::wstring> ErrorRecorder::Take() {
    return std::exchange(errors_, {});
}
