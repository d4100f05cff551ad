#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

// Files and the device carry single-byte text; memory holds wide text. Byte n is code point n
// (Latin-1). A character above U+00FF has no byte and is written as '?'.
std::wstring NarrowToWide(const std::string& narrow);
void NarrowToWide(const std::string& narrow, std::wstring& wide);
std::string WideToNarrow(const std::wstring& wide);
void WideToNarrow(const std::wstring& wide, std::string& narrow);

// Reads a floating-point number from the start of the text as stream extraction does (leading
// white space skipped, trailing text ignored). Returns false, with number 0, when none was read.
bool TextToDouble(const std::wstring& text, double& number);

// Numbers in files and messages read and write the same whatever locale the process runs in: a
// front end may adopt the operator's, where the decimal point is a comma.

// The standard wide-text-to-floating conversions (wcstod, wcstof) in the "C" locale: a leading
// decimal or hexadecimal number (0x10 is 16), inf or nan; 0 when the text does not start with one.
double StandardTextToDouble(const std::wstring& text);
float StandardTextToFloat(const std::wstring& text);

// printf's "%.<decimals>f" in the "C" locale.
std::wstring FixedText(double value, int decimals);

// Compares two whole strings ignoring case (simple Unicode case folding): negative, 0 or
// positive. Callers only test for 0.
int CompareNoCase(const std::wstring& a, const std::wstring& b);
// The position of the first of `names` equal to `name` ignoring case.
std::optional<std::size_t> FindNoCase(const std::vector<std::wstring>& names,
                                      const std::wstring& name);

// File names: the wide text holds the name's bytes one per character, so a name read from the
// environment, the command line or a file comes back to exactly the same bytes whatever their
// encoding (Linux file names are bytes).
std::filesystem::path WideToPath(const std::wstring& wide);
std::wstring PathToWide(const std::filesystem::path& path);
