#include "ostra-cli/Console.h"

#include "ostra-cli/TextFormat.h"

namespace {

// Carriage return, then the text, then "erase to the end of the line" for a shorter text.
constexpr const char* kReturnToLineStart = "\r";
constexpr const char* kEraseToLineEnd = "\x1b[K";

}  // namespace

void Console::Line(const std::wstring& text) {
    if (json_) {
        return;
    }
    EndProgress();
    out_ << TextFormat::ForTerminal(text) << std::endl;
}

void Console::Progress(const std::wstring& text) {
    if (!ShowsProgress()) {
        return;
    }
    out_ << kReturnToLineStart << TextFormat::ForTerminal(text) << kEraseToLineEnd << std::flush;
    progressShown_ = true;
}

void Console::EndProgress() {
    if (progressShown_) {
        out_ << std::endl;
        progressShown_ = false;
    }
}

void Console::PrintJson() {
    out_ << JsonLine(report_) << std::endl;
}
