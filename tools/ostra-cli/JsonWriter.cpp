#include "ostra-cli/JsonWriter.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <type_traits>

namespace {

constexpr char32_t kReplacementCharacter = 0xFFFD;
constexpr char32_t kLastCodePoint = 0x10FFFF;

void AppendUnicodeEscape(std::string& text, unsigned unit) {
    char buffer[8];
    std::snprintf(buffer, sizeof buffer, "\\u%04x", unit & 0xFFFFu);
    text += buffer;
}

// A code point no text may hold (a lone surrogate, beyond U+10FFFF) stands as U+FFFD.
char32_t ValidCodePoint(wchar_t character) {
    const auto code = static_cast<char32_t>(static_cast<std::make_unsigned_t<wchar_t>>(character));
    const bool surrogate = code >= 0xD800 && code <= 0xDFFF;
    return (surrogate || code > kLastCodePoint) ? kReplacementCharacter : code;
}

void AppendEscaped(std::string& text, char32_t code) {
    switch (code) {
        case U'"':
            text += "\\\"";
            return;
        case U'\\':
            text += "\\\\";
            return;
        case U'\b':
            text += "\\b";
            return;
        case U'\f':
            text += "\\f";
            return;
        case U'\n':
            text += "\\n";
            return;
        case U'\r':
            text += "\\r";
            return;
        case U'\t':
            text += "\\t";
            return;
        default:
            break;
    }
    if (code >= 0x20 && code < 0x7F) {
        text += static_cast<char>(code);
    } else if (code <= 0xFFFF) {
        AppendUnicodeEscape(text, static_cast<unsigned>(code));
    } else {
        const char32_t offset = code - 0x10000;
        AppendUnicodeEscape(text, static_cast<unsigned>(0xD800 + (offset >> 10)));
        AppendUnicodeEscape(text, static_cast<unsigned>(0xDC00 + (offset & 0x3FF)));
    }
}

}  // namespace

std::string JsonWriter::Quote(const std::wstring& value) {
    std::string text = "\"";
    for (const wchar_t character : value) {
        AppendEscaped(text, ValidCodePoint(character));
    }
    return text + "\"";
}

void JsonWriter::BeforeValue() {
    if (afterKey_) {
        afterKey_ = false;
        return;
    }
    if (!hasElement_.empty()) {
        if (hasElement_.back()) {
            text_ += ",";
        }
        hasElement_.back() = true;
    }
}

JsonWriter& JsonWriter::Raw(const std::string& text) {
    BeforeValue();
    text_ += text;
    return *this;
}

JsonWriter& JsonWriter::BeginObject() {
    Raw("{");
    hasElement_.push_back(false);
    return *this;
}

JsonWriter& JsonWriter::EndObject() {
    hasElement_.pop_back();
    text_ += "}";
    return *this;
}

JsonWriter& JsonWriter::BeginArray() {
    Raw("[");
    hasElement_.push_back(false);
    return *this;
}

JsonWriter& JsonWriter::EndArray() {
    hasElement_.pop_back();
    text_ += "]";
    return *this;
}

JsonWriter& JsonWriter::Key(const std::string& key) {
    std::wstring wide(key.begin(), key.end());
    Raw(Quote(wide) + ":");
    afterKey_ = true;
    return *this;
}

JsonWriter& JsonWriter::String(const std::wstring& value) {
    return Raw(Quote(value));
}

JsonWriter& JsonWriter::Integer(std::int64_t value) {
    return Raw(std::to_string(value));
}

JsonWriter& JsonWriter::Unsigned(std::uint64_t value) {
    return Raw(std::to_string(value));
}

JsonWriter& JsonWriter::Number(double value) {
    if (!std::isfinite(value)) {
        return Null();
    }
    char buffer[32];
    const std::to_chars_result result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return Raw(std::string(buffer, result.ptr));
}

JsonWriter& JsonWriter::Boolean(bool value) {
    return Raw(value ? "true" : "false");
}

JsonWriter& JsonWriter::Null() {
    return Raw("null");
}
