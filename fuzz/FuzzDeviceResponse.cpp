// The receive path of a device transaction fed arbitrary device bytes over a pseudo-terminal.
// Input layout: byte 0 is the command ID sent (GetFirmwareVersion runs the firmware query, any
// other ID a three-byte command through ExecuteCommand); the remaining bytes are what the
// device answers, written as soon as the command has arrived.

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "DeviceResponder.h"
#include "FuzzSupport.h"
#include "device/MicroControllerConnection.h"
#include "device/PacketConstants.h"
#include "device/PortDirectory.h"
#include "device/SerialPort.h"
#include "foundation/LogFile.h"
#include "foundation/TextConversion.h"
#include "foundation/VlrDataTypes.h"

using FuzzSupport::Check;
using VlrDataTypes::VLR_SUCCESS;

namespace {

constexpr int kPortNumber = 7;
constexpr std::size_t kCommandFraming = PacketConstants::kHeaderSize + PacketConstants::kFooterSize;
// A complete response of the largest size and a little more; the rest of an input is never read.
constexpr std::size_t kMaxAnswerSize = kCommandFraming + PacketConstants::kMaxResponseDataSize + 8;
constexpr std::size_t kFirmwareTextOffset = 3;

// Short, so that an answer cut short costs milliseconds; the device end answers within
// microseconds of the command, well inside the total.
const SerialTimeouts kShortTimeouts{std::chrono::milliseconds(2), std::chrono::milliseconds(5),
                                    std::chrono::milliseconds(0)};

// The connection holds the port open for the whole process; the pseudo-terminal is registered
// as a port in a private port directory.
class Link {
  public:
    Link() {
        const std::filesystem::path ports = FuzzSupport::ScratchDirectory() / "ports";
        std::filesystem::create_directories(ports);
        setenv("OSTRA_PORT_DIR", ports.c_str(), 1);
        Check(responder.Open(), "the pseudo-terminal could not be opened");
        const std::string name =
            "Fuzzed Zavik Driver " + WideToNarrow(PortDirectory::PortSuffix(kPortNumber));
        std::filesystem::create_symlink(responder.DevicePath(), ports / name);
        Check(connection.Port().Open(kPortNumber) == VLR_SUCCESS,
              "the registered pseudo-terminal could not be opened as a port");
        connection.Port().SetTimeouts(kShortTimeouts);
    }

    // Without a file the log still composes every message; nothing is written.
    LogFile log;
    DeviceResponder responder;
    MicroControllerConnection connection{&log};
};

Link& TheLink() {
    static Link link;
    return link;
}

std::uint16_t SizeField(const std::vector<std::uint8_t>& answer) {
    return static_cast<std::uint16_t>(answer[2] | (answer[3] << 8));
}

// A transaction that succeeded must have read one well-formed response from the answer's start;
// returns the size of its data section.
std::uint16_t CheckAcceptedResponse(const std::vector<std::uint8_t>& answer, std::uint8_t commandId,
                                    const std::uint8_t* responseData) {
    Check(answer.size() >= kCommandFraming + 2, "a success from fewer bytes than a packet");
    const std::uint16_t size = SizeField(answer);
    Check(answer[0] == PacketConstants::kStx && answer[1] == PacketConstants::kTypeResponse,
          "a success from a bad header");
    Check(size >= 2 && size <= PacketConstants::kMaxResponseDataSize,
          "a success with a bad size field");
    Check(answer.size() >= kCommandFraming + size, "a success from a cut packet");
    Check(answer[4] == commandId && answer[5] == DeviceStatus::Success,
          "a success with another command ID or a failure status");
    Check(answer[4 + size] == PacketConstants::kEtx, "a success with a bad ETX");
    Check(PacketConstants::XorChecksum(answer.data(), kCommandFraming + size) == 0,
          "a success with a bad checksum");
    Check(std::equal(answer.begin() + 4, answer.begin() + 4 + size, responseData),
          "a success kept other data than the device sent");
    return size;
}

void CheckVersionText(const std::vector<std::uint8_t>& answer, std::uint16_t size,
                      const std::wstring& version) {
    Check(size > kFirmwareTextOffset, "a version from a response without text");
    std::string text;
    for (std::size_t i = 4 + kFirmwareTextOffset; i < 4u + size && answer[i] != 0; ++i) {
        text.push_back(static_cast<char>(answer[i]));
    }
    Check(version == NarrowToWide(text), "a version text other than the device sent");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    Link& link = TheLink();
    const std::uint8_t commandId = data[0];
    const std::vector<std::uint8_t> answer(data + 1, data + std::min(size, 1 + kMaxAnswerSize));

    if (commandId == DeviceCommand::GetFirmwareVersion) {
        link.responder.Answer(kCommandFraming + 1, answer);
        std::wstring version;
        const auto result = link.connection.GetFirmwareVersion(version);
        Check(link.responder.Finish(), "the firmware query never arrived");
        if (result == VLR_SUCCESS) {
            const std::uint16_t dataSize =
                CheckAcceptedResponse(answer, commandId, link.connection.ResponseData());
            CheckVersionText(answer, dataSize, version);
        }
        return 0;
    }
    const std::uint8_t payload[] = {commandId, 0x00, 0xFF};
    link.responder.Answer(kCommandFraming + sizeof payload, answer);
    std::uint16_t responseSize = 0;
    const auto result = link.connection.ExecuteCommand(payload, sizeof payload, responseSize);
    Check(link.responder.Finish(), "the command never arrived");
    Check(responseSize <= PacketConstants::kMaxResponseDataSize, "a response size beyond 1028");
    if (result == VLR_SUCCESS) {
        const std::uint16_t dataSize =
            CheckAcceptedResponse(answer, commandId, link.connection.ResponseData());
        Check(responseSize == dataSize, "a success reported another data size");
    }
    return 0;
}
