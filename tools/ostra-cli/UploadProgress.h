#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "foundation/LogMessageReceiver.h"

class Console;
class SequenceContainer;

// Follows an upload through the log lines the device model writes for every sequence
// ("Converting sequence(N) commands to script commands." as it begins, "Sequence N commands
// uploaded successfully." when done) and shows them as one progress line on a terminal.
class UploadProgress final : public LogMessageReceiver {
  public:
    UploadProgress(Console& console, const SequenceContainer& sequences, std::size_t total)
        : console_(console), sequences_(sequences), total_(total) {}

    void AddLogMessage(LogLevel level, const std::wstring& message) override;

    std::size_t Completed() const { return completed_; }

  private:
    // The number that follows the prefix when the message starts with it.
    static std::optional<std::uint32_t> NumberAfter(const std::wstring& message,
                                                    const std::wstring& prefix);

    Console& console_;
    const SequenceContainer& sequences_;
    std::size_t total_ = 0;
    std::size_t completed_ = 0;
};
