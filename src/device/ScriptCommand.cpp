#include "device/ScriptCommand.h"

#include "device/ByteOrder.h"

ScriptCommand::Bytes ScriptCommand::Serialize() const {
    Bytes bytes{};
    bytes[0] = opCode;
    switch (opCode) {
        case ScriptOpCode::WaitSteps:
            ByteOrder::WriteU64(&bytes[1], waitSteps);
            break;
        case ScriptOpCode::SetOutputs:
            ByteOrder::WriteU16(&bytes[1], ledValueMask);
            ByteOrder::WriteU16(&bytes[3], ledChangeMask);
            bytes[5] = ttlValueMask;
            bytes[6] = ttlChangeMask;
            break;
        case ScriptOpCode::CallSequence:
            bytes[1] = calledSequence;
            break;
        case ScriptOpCode::EndLoop:
            ByteOrder::WriteU32(&bytes[2], jumpTargetIndex);
            ByteOrder::WriteU32(&bytes[6], loopCount);
            break;
        case ScriptOpCode::SetTTLOutputs:
            bytes[1] = ttlValueMask;
            bytes[2] = ttlChangeMask;
            break;
        case ScriptOpCode::SetIntensity1:
        case ScriptOpCode::SetIntensity2:
        case ScriptOpCode::SetIntensity3:
            bytes[1] = intensity;
            break;
        default:
            break;
    }
    return bytes;
}

ScriptCommand ScriptCommand::Parse(const std::uint8_t* bytes) {
    ScriptCommand command;
    command.opCode = bytes[0];
    switch (command.opCode) {
        case ScriptOpCode::WaitSteps:
            command.waitSteps = ByteOrder::ReadU64(&bytes[1]);
            break;
        case ScriptOpCode::SetOutputs:
            command.ledValueMask = ByteOrder::ReadU16(&bytes[1]);
            command.ledChangeMask = ByteOrder::ReadU16(&bytes[3]);
            command.ttlValueMask = bytes[5];
            command.ttlChangeMask = bytes[6];
            break;
        case ScriptOpCode::SetTTLOutputs:
            command.ttlValueMask = bytes[1];
            command.ttlChangeMask = bytes[2];
            break;
        case ScriptOpCode::CallSequence:
            command.calledSequence = bytes[1];
            break;
        case ScriptOpCode::EndLoop:
            command.jumpTargetIndex = ByteOrder::ReadU32(&bytes[2]);
            command.loopCount = ByteOrder::ReadU32(&bytes[6]);
            break;
        default:
            command.intensity = bytes[1];
    }
    return command;
}
