#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "foundation/LogMessageReceiver.h"
#include "foundation/Notifier.h"

// Where ostra-cli's failures become visible without opening the log: the log's messages at
// Warning and above as "ostra-cli: <Level>: <message>", and the message boxes the core asks for
// as "ostra-cli: <caption>: <text>", on standard error. It also keeps the failures (Error and
// above, and every message box) for the JSON report, and hands every log message on to a
// listener when one is set (the upload's progress display).
class StderrDiagnostics final : public LogMessageReceiver, public Notifier {
  public:
    explicit StderrDiagnostics(std::ostream& err) : err_(err) {}

    void AddLogMessage(LogLevel level, const std::wstring& message) override;
    void ShowMessageBox(const std::wstring& caption, const std::wstring& text) override;

    // Null stops the forwarding; the listener must not log.
    void SetListener(LogMessageReceiver* listener) { listener_ = listener; }
    // Own notes of the program (not from the log), shown and kept like the others.
    void ReportError(const std::wstring& text);

    const std::vector<std::wstring>& Errors() const { return errors_; }

  private:
    void Print(const std::wstring& prefix, const std::wstring& text);

    std::ostream& err_;
    LogMessageReceiver* listener_ = nullptr;
    std::vector<std::wstring> errors_;
};
