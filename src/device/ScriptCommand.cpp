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
