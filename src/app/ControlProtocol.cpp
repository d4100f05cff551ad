#include "app/ControlProtocol.h"

#include <array>
#include <cmath>
#include <limits>
#include <utility>

#include "app/Json.h"

namespace ControlProtocol {

namespace {

using Json = nlohmann::ordered_json;

constexpr std::array<std::pair<std::string_view, Op>, 10> kOps{{
    {"status", Op::Status},
    {"sequences", Op::Sequences},
    {"connect", Op::Connect},
    {"disconnect", Op::Disconnect},
    {"upload", Op::Upload},
    {"run", Op::Run},
    {"stop", Op::Stop},
    {"stopAll", Op::StopAll},
    {"led", Op::Led},
    {"subscribe", Op::Subscribe},
}};

// A field's problem, said as the client will read it.
struct BadArgument {
    std::string message;
};

std::optional<Op> FindOp(const std::string& name) {
    for (const auto& [text, op] : kOps) {
        if (text == name) {
            return op;
        }
    }
    return std::nullopt;
}

const Json* Field(const Json& object, const char* name) {
    const auto found = object.find(name);
    return found == object.end() ? nullptr : &*found;
}

// A whole number within [0, limit], given as an integer or as a float without a fraction.
std::optional<std::uint32_t> WholeNumber(const Json& value, std::uint32_t limit) {
    if (value.is_number_unsigned()) {
        const auto number = value.get<std::uint64_t>();
        return number <= limit ? std::optional(static_cast<std::uint32_t>(number)) : std::nullopt;
    }
    if (value.is_number_float()) {
        const double number = value.get<double>();
        if (std::isfinite(number) && number >= 0 && number <= limit &&
            std::floor(number) == number) {
            return static_cast<std::uint32_t>(number);
        }
    }
    return std::nullopt;
}

std::uint32_t RequireWhole(const Json& request, const char* name, std::uint32_t limit) {
    const Json* value = Field(request, name);
    if (value == nullptr) {
        throw BadArgument{std::string("\"") + name + "\" is missing."};
    }
    const std::optional<std::uint32_t> number = WholeNumber(*value, limit);
    if (!number) {
        throw BadArgument{std::string("\"") + name + "\" must be a whole number from 0 to " +
                          std::to_string(limit) + "."};
    }
    return *number;
}

std::optional<double> OptionalMilliseconds(const Json& request, const char* name) {
    const Json* value = Field(request, name);
    if (value == nullptr) {
        return std::nullopt;
    }
    if (!value->is_number() || !std::isfinite(value->get<double>()) || value->get<double>() < 0) {
        throw BadArgument{std::string("\"") + name + "\" must be a number of milliseconds."};
    }
    return value->get<double>();
}

void ReadLed(const Json& object, Request& request) {
    const Json* label = Field(object, "label");
    if (label == nullptr || !label->is_string()) {
        throw BadArgument{"\"label\" must name an LED."};
    }
    request.label = TextFromJson(label->get<std::string>());
    const Json* on = Field(object, "on");
    const Json* pulse = Field(object, "pulse");
    const bool hasIntensity = Field(object, "intensity") != nullptr;
    if ((on != nullptr) + hasIntensity + (pulse != nullptr) != 1) {
        throw BadArgument{"Give exactly one of \"on\", \"intensity\" and \"pulse\"."};
    }
    if (on != nullptr) {
        if (!on->is_boolean()) {
            throw BadArgument{"\"on\" must be true or false."};
        }
        request.on = on->get<bool>();
    } else if (hasIntensity) {
        request.intensity = RequireWhole(object, "intensity", 255);
    } else {
        if (!pulse->is_string() || (*pulse != "start" && *pulse != "stop")) {
            throw BadArgument{"\"pulse\" must be \"start\" or \"stop\"."};
        }
        request.pulse = *pulse == "start" ? PulseAction::Start : PulseAction::Stop;
        request.widthOnMs = OptionalMilliseconds(object, "onMs");
        request.widthOffMs = OptionalMilliseconds(object, "offMs");
        if (Field(object, "loops") != nullptr) {
            request.loops =
                RequireWhole(object, "loops", std::numeric_limits<std::uint32_t>::max());
        }
    }
}

Request ReadFields(const Json& object) {
    Request request;
    request.id = object["id"];
    const Json* op = Field(object, "op");
    if (op == nullptr || !op->is_string()) {
        throw BadArgument{"The request has no \"op\"."};
    }
    const std::optional<Op> known = FindOp(op->get<std::string>());
    if (!known) {
        throw BadArgument{"Unknown op \"" + op->get<std::string>() + "\"."};
    }
    request.op = *known;
    if (const Json* client = Field(object, "client"); client != nullptr && client->is_string()) {
        request.client = client->get<std::string>();
    }
    if (request.op == Op::Run) {
        request.sequence = RequireWhole(object, "sequence", 255);
    } else if (request.op == Op::Led) {
        ReadLed(object, request);
    }
    return request;
}

}  // namespace

std::variant<Request, Refusal> ReadRequest(std::string_view line) {
    Json object = Json::parse(line, nullptr, false);
    if (object.is_discarded()) {
        return Refusal{Json(), "The line is not JSON."};
    }
    if (!object.is_object()) {
        return Refusal{Json(), "A request is a JSON object."};
    }
    // An id is echoed in every answer: a nested one could be deep enough to exhaust the stack.
    if (object.contains("id") && object["id"].is_structured()) {
        return Refusal{Json(), "\"id\" must be a string, a number, true, false or null."};
    }
    if (!object.contains("id")) {
        object["id"] = nullptr;
    }
    try {
        return ReadFields(object);
    } catch (const BadArgument& bad) {
        return Refusal{object["id"], bad.message};
    }
}

std::string Line(const Json& value) {
    return value.dump(-1, ' ', true, Json::error_handler_t::replace) + "\n";
}

std::string OkLine(const Json& id, const Json& fields) {
    Json answer{{"id", id}, {"ok", true}};
    for (const auto& [key, value] : fields.items()) {
        answer[key] = value;
    }
    return Line(answer);
}

std::string ErrorLine(const Json& id, const std::string& error) {
    return Line(Json{{"id", id}, {"ok", false}, {"error", error}});
}

}  // namespace ControlProtocol
