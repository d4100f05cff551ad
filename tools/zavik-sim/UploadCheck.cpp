#include "zavik-sim/UploadCheck.h"

#include <set>

#include "zavik-sim/HexText.h"

namespace {

constexpr std::uint8_t kTtlBits = 0x78;  // TTL outputs 3..6

bool IsKnownOpCode(std::uint8_t opCode) {
    switch (opCode) {
        case ScriptOpCode::WaitSteps:
        case ScriptOpCode::SetOutputs:
        case ScriptOpCode::CallSequence:
        case ScriptOpCode::EndLoop:
        case ScriptOpCode::SetTTLOutputs:
        case ScriptOpCode::SetIntensity1:
        case ScriptOpCode::SetIntensity2:
        case ScriptOpCode::SetIntensity3:
        case ScriptOpCode::EndOfSequence:
            return true;
        default:
            return false;
    }
}

// True when a call of `called` can come back to `number`, through the stored scripts.
bool LeadsBack(std::uint8_t number, std::uint32_t called, const ScriptRunner::Lookup& uploaded,
               std::set<std::uint32_t>& seen) {
    if (called == number) {
        return true;
    }
    if (!seen.insert(called).second) {
        return false;
    }
    const SharedScript script = uploaded(called);
    if (script == nullptr) {
        return false;
    }
    for (const ScriptCommand& command : *script) {
        if (command.opCode == ScriptOpCode::CallSequence &&
            LeadsBack(number, command.calledSequence, uploaded, seen)) {
            return true;
        }
    }
    return false;
}

}  // namespace

std::vector<std::wstring> CheckUploadedScript(std::uint8_t number, const Script& script,
                                              const ScriptRunner::Lookup& uploaded) {
    std::vector<std::wstring> problems;
    const auto at = [](std::size_t index) { return L"command " + std::to_wstring(index); };
    if (script.empty() || script.back().opCode != ScriptOpCode::EndOfSequence) {
        problems.push_back(L"the last command is not EndOfSequence");
    }
    for (std::size_t index = 0; index < script.size(); ++index) {
        const ScriptCommand& command = script[index];
        if (!IsKnownOpCode(command.opCode)) {
            problems.push_back(at(index) + L" has the unknown op code " +
                               HexText::Byte(command.opCode));
        } else if (command.opCode == ScriptOpCode::EndLoop && command.jumpTargetIndex >= index) {
            problems.push_back(at(index) + L" (EndLoop) jumps to " +
                               std::to_wstring(command.jumpTargetIndex) +
                               L", which is not before it");
        } else if ((command.ttlChangeMask & ~kTtlBits) != 0) {
            problems.push_back(at(index) + L" sets TTL bits other than 3..6 (change mask " +
                               HexText::Byte(command.ttlChangeMask) + L")");
        } else if (command.opCode == ScriptOpCode::CallSequence) {
            const std::uint8_t called = command.calledSequence;
            std::set<std::uint32_t> seen;
            if (called != number && uploaded(called) == nullptr) {
                problems.push_back(at(index) + L" calls sequence " + std::to_wstring(called) +
                                   L", which is not uploaded");
            } else if (LeadsBack(number, called, uploaded, seen)) {
                problems.push_back(at(index) + L" calls sequence " + std::to_wstring(called) +
                                   L", which leads back to sequence " + std::to_wstring(number));
            }
        }
    }
    return problems;
}
