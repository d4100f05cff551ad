#include "device/MicroController.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <locale>
#include <sstream>

#include "device/ByteOrder.h"
#include "device/DeviceSettingsWords.h"
#include "device/PacketConstants.h"
#include "device/ScriptCommand.h"
#include "foundation/DeviceLimits.h"
#include "foundation/LogFile.h"
#include "foundation/MiscFunctions.h"
#include "foundation/TextConversion.h"

using VlrDataTypes::VLR_FAILURE;
using VlrDataTypes::VLR_SUCCESS;
using VlrDataTypes::VlrRetVal;

namespace {

using DeviceLimits::kMaxIntensity;
using DeviceLimits::kMaxLoopCount;
using DeviceLimits::kMaxMilliseconds;
using DeviceLimits::kMinMilliseconds;

// The driver's wiring: the second LED of the table answers to ID 2, the third to ID 1.
constexpr std::array<std::uint32_t, MicroController::kMaxLEDCount> kDeviceLedIdByPosition{0, 2, 1};

constexpr std::uint16_t kOutputsPayloadSize = 3;
constexpr std::uint16_t kSequenceCommandPayloadSize = 2;
constexpr std::uint16_t kCommandCountPayloadSize = 6;
constexpr std::uint16_t kScriptCommandPayloadSize = 6 + ScriptCommand::kSize;
constexpr std::uint16_t kPulseTrainPayloadSize = 22;
// The device counts pulse widths in steps of 0.1 ms.
constexpr double kPulseWidthStepsPerMs = 10.0;

const std::wstring kLineEnd = L"\r\n";

// A stream's default: at most 6 significant digits, so the longest width shows as 1.8e+06.
std::wstring DefaultNumberText(double value) {
    std::wostringstream stream;
    stream.imbue(std::locale::classic());
    stream << value;
    return stream.str();
}

// Messages show the width limits with one decimal.
std::wstring OneDecimal(double value) {
    return FixedText(value, 1);
}

bool IsValidPulseWidth(double width) {
    // Written so that NaN fails as well.
    return width >= kMinMilliseconds && width <= kMaxMilliseconds;
}

std::uint64_t ToPulseWidthSteps(double widthMs) {
    return static_cast<std::uint64_t>(widthMs * kPulseWidthStepsPerMs);
}

std::wstring PulseMessageStart(const std::wstring& colorLabel) {
    return L"Error setting " + colorLabel + L" pulse parameters.  ";
}

std::wstring WidthRangeText() {
    return L"(" + OneDecimal(kMinMilliseconds) + L"..." + OneDecimal(kMaxMilliseconds) + L" ms).";
}

}  // namespace

MicroController::MicroController(LogFile* log) : log_(log), connection_(log), conversion_(log) {}

void MicroController::SetLogFile(LogFile* log) {
    log_ = log;
    connection_.SetLogFile(log);
    conversion_.SetLogFile(log);
}

VlrRetVal MicroController::AddLED(const std::wstring& colorLabel, double maximumPower) {
    if (leds_.size() >= kMaxLEDCount) {
        return Fail(L"Error adding LED color, the maximum number of LEDs has been reached (" +
                    std::to_wstring(kMaxLEDCount) + L").");
    }
    // A label of blanks only names nothing an operator could type or see: it is as empty.
    if (colorLabel.find_first_not_of(L' ') == std::wstring::npos) {
        LogError(L"Error adding LED color, the color label string is empty.");
        return VLR_FAILURE;
    }
    if (const std::optional<wchar_t> control = MiscFunctions::FindControlCharacter(colorLabel)) {
        return Fail(L"Error adding LED color, the color label contains a control character (code " +
                    std::to_wstring(static_cast<unsigned>(*control)) +
                    L"), which a settings file cannot hold.");
    }
    if (MiscFunctions::HoldsQuoteOrComment(colorLabel)) {
        return Fail(L"Error adding LED color, the color label (" + colorLabel +
                    L") contains a double quote, # or //, which a settings file cannot hold.");
    }
    if (HasColorLabel(colorLabel)) {
        return Fail(L"Error adding LED color, the color (" + colorLabel +
                    L") already exists in our list and cannot be added again.");
    }
    LEDRecord record;
    record.deviceLedId = kDeviceLedIdByPosition[leds_.size()];
    record.maximumPower = maximumPower;
    record.colorLabel = colorLabel;
    conversion_.RegisterLED(colorLabel, record.deviceLedId);
    leds_.push_back(record);
    return VLR_SUCCESS;
}

int MicroController::FindLEDIndex(const std::wstring& colorLabel) const {
    for (std::size_t i = 0; i < leds_.size(); ++i) {
        if (CompareNoCase(leds_[i].colorLabel, colorLabel) == 0) {
            return static_cast<int>(i);
        }
    }
    return Fail(L"Error validating color value(" + colorLabel + L"), the color does not exist.");
}

