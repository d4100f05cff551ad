#include "zavik-sim/FaultRule.h"

#include <array>
#include <utility>

#include "zavik-sim/HexText.h"

using VlrDataTypes::VLR_FAILURE;
using VlrDataTypes::VLR_SUCCESS;
using VlrDataTypes::VlrRetVal;

namespace {

constexpr std::array<std::pair<FaultKind, const wchar_t*>, 11> kKindNames{{
    {FaultKind::Status, L"status"},
    {FaultKind::Silent, L"silent"},
    {FaultKind::Half, L"half"},
    {FaultKind::BadCrc, L"bad-crc"},
    {FaultKind::BadStx, L"bad-stx"},
    {FaultKind::BadType, L"bad-type"},
    {FaultKind::WrongId, L"wrong-id"},
    {FaultKind::Oversize, L"oversize"},
    {FaultKind::Garbage, L"garbage"},
    {FaultKind::Hangup, L"hangup"},
    {FaultKind::Delay, L"delay"},
}};

// The longest delay accepted: ten minutes.
constexpr std::uint64_t kMaxDelayMs = 600000;

// Decimal, or hexadecimal after 0x; nothing else, no sign, no blanks.
bool ReadNumber(const std::wstring& text, std::uint64_t max, std::uint64_t& value) {
    const bool hex = text.size() > 2 && text[0] == L'0' && (text[1] == L'x' || text[1] == L'X');
    const std::size_t base = hex ? 16 : 10;
    const std::wstring digits = hex ? text.substr(2) : text;
    if (digits.empty() || digits.size() > 16) {
        return false;
    }
    value = 0;
    for (const wchar_t c : digits) {
        const std::wstring::size_type digit =
            std::wstring(L"0123456789abcdef").find(static_cast<wchar_t>(c | 0x20));
        if (digit == std::wstring::npos || digit >= base) {
            return false;
        }
        value = value * base + digit;
    }
    return value <= max;
}

bool ReadKind(const std::wstring& name, FaultKind& kind) {
    for (const auto& [candidate, candidateName] : kKindNames) {
        if (name == candidateName) {
            kind = candidate;
            return true;
        }
    }
    return false;
}

VlrRetVal Fail(std::wstring& problem, std::wstring text) {
    problem = std::move(text);
    return VLR_FAILURE;
}

// Moves the part after the last separator out of text into part; false when there is none.
bool SplitLast(std::wstring& text, wchar_t separator, std::wstring& part) {
    const std::wstring::size_type at = text.rfind(separator);
    if (at == std::wstring::npos) {
        return false;
    }
    part = text.substr(at + 1);
    text.erase(at);
    return true;
}

VlrRetVal ReadKindAndValue(const std::wstring& text, FaultRule& rule, std::wstring& problem) {
    const std::wstring::size_type equals = text.find(L'=');
    const std::wstring name = text.substr(0, equals);
    if (!ReadKind(name, rule.kind)) {
        return Fail(problem, L"unknown fault kind \"" + name + L"\"");
    }
    const bool takesValue = rule.kind == FaultKind::Status || rule.kind == FaultKind::Delay;
    if (takesValue != (equals != std::wstring::npos)) {
        return Fail(problem, takesValue ? name + L" needs a value, as in " + name + L"=" +
                                              (rule.kind == FaultKind::Status ? L"0xFA" : L"500")
                                        : name + L" takes no value");
    }
    if (!takesValue) {
        return VLR_SUCCESS;
    }
    const std::wstring valueText = text.substr(equals + 1);
    std::uint64_t value = 0;
    if (rule.kind == FaultKind::Status) {
        if (!ReadNumber(valueText, 255, value)) {
            return Fail(problem, L"status code \"" + valueText + L"\" is not a number 0..255");
        }
        rule.status = static_cast<std::uint8_t>(value);
    } else {
        if (!ReadNumber(valueText, kMaxDelayMs, value)) {
            return Fail(problem, L"delay \"" + valueText + L"\" is not a number 0..600000");
        }
        rule.delay = std::chrono::milliseconds(value);
    }
    return VLR_SUCCESS;
}

}  // namespace

VlrRetVal FaultRule::Parse(const std::wstring& text, FaultRule& rule, std::wstring& problem) {
    FaultRule parsed;
    std::wstring rest = text;
    std::wstring part;
    std::uint64_t value = 0;
    if (SplitLast(rest, L'@', part)) {
        if (!ReadNumber(part, 0xFFFFFFFFu, value) || value == 0) {
            return Fail(problem, L"occurrence \"" + part + L"\" is not a number from 1 on");
        }
        parsed.occurrence = static_cast<unsigned>(value);
    }
    if (SplitLast(rest, L':', part)) {
        if (!ReadNumber(part, 255, value)) {
            return Fail(problem, L"command ID \"" + part + L"\" is not a number 0..255");
        }
        parsed.commandId = static_cast<std::uint8_t>(value);
    }
    if (ReadKindAndValue(rest, parsed, problem) != VLR_SUCCESS) {
        return VLR_FAILURE;
    }
    rule = parsed;
    return VLR_SUCCESS;
}

std::wstring FaultRule::ToText() const {
    std::wstring text = FaultKindName(kind);
    if (kind == FaultKind::Status) {
        text += L"=" + HexText::Byte(status);
    } else if (kind == FaultKind::Delay) {
        text += L"=" + std::to_wstring(delay.count());
    }
    if (commandId) {
        text += L":" + HexText::Byte(*commandId);
    }
    if (occurrence != 0) {
        text += L"@" + std::to_wstring(occurrence);
    }
    return text;
}

std::wstring FaultKindName(FaultKind kind) {
    for (const auto& [candidate, name] : kKindNames) {
        if (candidate == kind) {
            return name;
        }
    }
    return L"unknown";
}
