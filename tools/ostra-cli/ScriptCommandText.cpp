#include "ostra-cli/ScriptCommandText.h"

#include "device/ByteOrder.h"
#include "device/ScriptCommand.h"

namespace {

constexpr unsigned kLedMaskBits = 16;
constexpr unsigned kTtlMaskBits = 8;

std::wstring LedNameById(unsigned id, const ScriptCommandText::LedNames& leds) {
    for (const auto& [label, deviceId] : leds) {
        if (deviceId == id) {
            return label;
        }
    }
    return L"LED ID " + std::to_wstring(id);
}

std::wstring LedNameByPosition(std::size_t position, const ScriptCommandText::LedNames& leds) {
    return position < leds.size() ? leds[position].first : L"LED " + std::to_wstring(position + 1);
}

void AppendPart(std::wstring& text, const std::wstring& part) {
    text += (text.empty() ? L"" : L", ") + part;
}

std::wstring LedChanges(std::uint16_t value, std::uint16_t change,
                        const ScriptCommandText::LedNames& leds) {
    std::wstring text;
    for (unsigned bit = 0; bit < kLedMaskBits; ++bit) {
        if ((change >> bit) & 1u) {
            AppendPart(text, LedNameById(bit, leds) + (((value >> bit) & 1u) ? L" on" : L" off"));
        }
    }
    return text;
}

std::wstring TtlChanges(std::uint8_t value, std::uint8_t change) {
    std::wstring text;
    for (unsigned bit = 0; bit < kTtlMaskBits; ++bit) {
        if ((change >> bit) & 1u) {
            AppendPart(text, L"TTL " + std::to_wstring(bit) +
                                 (((value >> bit) & 1u) ? L" high" : L" low"));
        }
    }
    return text;
}

std::wstring WithChanges(const std::wstring& name, const std::wstring& changes) {
    return name + L" " + (changes.empty() ? L"(no change)" : changes);
}

std::wstring SetOutputs(const std::uint8_t* record, const ScriptCommandText::LedNames& leds) {
    std::wstring changes =
        LedChanges(ByteOrder::ReadU16(&record[1]), ByteOrder::ReadU16(&record[3]), leds);
    const std::wstring ttl = TtlChanges(record[5], record[6]);
    if (!ttl.empty()) {
        AppendPart(changes, ttl);
    }
    return WithChanges(L"SetOutputs", changes);
}

std::wstring SetIntensity(const std::uint8_t* record, const ScriptCommandText::LedNames& leds) {
    const std::size_t position = record[0] - ScriptOpCode::SetIntensity1;
    return L"SetIntensity" + std::to_wstring(position + 1) + L" " +
           LedNameByPosition(position, leds) + L" " + std::to_wstring(record[1]);
}

std::wstring UnknownOpCode(std::uint8_t opCode) {
    const wchar_t digits[] = L"0123456789ABCDEF";
    return std::wstring(L"Unknown op code 0x") + digits[opCode >> 4] + digits[opCode & 0x0F];
}

}  // namespace

namespace ScriptCommandText {

std::wstring Describe(const std::uint8_t* record, const LedNames& leds) {
    switch (record[0]) {
        case ScriptOpCode::WaitSteps:
            return L"WaitSteps " + std::to_wstring(ByteOrder::ReadU64(&record[1]));
        case ScriptOpCode::SetOutputs:
            return SetOutputs(record, leds);
        case ScriptOpCode::CallSequence:
            return L"CallSequence " + std::to_wstring(record[1]);
        case ScriptOpCode::EndLoop:
            return L"EndLoop to " + std::to_wstring(ByteOrder::ReadU32(&record[2])) + L", " +
                   std::to_wstring(ByteOrder::ReadU32(&record[6])) + L" times";
        case ScriptOpCode::SetTTLOutputs:
            return WithChanges(L"SetTTLOutputs", TtlChanges(record[1], record[2]));
        case ScriptOpCode::SetIntensity1:
        case ScriptOpCode::SetIntensity2:
        case ScriptOpCode::SetIntensity3:
            return SetIntensity(record, leds);
        case ScriptOpCode::EndOfSequence:
            return L"EndOfSequence";
        default:
            return UnknownOpCode(record[0]);
    }
}

}  // namespace ScriptCommandText
