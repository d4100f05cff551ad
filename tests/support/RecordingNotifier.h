#pragma once

#include <string>
#include <utility>
#include <vector>

#include "foundation/Notifier.h"
// Tests that record the message boxes mostly record the log as well.
#include "support/RecordingReceiver.h"

// Records every message box the core asks for, as (caption, text).
class RecordingNotifier final : public Notifier {
  public:
    void ShowMessageBox(const std::wstring& caption, const std::wstring& text) override {
        boxes.emplace_back(caption, text);
    }
    std::vector<std::pair<std::wstring, std::wstring>> boxes;
};
