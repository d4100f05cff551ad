#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

// A parsed JSON text, so that tests check what ostra-cli prints by its structure. The parser is
// strict (RFC 8259): one value, no trailing commas, no leading zeros, escapes as the standard
// has them; strings are held as UTF-8.
struct JsonValue {
    enum class Type { Null, Boolean, Number, String, Array, Object };

    Type type = Type::Null;
    bool boolean = false;
    double number = 0.0;
    std::string string;
    std::vector<JsonValue> array;
    std::vector<std::pair<std::string, JsonValue>> object;

    // None when the text is not exactly one JSON value (white space around it allowed).
    static std::optional<JsonValue> Parse(const std::string& text);

    bool Has(const std::string& key) const;
    // The member's value; a null value when there is none (tests then fail on its type).
    const JsonValue& operator[](const std::string& key) const;
    // The keys of an object in order.
    std::vector<std::string> Keys() const;
};
