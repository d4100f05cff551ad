#include "tools/ostra-cli/JsonValue.h"

#include <cctype>
#include <cstdlib>

namespace {

class Parser {
  public:
    explicit Parser(const std::string& text) : text_(text) {}

    std::optional<JsonValue> Document() {
        JsonValue value;
        SkipWhiteSpace();
        if (!Value(value)) {
            return std::nullopt;
        }
        SkipWhiteSpace();
        return position_ == text_.size() ? std::optional<JsonValue>(value) : std::nullopt;
    }

  private:
    bool Value(JsonValue& value) {
        if (position_ >= text_.size()) {
            return false;
        }
        switch (text_[position_]) {
            case '{':
                return Object(value);
            case '[':
                return Array(value);
            case '"':
                value.type = JsonValue::Type::String;
                return String(value.string);
            case 't':
                value.type = JsonValue::Type::Boolean;
                value.boolean = true;
                return Literal("true");
            case 'f':
                value.type = JsonValue::Type::Boolean;
                return Literal("false");
            case 'n':
                return Literal("null");
            default:
                return Number(value);
        }
    }

    bool Object(JsonValue& value) {
        value.type = JsonValue::Type::Object;
        ++position_;
        SkipWhiteSpace();
        if (Take('}')) {
            return true;
        }
        do {
            SkipWhiteSpace();
            std::string key;
            JsonValue member;
            if (!String(key)) {
                return false;
            }
            SkipWhiteSpace();
            if (!Take(':')) {
                return false;
            }
            SkipWhiteSpace();
            if (!Value(member)) {
                return false;
            }
            value.object.emplace_back(key, member);
            SkipWhiteSpace();
        } while (Take(','));
        return Take('}');
    }

    bool Array(JsonValue& value) {
        value.type = JsonValue::Type::Array;
        ++position_;
        SkipWhiteSpace();
        if (Take(']')) {
            return true;
        }
        do {
            SkipWhiteSpace();
            JsonValue element;
            if (!Value(element)) {
                return false;
            }
            value.array.push_back(element);
            SkipWhiteSpace();
        } while (Take(','));
        return Take(']');
    }

    bool String(std::string& out) {
        if (!Take('"')) {
            return false;
        }
        while (position_ < text_.size()) {
            const auto c = static_cast<unsigned char>(text_[position_++]);
            if (c == '"') {
                return true;
            }
            if (c < 0x20) {
                return false;
            }
            if (c != '\\') {
                out += static_cast<char>(c);
            } else if (!Escape(out)) {
                return false;
            }
        }
        return false;
    }

    bool Escape(std::string& out) {
        if (position_ >= text_.size()) {
            return false;
        }
        const char c = text_[position_++];
        const std::string simple = "\"\\/bfnrt";
        const std::string meaning = "\"\\/\b\f\n\r\t";
        if (const std::size_t index = simple.find(c); index != std::string::npos) {
            out += meaning[index];
            return true;
        }
        if (c != 'u') {
            return false;
        }
        unsigned unit = 0;
        if (!Hex4(unit)) {
            return false;
        }
        char32_t code = unit;
        if (unit >= 0xD800 && unit <= 0xDBFF) {
            unsigned low = 0;
            if (!Take('\\') || !Take('u') || !Hex4(low) || low < 0xDC00 || low > 0xDFFF) {
                return false;
            }
            code = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
        } else if (unit >= 0xDC00 && unit <= 0xDFFF) {
            return false;
        }
        AppendUtf8(out, code);
        return true;
    }

    bool Hex4(unsigned& unit) {
        if (position_ + 4 > text_.size()) {
            return false;
        }
        for (int i = 0; i < 4; ++i) {
            const char c = text_[position_++];
            const std::string digits = "0123456789abcdef";
            const std::size_t digit = digits.find(static_cast<char>(std::tolower(c)));
            if (digit == std::string::npos) {
                return false;
            }
            unit = unit * 16 + static_cast<unsigned>(digit);
        }
        return true;
    }

    static void AppendUtf8(std::string& out, char32_t code) {
        if (code < 0x80) {
            out += static_cast<char>(code);
        } else if (code < 0x800) {
            out += static_cast<char>(0xC0 | (code >> 6));
            out += static_cast<char>(0x80 | (code & 0x3F));
        } else if (code < 0x10000) {
            out += static_cast<char>(0xE0 | (code >> 12));
            out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (code & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (code >> 18));
            out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (code & 0x3F));
        }
    }

    // -?(0|[1-9][0-9]*)(\.[0-9]+)?([eE][+-]?[0-9]+)?
    bool Number(JsonValue& value) {
        const std::size_t start = position_;
        Take('-');
        if (Take('0')) {
            if (IsDigit()) {
                return false;
            }
        } else if (!Digits()) {
            return false;
        }
        if (Take('.') && !Digits()) {
            return false;
        }
        if (Take('e') || Take('E')) {
            if (!Take('+')) {
                Take('-');
            }
            if (!Digits()) {
                return false;
            }
        }
        value.type = JsonValue::Type::Number;
        value.number = std::strtod(text_.substr(start, position_ - start).c_str(), nullptr);
        return true;
    }

    bool Digits() {
        const std::size_t start = position_;
        while (IsDigit()) {
            ++position_;
        }
        return position_ > start;
    }

    bool IsDigit() const {
        return position_ < text_.size() && text_[position_] >= '0' && text_[position_] <= '9';
    }

    bool Literal(const std::string& word) {
        if (text_.compare(position_, word.size(), word) != 0) {
            return false;
        }
        position_ += word.size();
        return true;
    }

    bool Take(char c) {
        if (position_ < text_.size() && text_[position_] == c) {
            ++position_;
            return true;
        }
        return false;
    }

    void SkipWhiteSpace() {
        while (position_ < text_.size() &&
               std::string(" \t\r\n").find(text_[position_]) != std::string::npos) {
            ++position_;
        }
    }

    const std::string& text_;
    std::size_t position_ = 0;
};

}  // namespace

std::optional<JsonValue> JsonValue::Parse(const std::string& text) {
    return Parser(text).Document();
}

bool JsonValue::Has(const std::string& key) const {
    for (const auto& [name, value] : object) {
        if (name == key) {
            return true;
        }
    }
    return false;
}

const JsonValue& JsonValue::operator[](const std::string& key) const {
    static const JsonValue kMissing;
    for (const auto& [name, value] : object) {
        if (name == key) {
            return value;
        }
    }
    return kMissing;
}

std::vector<std::string> JsonValue::Keys() const {
    std::vector<std::string> keys;
    for (const auto& [name, value] : object) {
        keys.push_back(name);
    }
    return keys;
}
