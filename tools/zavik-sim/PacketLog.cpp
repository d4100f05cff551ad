#include "zavik-sim/PacketLog.h"

#include "device/PortDirectory.h"
#include "foundation/LogFile.h"
#include "foundation/TextConversion.h"
#include "sequences/StimulusTimeline.h"

using VlrDataTypes::VLR_FAILURE;
using VlrDataTypes::VLR_SUCCESS;
using VlrDataTypes::VlrRetVal;

PacketLog::PacketLog(LogFile* log) : log_(log) {}

VlrRetVal PacketLog::Open(std::ostream* echo, const std::filesystem::path& file) {
    Close();
    echo_ = echo;
    start_ = std::chrono::steady_clock::now();
    if (file.empty()) {
        return VLR_SUCCESS;
    }
    file_.open(file, std::ios::binary | std::ios::app);
    if (!file_.is_open()) {
        if (log_ != nullptr) {
            log_->WriteMessage(LogLevel::Error,
                               L"PacketLog::Open() - Error, unable to open the packet log " +
                                   PortDirectory::PathText(file) + L".");
        }
        return VLR_FAILURE;
    }
    return VLR_SUCCESS;
}

void PacketLog::Write(const std::wstring& line) {
    const std::chrono::duration<double> since = std::chrono::steady_clock::now() - start_;
    // Appended piece by piece: GCC 12 warns falsely (-Wrestrict) on "[" + std::string&&.
    std::string bytes = "[";
    bytes.append(WideToNarrow(FormatTimelineTime(since.count(), 3))).append(" s] ");
    bytes.append(WideToNarrow(line)).append("\n");
    if (echo_ != nullptr) {
        *echo_ << bytes << std::flush;
    }
    if (file_.is_open()) {
        file_ << bytes << std::flush;
    }
}

void PacketLog::Close() {
    echo_ = nullptr;
    if (file_.is_open()) {
        file_.close();
    }
}
