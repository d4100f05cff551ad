#include "ostra-cli/StderrDiagnostics.h"

#include <algorithm>

#include "ostra-cli/TextFormat.h"

namespace {

const std::wstring kProgramPrefix = L"ostra-cli: ";

// Log levels count down towards the more severe.
bool IsAtLeast(LogLevel level, LogLevel threshold) {
    return static_cast<int>(level) <= static_cast<int>(threshold);
}

}  // namespace

void StderrDiagnostics::AddLogMessage(LogLevel level, const std::wstring& message) {
    if (IsAtLeast(level, LogLevel::Warning)) {
        Print(LogLevelName(level), message);
    }
    if (IsAtLeast(level, LogLevel::Error)) {
        errors_.push_back(message);
    }
}

void StderrDiagnostics::ShowMessageBox(const std::wstring& caption, const std::wstring& text) {
    Print(caption, text);
    errors_.push_back(text);
}

void StderrDiagnostics::ReportError(const std::wstring& text) {
    // An operation's failure usually carries the Error its parts logged, shown already.
    if (std::find(errors_.begin(), errors_.end(), text) != errors_.end()) {
        return;
    }
    err_ << TextFormat::ForTerminal(kProgramPrefix + text) << std::endl;
    errors_.push_back(text);
}

void StderrDiagnostics::Print(const std::wstring& prefix, const std::wstring& text) {
    err_ << TextFormat::ForTerminal(kProgramPrefix + prefix + L": " + text) << std::endl;
}
