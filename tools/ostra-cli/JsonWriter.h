#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Builds one JSON text for scripts. Commas and nesting are tracked here, so callers just name
// keys and values in order. The text is pure ASCII: every character outside printable ASCII is
// escaped (\uXXXX, with surrogate pairs above U+FFFF), so it survives any terminal or pipe
// encoding. Wide text is taken as code points.
class JsonWriter {
  public:
    JsonWriter& BeginObject();
    JsonWriter& EndObject();
    JsonWriter& BeginArray();
    JsonWriter& EndArray();

    // Inside an object: the key of the next value.
    JsonWriter& Key(const std::string& key);

    JsonWriter& String(const std::wstring& value);
    JsonWriter& Integer(std::int64_t value);
    JsonWriter& Unsigned(std::uint64_t value);
    // Shortest text that reads back as the same double; NaN and infinities become null.
    JsonWriter& Number(double value);
    JsonWriter& Boolean(bool value);
    JsonWriter& Null();

    const std::string& Text() const { return text_; }

    // The quoted, escaped form of a text.
    static std::string Quote(const std::wstring& value);

  private:
    void BeforeValue();
    JsonWriter& Raw(const std::string& text);

    std::string text_;
    // One entry per open array or object: whether it already holds an element.
    std::vector<bool> hasElement_;
    bool afterKey_ = false;
};
