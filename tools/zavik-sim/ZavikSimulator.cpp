#include "zavik-sim/ZavikSimulator.h"

#include <fstream>
#include <optional>
#include <utility>

#include "device/PacketConstants.h"
#include "device/PortDirectory.h"
#include "foundation/LogFile.h"
#include "foundation/TextConversion.h"
#include "zavik-sim/PacketDecoder.h"

using VlrDataTypes::VLR_FAILURE;
using VlrDataTypes::VLR_SUCCESS;
using VlrDataTypes::VlrRetVal;

namespace {

// The longest version text that still fits a response's 1028 data bytes.
constexpr std::size_t kMaxFirmwareVersionLength = PacketConstants::kMaxResponseDataSize - 3;
// How long to wait before looking at a line that reported an error again.
constexpr std::chrono::milliseconds kRetryPause{50};
constexpr std::size_t kReadChunk = 4096;

}  // namespace

ZavikSimulator::ZavikSimulator(SimulatorConfig config, LogFile* log)
    : config_(std::move(config)),
      log_(log),
      interpreter_(config_.firmwareVersion),
      pty_(log),
      registration_(log),
      packetLog_(log),
      random_(config_.randomSeed) {
    for (const FaultRule& rule : config_.faults) {
        faults_.Add(rule);
    }
}

ZavikSimulator::~ZavikSimulator() {
    Stop();
}

VlrRetVal ZavikSimulator::Start() {
    if (thread_.joinable()) {
        return Fail(L"ZavikSimulator::Start() - Error, the emulator is already running.");
    }
    if (CheckConfig() != VLR_SUCCESS || pty_.Open() != VLR_SUCCESS) {
        return VLR_FAILURE;
    }
    const PortDirectory::Place directory = config_.portDirectory.empty()
                                               ? PortDirectory::LocationPlace()
                                               : PortDirectory::Place(config_.portDirectory);
    if (registration_.Register(directory, PortName(), pty_.SlavePath()) != VLR_SUCCESS ||
        packetLog_.Open(config_.verboseStream, config_.packetLogPath) != VLR_SUCCESS) {
        registration_.Remove();
        pty_.Close();
        return VLR_FAILURE;
    }
    slavePath_ = pty_.SlavePath();
    registeredPath_ = registration_.EntryPath();
    parser_ = CommandPacketParser();
    {
        std::lock_guard<std::mutex> guard(lock_);
        hungUp_ = false;
    }
    thread_ = std::thread(&ZavikSimulator::Run, this);
    return VLR_SUCCESS;
}

void ZavikSimulator::Stop() {
    if (!thread_.joinable()) {
        return;
    }
    pty_.Interrupt();
    thread_.join();
    pty_.Close();
    registration_.Remove();
    packetLog_.Close();
    WriteStateFile();
}

VlrRetVal ZavikSimulator::CheckConfig() const {
    if (config_.portNumber < 1) {
        return Fail(L"ZavikSimulator::Start() - Error, invalid port number(" +
                    std::to_wstring(config_.portNumber) + L").");
    }
    if (config_.firmwareVersion.size() > kMaxFirmwareVersionLength) {
        return Fail(L"ZavikSimulator::Start() - Error, the firmware version text is longer than " +
                    std::to_wstring(kMaxFirmwareVersionLength) + L" characters.");
    }
    return VLR_SUCCESS;
}

VlrRetVal ZavikSimulator::Fail(const std::wstring& message) const {
    if (log_ != nullptr) {
        log_->WriteMessage(LogLevel::Error, message);
    }
    return VLR_FAILURE;
}

bool ZavikSimulator::IsHungUp() const {
    std::lock_guard<std::mutex> guard(lock_);
    return hungUp_;
}

std::wstring ZavikSimulator::PortName() const {
    return L"Zavik Driver Virtual Com Port " + PortDirectory::PortSuffix(config_.portNumber);
}

void ZavikSimulator::AddFault(const FaultRule& rule) {
    std::lock_guard<std::mutex> guard(lock_);
    faults_.Add(rule);
}

void ZavikSimulator::ClearFaults() {
    std::lock_guard<std::mutex> guard(lock_);
    faults_.Clear();
}

DeviceState ZavikSimulator::State() const {
    std::lock_guard<std::mutex> guard(lock_);
    return state_;
}

std::vector<PacketRecord> ZavikSimulator::Packets() const {
    std::vector<PacketRecord> packets;
    {
        std::lock_guard<std::mutex> guard(lock_);
        packets = packets_;
    }
    for (PacketRecord& record : packets) {
        Describe(record);
    }
    return packets;
}

bool ZavikSimulator::WaitForPackets(std::size_t count, std::chrono::milliseconds limit) const {
    std::unique_lock<std::mutex> guard(lock_);
    return changed_.wait_for(guard, limit, [&] { return packets_.size() >= count; });
}

