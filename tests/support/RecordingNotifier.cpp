#include "support/RecordingNotifier.h"

void RecordingNotifier::ShowMessageBox(const std::wstring& caption, const std::wstring& text) {
    boxes.emplace_back(caption, text);
}

void RecordingReceiver::AddLogMessage(LogLevel level, const std::wstring& message) {
    messages.emplace_back(level, message);
}