VlrRetVal MicroController::GetLEDInfo(int index, LEDRecord& record) const {
    if (index < 0 || index >= GetLEDCount()) {
        return Fail(L"MicroController::GetLEDInfo() - Error, the list index(" +
                    std::to_wstring(index) + L") is out of range(0.." +
                    std::to_wstring(GetLEDCount() - 1) + L").");
    }
    record = leds_[static_cast<std::size_t>(index)];
    return VLR_SUCCESS;
}

VlrRetVal MicroController::IsValidLEDIndex(int index) const {
    if (index < 0 || index >= GetLEDCount()) {
        return Fail(L"MicroController::IsValidLEDIndex() - Error, the LED Index(" +
                    std::to_wstring(index) + L") is out of range(0.." +
                    std::to_wstring(GetLEDCount() - 1) + L").");
    }
    return VLR_SUCCESS;
}

void MicroController::GetColorLabels(std::vector<std::wstring>& labels) const {
    labels.clear();
    for (const LEDRecord& led : leds_) {
        labels.push_back(led.colorLabel);
    }
}

void MicroController::GetTTLBitNames(std::vector<std::wstring>& names) const {
    names = DeviceLimits::TTLOutputNames();
}

VlrRetVal MicroController::SetIntensity(std::uint32_t value, const std::wstring& colorLabel) {
    const int index = FindLEDIndex(colorLabel);
    if (index < 0) {
        return VLR_FAILURE;
    }
    if (value > kMaxIntensity) {
        return Fail(L"Error setting " + colorLabel + L" intensity, the value(" +
                    std::to_wstring(value) + L") is out of range(0.." +
                    std::to_wstring(kMaxIntensity) + L").");
    }
    LEDRecord& led = leds_[static_cast<std::size_t>(index)];
    if (value == led.intensity) {
        return VLR_SUCCESS;
    }
    led.intensity = static_cast<std::uint8_t>(value);
    if (!connection_.IsConnected()) {
        return VLR_SUCCESS;
    }
    return connection_.SendLEDIntensity(static_cast<std::uint8_t>(led.deviceLedId),
                                        static_cast<std::uint8_t>(kMaxIntensity - value));
}

VlrRetVal MicroController::SetLEDPulse(const std::wstring& colorLabel,
                                       const PulseParameters& pulse) {
    const int index = FindLEDIndex(colorLabel);
    if (index < 0) {
        return VLR_FAILURE;
    }
    if (!IsValidPulseWidth(pulse.widthOn)) {
        return Fail(PulseMessageStart(colorLabel) + L"The pulse width on value(" +
                    OneDecimal(pulse.widthOn) + L")is out of range " + WidthRangeText());
    }
    if (!IsValidPulseWidth(pulse.widthOff)) {
        return Fail(PulseMessageStart(colorLabel) + L"The pulse width off value(" +
                    OneDecimal(pulse.widthOff) + L") is out of range " + WidthRangeText());
    }
    if (pulse.loopCount > kMaxLoopCount) {
        return Fail(PulseMessageStart(colorLabel) + L"The loop count value(" +
                    std::to_wstring(pulse.loopCount) + L") is out of range (0..." +
                    std::to_wstring(kMaxLoopCount) + L").");
    }
    leds_[static_cast<std::size_t>(index)].pulse = pulse;
    return VLR_SUCCESS;
}

void MicroController::AssumeOutputMask(std::uint16_t mask) {
    for (const LEDRecord& led : leds_) {
        const auto bit = static_cast<std::uint16_t>(1u << led.deviceLedId);
        outputMask_ = static_cast<std::uint16_t>((outputMask_ & ~bit) | (mask & bit));
    }
}

VlrRetVal MicroController::TurnLEDOn(int index) {
    return SetLEDOutput(index, true);
}

VlrRetVal MicroController::TurnLEDOff(int index) {
    return SetLEDOutput(index, false);
}

VlrRetVal MicroController::StartPulse(int index) {
    if (IsValidLEDIndex(index) != VLR_SUCCESS) {
        return VLR_FAILURE;
    }
    const LEDRecord& led = leds_[static_cast<std::size_t>(index)];
    // A start that got no answer may have started the train: it counts until a stop.
    if (connection_.IsConnected()) {
        pulsing_.resize(leds_.size());
        pulsing_[static_cast<std::size_t>(index)] = true;
    }
    return SendPulseTrain(led.deviceLedId, ToPulseWidthSteps(led.pulse.widthOn),
                          ToPulseWidthSteps(led.pulse.widthOff), led.pulse.loopCount);
}

bool MicroController::IsPulsing(int index) const {
    return index >= 0 && static_cast<std::size_t>(index) < pulsing_.size() &&
           pulsing_[static_cast<std::size_t>(index)];
}

