#include "common/LargeSettingsFile.h"

#include <fstream>

#include "foundation/TextConversion.h"

namespace {

const std::wstring kLineEnd = L"\r\n";

std::wstring Decimal(std::uint32_t value) {
    return std::to_wstring(value);
}

bool IsLastOfChain(std::uint32_t number) {
    return number % LargeSettingsFile::kChainLength == LargeSettingsFile::kChainLength - 1;
}

// The ordinary steps: LED and TTL changes, with and without a duration of their own.
std::vector<std::wstring> PlainStep(std::uint32_t set) {
    switch (set % 4) {
        case 0:
            return {L"-On Blue", L"-Duration 2.5"};
        case 1:
            return {L"-Off Blue", L"-TTLHigh 3", L"-Duration 1"};
        case 2:
            return {L"-SetIntensity Green 120"};
        default:
            return {L"-On Red", L"-Off Green", L"-TTLLow 3", L"-Duration 0.5"};
    }
}

}  // namespace

// Loops open at steps 10, 50, 90, ... and close twenty steps later; the calls sit at steps 25
// (inside the first loop) and 125 (between two loops).
std::vector<std::wstring> LargeSettingsFile::StepCommands(std::uint32_t number, std::uint32_t set) {
    if (set == 0) {
        return {L"-SetIntensity Blue " + Decimal(number * 37 % 256), L"-Duration 5"};
    }
    if (set % 40 == 10) {
        return {L"-Loop " + Decimal(2 + (number + set) % 4)};
    }
    if (set % 40 == 30) {
        return {L"-EndLoop"};
    }
    if (set % 100 == 25 && !IsLastOfChain(number)) {
        return {L"-Call " + Decimal(number + 1)};
    }
    return PlainStep(set);
}

std::wstring LargeSettingsFile::SequenceName(std::uint32_t number) {
    return L"Stimulus " + Decimal(number);
}

std::wstring LargeSettingsFile::DeviceSection() {
    std::wstring text = L"#Micro Controller Settings" + kLineEnd;
    text += L"-SetMicroControllerPortNumber 4" + kLineEnd + kLineEnd;
    text += L"-SetIntensity \"Blue\" 26" + kLineEnd;
    text += L"-SetLEDPulse \"Blue\" 10 90 0" + kLineEnd + kLineEnd;
    text += L"-SetIntensity \"Green\" 140" + kLineEnd;
    text += L"-SetLEDPulse \"Green\" 2.5 7.5 1000" + kLineEnd + kLineEnd;
    text += L"-SetIntensity \"Red\" 255" + kLineEnd;
    text += L"-SetLEDPulse \"Red\" 0.5 1.8e+06 12" + kLineEnd + kLineEnd;
    text += kLineEnd;
    return text;
}

std::wstring LargeSettingsFile::SequenceSection() {
    std::wstring text = SequenceHeaderLines();
    for (std::uint32_t number = 0; number < kSequenceCount; ++number) {
        text += SequenceCommandLines(number);
    }
    return text + kLineEnd;
}

std::wstring LargeSettingsFile::SequenceHeaderLines() {
    std::wstring text = L"#Sequence Container Settings" + kLineEnd;
    for (std::uint32_t number = 0; number < kSequenceCount; ++number) {
        text +=
            L"-AddSequence " + Decimal(number) + L" \"" + SequenceName(number) + L"\"" + kLineEnd;
    }
    return text + kLineEnd;
}

std::wstring LargeSettingsFile::SequenceCommandLines(std::uint32_t number) {
    std::wstring text = L"#Sequence " + Decimal(number) + L" commands." + kLineEnd;
    for (std::uint32_t set = 0; set < kCommandSetCount; ++set) {
        const std::wstring numbers = Decimal(number) + L" " + Decimal(set);
        text += L"-AddSequenceCommandSet " + numbers + kLineEnd;
        for (const std::wstring& command : StepCommands(number, set)) {
            text += L"-AddSequenceCommand " + numbers + L" \"" + command + L"\"" + kLineEnd;
        }
    }
    return text + kLineEnd;
}

bool LargeSettingsFile::Write(const std::filesystem::path& path) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file << WideToNarrow(DeviceSection()) << WideToNarrow(SequenceHeaderLines());
    for (std::uint32_t number = 0; number < kSequenceCount; ++number) {
        file << WideToNarrow(SequenceCommandLines(number));
    }
    file << WideToNarrow(kLineEnd);
    file.close();
    return static_cast<bool>(file);
}