bool ZavikSimulator::WaitForHangup(std::chrono::milliseconds limit) const {
    std::unique_lock<std::mutex> guard(lock_);
    return changed_.wait_for(guard, limit, [&] { return hungUp_; });
}

void ZavikSimulator::Run() {
    while (!IsHungUp()) {
        const bool partial = parser_.PendingBytes() > 0 && config_.frameTimeout.count() > 0;
        const auto limit = partial ? std::optional(config_.frameTimeout) : std::nullopt;
        switch (pty_.WaitForInput(limit)) {
            case PseudoTerminal::WaitResult::Interrupted:
                return;
            case PseudoTerminal::WaitResult::TimedOut:
                parser_.DropPartialPacket();
                break;
            case PseudoTerminal::WaitResult::Readable:
                if (!ReceiveInput()) {
                    continue;
                }
                break;
            case PseudoTerminal::WaitResult::Failed:
                pty_.Pause(kRetryPause);
                continue;
        }
        HandlePackets();
    }
}

bool ZavikSimulator::ReceiveInput() {
    std::uint8_t buffer[kReadChunk];
    const long count = pty_.Read(buffer, sizeof(buffer));
    if (count < 0) {
        pty_.Pause(kRetryPause);
        return false;
    }
    parser_.Append(buffer, static_cast<std::size_t>(count));
    return true;
}

void ZavikSimulator::HandlePackets() {
    std::vector<std::uint8_t> packet;
    for (;;) {
        const CommandPacketParser::Result result = parser_.Next(packet);
        if (result == CommandPacketParser::Result::NeedMoreBytes) {
            return;
        }
        HandlePacket(packet, result == CommandPacketParser::Result::ValidPacket);
        if (IsHungUp()) {
            return;
        }
    }
}

void ZavikSimulator::HandlePacket(const std::vector<std::uint8_t>& packet, bool valid) {
    FaultDecision decision;
    PacketRecord record = Process(packet, valid, decision);
    changed_.notify_all();
    if (packetLog_.IsOpen()) {
        packetLog_.Write(Describe(record).ToLine());
    }
    Send(record.sent, decision);
    if (decision.hangup) {
        Unplug();
    }
}

PacketRecord ZavikSimulator::Process(const std::vector<std::uint8_t>& packet, bool valid,
                                     FaultDecision& decision) {
    std::lock_guard<std::mutex> guard(lock_);
    decision = faults_.Decide(packet[PacketConstants::kHeaderSize]);
    PacketRecord record;
    record.number = packets_.size() + 1;
    record.received = packet;
    record.valid = valid;
    record.faults = decision.applied;
    record.sent = ResponseBuilder::Frame(AnswerFor(packet, valid, decision));
    FaultPlan::Apply(decision, record.sent, random_);
    packets_.push_back(record);
    return record;
}

Answer ZavikSimulator::AnswerFor(const std::vector<std::uint8_t>& packet, bool valid,
                                 const FaultDecision& decision) {
    const std::uint8_t* data = packet.data() + PacketConstants::kHeaderSize;
    // A packet spoilt on the line cannot be trusted to mean anything: the firmware refuses it,
    // echoing what arrived as its command ID.
    if (!valid) {
        return Answer{data[0], DeviceStatus::GeneralFailure, {}};
    }
    // A device that reports an error has not carried the command out.
    if (decision.status) {
        return Answer{data[0], *decision.status, {}};
    }
    const std::size_t size =
        packet.size() - PacketConstants::kHeaderSize - PacketConstants::kFooterSize;
    return interpreter_.Execute(data, size, state_);
}

// Decoding a packet into words takes longer than answering it, so it is done only for whoever
// looks at the record, off the line's path.
PacketRecord& ZavikSimulator::Describe(PacketRecord& record) {
    record.description = PacketDecoder::Describe(record.received, record.valid);
    return record;
}

void ZavikSimulator::Send(const std::vector<std::uint8_t>& bytes, const FaultDecision& decision) {
    const std::chrono::milliseconds delay = config_.answerDelay + decision.delay;
    if (delay.count() > 0 && !pty_.Pause(delay)) {
        return;
    }
    if (!bytes.empty()) {
        pty_.Write(bytes.data(), bytes.size(),
                   config_.pace ? kByteTime : std::chrono::nanoseconds::zero());
    }
}

void ZavikSimulator::Unplug() {
    pty_.Hangup();
    registration_.Remove();
    {
        std::lock_guard<std::mutex> guard(lock_);
        hungUp_ = true;
    }
    changed_.notify_all();
}

void ZavikSimulator::WriteStateFile() const {
    if (config_.stateFilePath.empty()) {
        return;
    }
    const std::string text = WideToNarrow(State().Describe());
    std::ofstream file(config_.stateFilePath, std::ios::binary | std::ios::trunc);
    file << text;
    file.flush();
    if (!file) {
        Fail(L"ZavikSimulator::Stop() - Error, unable to write the state file " +
             PortDirectory::PathText(config_.stateFilePath) + L".");
    }
}