VlrRetVal MicroController::StopPulse(int index) {
    if (IsValidLEDIndex(index) != VLR_SUCCESS) {
        return VLR_FAILURE;
    }
    // A train with zero widths and loop count is the device's stop command.
    if (SendPulseTrain(leds_[static_cast<std::size_t>(index)].deviceLedId, 0, 0, 0) !=
        VLR_SUCCESS) {
        return VLR_FAILURE;
    }
    if (static_cast<std::size_t>(index) < pulsing_.size()) {
        pulsing_[static_cast<std::size_t>(index)] = false;
    }
    return SetLEDOutput(index, false);
}

VlrRetVal MicroController::SendAllIntensities() {
    if (!connection_.IsConnected()) {
        return VLR_SUCCESS;
    }
    for (const LEDRecord& led : leds_) {
        if (connection_.SendLEDIntensity(
                static_cast<std::uint8_t>(led.deviceLedId),
                static_cast<std::uint8_t>(kMaxIntensity - led.intensity)) != VLR_SUCCESS) {
            return VLR_FAILURE;
        }
    }
    return VLR_SUCCESS;
}

VlrRetVal MicroController::ConvertToScript(
    const std::vector<std::vector<std::wstring>>& commandSets,
    std::vector<std::uint8_t>& scriptBytes) const {
    MicroControllerCommandConversion conversion(log_);
    for (const LEDRecord& led : leds_) {
        conversion.RegisterLED(led.colorLabel, led.deviceLedId);
    }
    return conversion.Convert(commandSets, scriptBytes);
}

VlrRetVal MicroController::UploadSequence(std::uint32_t number,
                                          const std::vector<std::vector<std::wstring>>& commandSets,
                                          const ScriptProgress& progress) {
    if (SendSequenceCommand(DeviceCommand::BeginSequenceUpload, number) != VLR_SUCCESS) {
        return VLR_FAILURE;
    }
    const std::wstring numberText = std::to_wstring(number);
    LogNotice(L"Converting sequence(" + numberText + L") commands to script commands.");
    std::vector<std::uint8_t> scriptBytes;
    if (conversion_.Convert(commandSets, scriptBytes) != VLR_SUCCESS) {
        return VLR_FAILURE;
    }
    LogNotice(L"Uploading sequence(" + numberText + L") commands.");
    if (SendScript(number, scriptBytes, progress) != VLR_SUCCESS ||
        SendSequenceCommand(DeviceCommand::EndSequenceUpload, number) != VLR_SUCCESS) {
        return VLR_FAILURE;
    }
    LogNotice(L"Sequence " + numberText + L" commands uploaded successfully.");
    return VLR_SUCCESS;
}

// Like a pulse start, a start that got no answer counts.
VlrRetVal MicroController::StartSequence(std::uint32_t number) {
    sequenceStarted_ = sequenceStarted_ || connection_.IsConnected();
    return SendSequenceCommand(DeviceCommand::StartSequence, number);
}

VlrRetVal MicroController::StopSequenceExecution() {
    const std::uint8_t payload = DeviceCommand::StopSequence;
    if (ExecuteCommand(&payload, 1) != VLR_SUCCESS) {
        return VLR_FAILURE;
    }
    sequenceStarted_ = false;
    // A sequence leaves its outputs as they were; the stop leaves none of them lit.
    for (int index = 0; index < GetLEDCount(); ++index) {
        if (TurnLEDOff(index) != VLR_SUCCESS) {
            return VLR_FAILURE;
        }
    }
    return VLR_SUCCESS;
}

std::wstring MicroController::GetSettingsSection() const {
    std::wstring text = L"#Micro Controller Settings" + kLineEnd;
    text += DeviceSettingsWords::kSetPortNumber + L" " + std::to_wstring(portNumber_) + kLineEnd;
    text += kLineEnd;
    for (const LEDRecord& led : leds_) {
        const std::wstring label = MiscFunctions::AddQuotesToString(led.colorLabel);
        text += DeviceSettingsWords::kSetIntensity + L" " + label + L" " +
                std::to_wstring(static_cast<int>(led.intensity)) + kLineEnd;
        text += DeviceSettingsWords::kSetLEDPulse + L" " + label + L" " +
                DefaultNumberText(led.pulse.widthOn) + L" " +
                DefaultNumberText(led.pulse.widthOff) + L" " +
                std::to_wstring(led.pulse.loopCount) + kLineEnd;
        text += kLineEnd;
    }
    text += kLineEnd;
    return text;
}

bool MicroController::HasColorLabel(const std::wstring& colorLabel) const {
    for (const LEDRecord& led : leds_) {
        if (CompareNoCase(led.colorLabel, colorLabel) == 0) {
            return true;
        }
    }
    return false;
}

