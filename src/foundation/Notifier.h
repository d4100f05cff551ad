#pragma once

#include <string>

// Where the core tells the operator something that cannot go into the log (the log itself
// failed, or start-up failed). The GUI shows a modal dialog, the CLI prints to stderr, tests
// record the call.
class Notifier {
  public:
    virtual ~Notifier() = default;
    virtual void ShowMessageBox(const std::wstring& caption, const std::wstring& text) = 0;
};

// Prints "caption: text" on standard error; the default when no front end supplied a notifier.
class StderrNotifier final : public Notifier {
  public:
    void ShowMessageBox(const std::wstring& caption, const std::wstring& text) override;
};
