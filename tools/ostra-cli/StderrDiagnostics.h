#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "foundation/LogMessageReceiver.h"
#include "foundation/Notifier.h"

// Where ostra-cli's failures become visible without opening the log: the log's messages at
// Warning and above as "ostra-cli: <Level>: <message>", and the message boxes the core asks for
// as "ostra-cli: <caption>: <text>", on standard error. It also keeps the failures (Error and
// above, and every message box) for the JSON report.
class StderrDiagnostics final : public LogMessageReceiver, public Notifier {
  public:
    explicit StderrDiagnostics(std::ostream& err) : err_(err) {}

    void AddLogMessage(LogLevel level, const std::wstring& message) override;
    void ShowMessageBox(const std::wstring& caption, const std::wstring& text) override;

    // Own notes of the program (not from the log), shown and kept like the others; a text that
    // was shown already (an operation's failure repeating a logged Error) is not shown again.
    void ReportError(const std::wstring& text);

    const std::vector<std::wstring>& Errors() const { return errors_; }

  private:
    void Print(const std::wstring& prefix, const std::wstring& text);

    std::ostream& err_;
    std::vector<std::wstring> errors_;
};