VlrRetVal MicroController::SetLEDOutput(int index, bool on) {
    if (IsValidLEDIndex(index) != VLR_SUCCESS) {
        return VLR_FAILURE;
    }
    const auto bit =
        static_cast<std::uint16_t>(1u << leds_[static_cast<std::size_t>(index)].deviceLedId);
    const auto mask = static_cast<std::uint16_t>(on ? (outputMask_ | bit) : (outputMask_ & ~bit));
    if (SendOutputMask(mask) != VLR_SUCCESS) {
        return VLR_FAILURE;
    }
    outputMask_ = mask;
    return VLR_SUCCESS;
}

VlrRetVal MicroController::SendOutputMask(std::uint16_t mask) {
    std::array<std::uint8_t, kOutputsPayloadSize> payload{};
    payload[0] = DeviceCommand::SetLEDOutputs;
    ByteOrder::WriteU16(&payload[1], mask);
    return ExecuteCommand(payload.data(), kOutputsPayloadSize);
}

VlrRetVal MicroController::SendPulseTrain(std::uint32_t deviceLedId, std::uint64_t widthOn,
                                          std::uint64_t widthOff, std::uint32_t loopCount) {
    std::array<std::uint8_t, kPulseTrainPayloadSize> payload{};
    payload[0] = DeviceCommand::SetLEDPulseTrain;
    payload[1] = static_cast<std::uint8_t>(deviceLedId);
    ByteOrder::WriteU64(&payload[2], widthOn);
    ByteOrder::WriteU64(&payload[10], widthOff);
    ByteOrder::WriteU32(&payload[18], loopCount);
    return ExecuteCommand(payload.data(), kPulseTrainPayloadSize);
}

VlrRetVal MicroController::SendSequenceCommand(std::uint8_t commandId, std::uint32_t number) {
    const std::array<std::uint8_t, kSequenceCommandPayloadSize> payload{
        commandId, static_cast<std::uint8_t>(number)};
    return ExecuteCommand(payload.data(), kSequenceCommandPayloadSize);
}

VlrRetVal MicroController::SendScript(std::uint32_t number,
                                      const std::vector<std::uint8_t>& scriptBytes,
                                      const ScriptProgress& progress) {
    const auto count = static_cast<std::uint32_t>(scriptBytes.size() / ScriptCommand::kSize);
    // Asked after every transaction, the count's included, so a stop waits for one at most.
    const auto goOn = [&](std::uint32_t sent) {
        if (!progress || progress(sent, count)) {
            return true;
        }
        if (log_ != nullptr) {
            log_->WriteMessage(LogLevel::Warning,
                               L"The upload of sequence " + std::to_wstring(number) +
                                   L" was cancelled after " + std::to_wstring(sent) + L" of " +
                                   std::to_wstring(count) +
                                   L" script commands; the device's copy is out of date.");
        }
        return false;
    };
    std::array<std::uint8_t, kCommandCountPayloadSize> countPayload{};
    countPayload[0] = DeviceCommand::SetSequenceCommandCount;
    countPayload[1] = static_cast<std::uint8_t>(number);
    ByteOrder::WriteU32(&countPayload[2], count);
    if (ExecuteCommand(countPayload.data(), kCommandCountPayloadSize) != VLR_SUCCESS || !goOn(0)) {
        return VLR_FAILURE;
    }
    std::array<std::uint8_t, kScriptCommandPayloadSize> payload{};
    payload[0] = DeviceCommand::SetSequenceScriptCommand;
    payload[1] = static_cast<std::uint8_t>(number);
    for (std::uint32_t index = 0; index < count; ++index) {
        ByteOrder::WriteU32(&payload[2], index);
        const auto script =
            scriptBytes.begin() +
            static_cast<std::ptrdiff_t>(index) * static_cast<std::ptrdiff_t>(ScriptCommand::kSize);
        std::copy(script, script + ScriptCommand::kSize, payload.begin() + 6);
        if (ExecuteCommand(payload.data(), kScriptCommandPayloadSize) != VLR_SUCCESS ||
            !goOn(index + 1)) {
            return VLR_FAILURE;
        }
    }
    return VLR_SUCCESS;
}

VlrRetVal MicroController::ExecuteCommand(const std::uint8_t* payload, std::uint16_t size) {
    std::uint16_t responseSize = 0;
    return connection_.ExecuteCommand(payload, size, responseSize);
}

VlrRetVal MicroController::Fail(const std::wstring& message) const {
    messageText_ = message;
    LogError(messageText_);
    return VLR_FAILURE;
}

void MicroController::LogNotice(const std::wstring& message) const {
    if (log_ != nullptr) {
        log_->WriteMessage(LogLevel::Notice, message);
    }
}

void MicroController::LogError(const std::wstring& message) const {
    if (log_ != nullptr) {
        log_->WriteMessage(LogLevel::Error, message);
    }
}
