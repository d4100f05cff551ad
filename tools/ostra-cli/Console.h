#pragma once

#include <ostream>
#include <string>

#include "app/Json.h"

// Standard output of one ostra-cli run: text lines for people, or one JSON object for scripts
// (text lines are then dropped), and a single self-rewriting progress line on a terminal only.
class Console {
  public:
    Console(std::ostream& out, bool json, bool terminal)
        : out_(out), json_(json), terminal_(terminal) {}

    bool IsJson() const { return json_; }
    bool ShowsProgress() const { return terminal_ && !json_; }

    // One line of the text report, written at once (nothing in JSON mode).
    void Line(const std::wstring& text);
    // Replaces the progress line (only on a terminal in text mode).
    void Progress(const std::wstring& text);
    // Ends a progress line, so that the next output starts on a line of its own.
    void EndProgress();

    // The JSON report; printed by the program at the end in JSON mode.
    nlohmann::ordered_json& Json() { return report_; }
    void PrintJson();

  private:
    std::ostream& out_;
    bool json_ = false;
    bool terminal_ = false;
    bool progressShown_ = false;
    nlohmann::ordered_json report_ = nlohmann::ordered_json::object();
};
