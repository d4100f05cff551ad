// The control socket's request reader on arbitrary bytes, as one line arrives from a client.

#include <cstddef>
#include <cstdint>
#include <string>
#include <variant>

#include "FuzzSupport.h"
#include "app/ControlProtocol.h"

using FuzzSupport::Check;
using Json = nlohmann::ordered_json;

namespace {

// An answer is one line of ASCII that reads back as the object it was made from.
Json CheckAnswerLine(const std::string& line) {
    Check(!line.empty() && line.back() == '\n', "an answer does not end its line");
    Check(line.find('\n') == line.size() - 1, "an answer spans more than one line");
    for (const char byte : line) {
        Check(static_cast<unsigned char>(byte) < 0x80, "an answer holds a byte above ASCII");
    }
    Json answer = Json::parse(line, nullptr, false);
    Check(answer.is_object(), "an answer does not read back as an object");
    return answer;
}

void CheckRequest(const ControlProtocol::Request& request) {
    using ControlProtocol::Op;
    Check(!request.id.is_structured(), "a structured id was taken");
    if (request.op == Op::Run) {
        Check(request.sequence <= 255, "a sequence number above 255 was taken");
    }
    if (request.op == Op::Led) {
        const int given =
            request.on.has_value() + request.intensity.has_value() + request.pulse.has_value();
        Check(given == 1, "an LED request without exactly one change was taken");
        Check(!request.intensity || *request.intensity <= 255, "an intensity above 255 was taken");
    }
    const Json answer = CheckAnswerLine(ControlProtocol::OkLine(request.id, {{"k", "v"}}));
    Check(answer["id"] == Json::parse(request.id.dump()), "an answer changed the request's id");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string line(reinterpret_cast<const char*>(data), size);
    const auto read = ControlProtocol::ReadRequest(line);
    if (const auto* refusal = std::get_if<ControlProtocol::Refusal>(&read)) {
        Check(!refusal->error.empty(), "a refusal came without a reason");
        const Json answer =
            CheckAnswerLine(ControlProtocol::ErrorLine(refusal->id, refusal->error));
        Check(answer["ok"] == false, "a refusal was answered ok");
    } else {
        CheckRequest(std::get<ControlProtocol::Request>(read));
    }
    return 0;
}
