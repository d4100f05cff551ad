#include "zavik-sim/ZavikSimulator.h"

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <optional>
#include <utility>

#include "app/platform/FileReplacement.h"
#include "device/PacketConstants.h"
#include "device/PortDirectory.h"
#include "foundation/LogFile.h"
#include "foundation/TextConversion.h"
#include "zavik-sim/PacketDecoder.h"
#include "zavik-sim/UploadCheck.h"

using VlrDataTypes::VLR_FAILURE;
using VlrDataTypes::VLR_SUCCESS;
using VlrDataTypes::VlrRetVal;

namespace {

// The longest version text that still fits a response's 1028 data bytes.
constexpr std::size_t kMaxFirmwareVersionLength = PacketConstants::kMaxResponseDataSize - 3;
// How long to wait before looking at a line that reported an error again.
constexpr std::chrono::milliseconds kRetryPause{50};
constexpr std::size_t kReadChunk = 4096;
// One device step of 0.1 ms.
constexpr double kStepNanoseconds = 100000.0;

}  // namespace

ZavikSimulator::ZavikSimulator(SimulatorConfig config, LogFile* log)
    : config_(std::move(config)),
      log_(log),
      interpreter_(config_.firmwareVersion),
      pty_(log),
      registration_(log),
      packetLog_(log),
      events_(log),
      random_(config_.randomSeed) {
    for (const FaultRule& rule : config_.faults) {
        faults_.Add(rule);
    }
    state_.SetLedLabels(config_.ledLabels);
    state_.SetEventSink([this](const DeviceEvent& event) {
        // Called with lock_ held, by whatever changed the state.
        stateChanged_ = true;
        events_.Write(event, state_);
        if (event.kind == DeviceEvent::Kind::SequenceStart) {
            Note(L"sequence " + std::to_wstring(event.which) + L" started");
        } else if (event.kind == DeviceEvent::Kind::SequenceEnd) {
            Note(L"sequence " + std::to_wstring(event.which) + L" " + event.source);
        }
    });
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
    // The files first, so that one that cannot be written stops the start at once.
    published_ = State().Describe();
    if (WriteStateFile(published_) != VLR_SUCCESS ||
        events_.Open(config_.eventsPath, config_.ledLabels, state_) != VLR_SUCCESS ||
        packetLog_.Open(config_.verboseStream, config_.packetLogPath) != VLR_SUCCESS ||
        registration_.Register(directory, PortName(), pty_.SlavePath()) != VLR_SUCCESS) {
        registration_.Remove();
        packetLog_.Close();
        events_.Close();
        pty_.Close();
        return VLR_FAILURE;
    }
    slavePath_ = pty_.SlavePath();
    registeredPath_ = registration_.EntryPath();
    parser_ = CommandPacketParser();
    clients_ = 0;
    clockStart_ = std::chrono::steady_clock::now();
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
    {
        std::lock_guard<std::mutex> guard(lock_);
        stateChanged_ = true;
    }
    Publish();
    packetLog_.Close();
    events_.Close();
}

VlrRetVal ZavikSimulator::CheckConfig() const {
    if (config_.portNumber < 1) {
        return Fail(L"ZavikSimulator::Start() - Error, invalid port number(" +
                    std::to_wstring(config_.portNumber) + L").");
    }
    // The answer must carry at least one character of version text, or no connect succeeds.
    if (config_.firmwareVersion.empty()) {
        return Fail(L"ZavikSimulator::Start() - Error, the firmware version text is empty.");
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
        packets.assign(packets_.begin(), packets_.end());
    }
    for (PacketRecord& record : packets) {
        Describe(record);
    }
    return packets;
}

std::size_t ZavikSimulator::PacketCount() const {
    std::lock_guard<std::mutex> guard(lock_);
    return packetCount_;
}

bool ZavikSimulator::WaitForPackets(std::size_t count, std::chrono::milliseconds limit) const {
    std::unique_lock<std::mutex> guard(lock_);
    return changed_.wait_for(guard, limit, [&] { return packetCount_ >= count; });
}

