#include "support/RecordingNotifier.h"

void RecordingNotifier::ShowMessageBox(const std::wstring& caption, const std::wstring& text) {
    boxes.emplace_back(caption, text);
}
