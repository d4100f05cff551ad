#pragma once

#include <nlohmann/json.hpp>
#include <string>

// The JSON report for scripts is an nlohmann::ordered_json: members keep the order in which the
// commands add them. These helpers give its text values and numbers the one form scripts see.

// Wide text as a JSON string: every character is taken as a code point (Latin-1 bytes from files
// and the device included); one no text may hold (a lone surrogate, beyond U+10FFFF) becomes
// U+FFFD.
nlohmann::ordered_json JsonText(const std::wstring& text);

// A number as scripts have always read it: a whole number without ".0" (an integer to most JSON
// readers), anything else as the shortest text that reads back as the same double; NaN and
// infinities become null.
nlohmann::ordered_json JsonNumber(double value);

// A computed duration in milliseconds, rounded to 0.1 ms (the device's time step), so a sum that
// should be 5.2 reads "5.2" and not 5.199999999999999.
nlohmann::ordered_json JsonMilliseconds(double milliseconds);

// One line of printable ASCII: everything else is escaped (\uXXXX, surrogate pairs above U+FFFF),
// so the text survives any terminal or pipe encoding.
std::string JsonLine(const nlohmann::ordered_json& json);

// The wide text of a JSON string's UTF-8: each character one code point (the reverse of
// JsonText for the texts it makes).
std::wstring TextFromJson(const std::string& utf8);