void ZavikSimulator::AdvanceClock(std::chrono::microseconds duration) {
    {
        std::lock_guard<std::mutex> guard(lock_);
        state_.AdvanceTo(state_.Now() + static_cast<std::uint64_t>(duration.count() / 100));
    }
    Publish();
}

std::uint64_t ZavikSimulator::ClockSteps() const {
    const std::chrono::duration<double, std::nano> elapsed =
        std::chrono::steady_clock::now() - clockStart_;
    return static_cast<std::uint64_t>(elapsed.count() * config_.timeScale / kStepNanoseconds);
}

// Until a partial packet is given up, or the device has something to do on its own.
std::optional<std::chrono::nanoseconds> ZavikSimulator::WaitLimit() const {
    std::optional<std::chrono::nanoseconds> limit;
    if (parser_.PendingBytes() > 0 && config_.frameTimeout.count() > 0) {
        limit = config_.frameTimeout - (std::chrono::steady_clock::now() - lastInput_);
    }
    std::optional<std::uint64_t> due;
    if (!config_.manualClock) {
        std::lock_guard<std::mutex> guard(lock_);
        due = state_.NextDueStep();
    }
    if (due) {
        const std::uint64_t now = ClockSteps();
        const double steps = *due > now ? static_cast<double>(*due - now) : 0.0;
        const std::chrono::nanoseconds wait(
            static_cast<std::int64_t>(std::ceil(steps * kStepNanoseconds / config_.timeScale)));
        limit = limit ? std::min(*limit, wait) : wait;
    }
    return limit;
}

void ZavikSimulator::AdvanceToNow() {
    if (config_.manualClock) {
        return;
    }
    {
        std::lock_guard<std::mutex> guard(lock_);
        state_.AdvanceTo(ClockSteps());
    }
    Publish();
}

bool ZavikSimulator::WaitForHangup(std::chrono::milliseconds limit) const {
    std::unique_lock<std::mutex> guard(lock_);
    return changed_.wait_for(guard, limit, [&] { return hungUp_; });
}

