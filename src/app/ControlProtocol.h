#pragma once

#include <cstddef>
#include <cstdint>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

// The control socket's language: one JSON object per line. A request names an operation
// ("op") and carries an "id" of the client's choosing that its answer repeats; answers and
// events are single lines too.
namespace ControlProtocol {

// A longer request line closes the connection: nothing that long is a request.
inline constexpr std::size_t kMaxLineBytes = 64 * 1024;

enum class Op {
    Status,
    Sequences,
    Connect,
    Disconnect,
    Upload,
    Run,
    Stop,
    StopAll,
    Led,
    Subscribe,
};

enum class PulseAction { Start, Stop };

struct Request {
    nlohmann::ordered_json id;
    Op op = Op::Status;
    // run
    std::uint32_t sequence = 0;
    // led: the label and exactly one of on, intensity and pulse; a pulse start may bring its
    // parameters (only those given change).
    std::wstring label;
    std::optional<bool> on;
    std::optional<std::uint32_t> intensity;
    std::optional<PulseAction> pulse;
    std::optional<double> widthOnMs;
    std::optional<double> widthOffMs;
    std::optional<std::uint32_t> loops;
    // Who sends it, when the client says ("ostra-cli"); anything else counts as a script.
    std::string client;
};

// A line that is no request: the id when one could be read (null otherwise) and the reason.
struct Refusal {
    nlohmann::ordered_json id;
    std::string error;
};

// Never throws, whatever the bytes.
std::variant<Request, Refusal> ReadRequest(std::string_view line);

// {"id": ..., "ok": true, fields...} and {"id": ..., "ok": false, "error": ...}, each one line
// ending in "\n". Text that is not UTF-8 is replaced, never thrown over.
std::string OkLine(const nlohmann::ordered_json& id, const nlohmann::ordered_json& fields);
std::string ErrorLine(const nlohmann::ordered_json& id, const std::string& error);

// A JSON value as one line of ASCII ending in "\n".
std::string Line(const nlohmann::ordered_json& value);

}  // namespace ControlProtocol
