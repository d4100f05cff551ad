#include "ostra-cli/UploadProgress.h"

#include "ostra-cli/Console.h"
#include "sequences/SequenceContainer.h"

namespace {

const std::wstring kConverting = L"Converting sequence(";
const std::wstring kUploaded = L"Sequence ";
const std::wstring kUploadedEnd = L" commands uploaded successfully.";

}  // namespace

void UploadProgress::AddLogMessage(LogLevel level, const std::wstring& message) {
    if (level != LogLevel::Notice) {
        return;
    }
    if (const auto number = NumberAfter(message, kConverting)) {
        console_.Progress(L"Uploading sequence " + std::to_wstring(*number) + L" (" +
                          sequences_.GetSequenceName(*number) + L"), " +
                          std::to_wstring(completed_ + 1) + L" of " + std::to_wstring(total_) +
                          L"...");
    } else if (message.ends_with(kUploadedEnd) && NumberAfter(message, kUploaded)) {
        ++completed_;
    }
}

std::optional<std::uint32_t> UploadProgress::NumberAfter(const std::wstring& message,
                                                         const std::wstring& prefix) {
    if (!message.starts_with(prefix)) {
        return std::nullopt;
    }
    std::uint64_t number = 0;
    std::size_t position = prefix.size();
    for (; position < message.size() && message[position] >= L'0' && message[position] <= L'9';
         ++position) {
        number = number * 10 + static_cast<std::uint64_t>(message[position] - L'0');
        if (number > SequenceContainer::kSequenceCount) {
            return std::nullopt;
        }
    }
    if (position == prefix.size()) {
        return std::nullopt;
    }
    return static_cast<std::uint32_t>(number);
}
