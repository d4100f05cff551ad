#pragma once

#include <optional>
#include <string>
#include <vector>

#include "foundation/VlrDataTypes.h"

// The tokenizer and quoting helpers of the command-line text format. None of them logs: a
// failure is returned as -1 with an error text for the caller to log.
namespace MiscFunctions {

// Splits a command string into blank-separated arguments; double quotes group an argument that
// holds blanks and are removed. Tabs, CRs and LFs count as blanks. There is no escape character.
VlrDataTypes::VlrRetVal ParseCommandString(std::wstring command,
                                           std::vector<std::wstring>& arguments,
                                           std::wstring& error);

// Removes one pair of enclosing double quotes; fails when only one end has a quote.
VlrDataTypes::VlrRetVal TrimQuotesFromString(std::wstring& text, std::wstring& error);

// Encloses a non-empty string in double quotes; an empty string stays empty.
std::wstring AddQuotesToString(const std::wstring& text);

// Texts that a line of a command file cannot carry as an argument: they are refused where they
// are given, since they would be written but not read back as they were.

// A double quote (the tokenizer keeps none inside a quoted argument), # or // (the reader cuts
// the line there).
bool HoldsQuoteOrComment(const std::wstring& text);
// The first control character (below U+0020, or U+007F): a line feed or carriage return ends
// the line, a tab reads back as a blank.
std::optional<wchar_t> FindControlCharacter(const std::wstring& text);

}  // namespace MiscFunctions