void ZavikSimulator::Run() {
    while (!IsHungUp()) {
        switch (pty_.WaitForInput(WaitLimit())) {
            case PseudoTerminal::WaitResult::Interrupted:
                return;
            case PseudoTerminal::WaitResult::TimedOut:
                break;
            case PseudoTerminal::WaitResult::ClientsChanged:
                HandleClientChanges();
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
        AdvanceToNow();
        const std::size_t dropped = parser_.DroppedBytes();
        if (parser_.PendingBytes() > 0 && config_.frameTimeout.count() > 0 &&
            std::chrono::steady_clock::now() - lastInput_ >= config_.frameTimeout) {
            parser_.DropPartialPacket();
        }
        HandlePackets();
        if (parser_.DroppedBytes() != dropped) {
            Note(L"dropped " + std::to_wstring(parser_.DroppedBytes() - dropped) +
                 L" bytes that begin no packet");
        }
    }
}

void ZavikSimulator::HandleClientChanges() {
    const PseudoTerminal::ClientChanges changes = pty_.TakeClientChanges();
    for (std::size_t i = 0; i < changes.size(); ++i) {
        const bool opened = changes[i];
        clients_ = opened ? clients_ + 1 : std::max(0, clients_ - 1);
        Note(opened ? L"client connected" : L"client disconnected");
        // What arrived from the line belongs to the client that opened next, if one did.
        const bool nextOpened = std::find(changes.begin() + static_cast<std::ptrdiff_t>(i),
                                          changes.end(), true) != changes.end();
        if (!opened) {
            const bool nobodyLeft = clients_ == 0 && !nextOpened;
            const std::vector<std::uint8_t> unread = pty_.ForgetClient(nobodyLeft);
            if (nobodyLeft) {
                parser_ = CommandPacketParser();
                parser_.Append(unread.data(), unread.size());
                lastInput_ = std::chrono::steady_clock::now();
            }
        }
    }
}

void ZavikSimulator::Note(const std::wstring& text) {
    if (packetLog_.IsOpen()) {
        packetLog_.Write(L"-- " + text);
    }
}

// After every change: the event record on disk, and the state file replaced whole, so that a
// reader never sees it half written. The state is compared as text, not trusted to the events.
void ZavikSimulator::Publish() {
    std::wstring text;
    bool changed = false;
    {
        std::lock_guard<std::mutex> guard(lock_);
        events_.Flush();
        changed = std::exchange(stateChanged_, false);
        if (!config_.stateFilePath.empty()) {
            text = state_.Describe();
            text = text == published_ ? std::wstring() : (published_ = text);
        }
    }
    if (changed) {
        changed_.notify_all();
    }
    if (!text.empty()) {
        WriteStateFile(text);
    }
}

bool ZavikSimulator::ReceiveInput() {
    std::uint8_t buffer[kReadChunk];
    const long count = pty_.Read(buffer, sizeof(buffer));
    if (count < 0) {
        pty_.Pause(kRetryPause);
        return false;
    }
    lastInput_ = std::chrono::steady_clock::now();
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
    Publish();
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
    record.number = ++packetCount_;
    record.received = packet;
    record.valid = valid;
    record.faults = decision.applied;
    record.sent = ResponseBuilder::Frame(AnswerFor(packet, valid, decision));
    FaultPlan::Apply(decision, record.sent, random_);
    packets_.push_back(record);
    while (packets_.size() > config_.packetHistory) {
        packets_.pop_front();
    }
    return record;
}

Answer ZavikSimulator::AnswerFor(const std::vector<std::uint8_t>& packet, bool valid,
                                 const FaultDecision& decision) {
    const std::uint8_t* data = packet.data() + PacketConstants::kHeaderSize;
    const std::size_t size =
        packet.size() - PacketConstants::kHeaderSize - PacketConstants::kFooterSize;
    // A packet without data has no command ID to echo.
    const std::uint8_t commandId = size > 0 ? data[0] : 0;
    // A packet spoilt on the line cannot be trusted to mean anything: the firmware refuses it,
    // echoing what arrived as its command ID.
    if (!valid || size == 0) {
        return Answer{commandId, DeviceStatus::GeneralFailure, {}};
    }
    // A device that reports an error has not carried the command out.
    if (decision.status) {
        return Answer{commandId, *decision.status, {}};
    }
    state_.AdvanceTo(std::max(state_.Now(), config_.manualClock ? 0 : ClockSteps()));
    const auto& upload = state_.Upload();
    if (commandId == DeviceCommand::EndSequenceUpload && size == 2 && upload &&
        upload->number == data[1] && upload->commandCount &&
        upload->ReceivedCount() == *upload->commandCount && !CheckScript(data[1])) {
        return Answer{commandId, DeviceStatus::InvalidParameter, {}};
    }
    return interpreter_.Execute(data, size, state_);
}

// Reports the problems of the script whose upload ends; false when strict and there are any.
bool ZavikSimulator::CheckScript(std::uint8_t number) {
    Script script;
    for (const ScriptRecord& record : state_.Upload()->records) {
        script.push_back(ScriptCommand::Parse(record.data()));
    }
    const std::vector<std::wstring> problems = CheckUploadedScript(
        number, script, [this](std::uint32_t n) { return state_.StoredScript(n); });
    for (const std::wstring& problem : problems) {
        const std::wstring message = L"Sequence " + std::to_wstring(number) + L": " + problem +
                                     (config_.strictScripts ? L"; the upload is refused." : L".");
        if (log_ != nullptr) {
            log_->WriteMessage(LogLevel::Warning, message);
        }
        Note(message);
    }
    return problems.empty() || !config_.strictScripts;
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

VlrRetVal ZavikSimulator::WriteStateFile(const std::wstring& text) const {
    if (config_.stateFilePath.empty()) {
        return VLR_SUCCESS;
    }
    // Replaced as Ostra saves its files: the temporary is always a file made new, never a name
    // someone else prepared, so nobody can redirect the write to another file.
    if (!ReplaceFileContent(config_.stateFilePath, WideToNarrow(text))) {
        return Fail(L"ZavikSimulator - Error, unable to write the state file " +
                    PortDirectory::PathText(config_.stateFilePath) + L".");
    }
    return VLR_SUCCESS;
}
