#pragma once

#include <string>

// Where the core tells the operator something that cannot go into the log (the log itself
// failed, start-up failed, a connect failed). The GUI shows a dialog, the CLI prints to stderr,
// tests record the call.
//
// A connect runs on the window's device worker thread, so an implementation may be called from
// that thread: it must return without waiting for the operator (a window's notifier queues the
// box to its own thread). The core itself never opens a dialog and never waits for an answer.
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
