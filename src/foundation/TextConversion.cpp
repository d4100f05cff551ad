#include "foundation/TextConversion.h"

#include <charconv>
#include <clocale>
#include <cwchar>
#include <cwctype>
#include <locale>
#include <sstream>

namespace {

// Case folding needs Unicode character classes, which the "C" locale lacks. glibc always has a
// built-in C.UTF-8; without it we fold ASCII only.
locale_t UnicodeCtype() {
    static const locale_t locale = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0));
    return locale;
}

// Null only if the C library cannot make one, and then the conversions use the process locale.
locale_t CLocale() {
    static const locale_t locale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
    return locale;
}

wchar_t FoldCase(wchar_t c) {
    // ASCII folds to ASCII in every locale we use; the tables are only needed above it. Every
    // command word of a settings file passes through here, so this path is kept short.
    if (c >= 0 && c < 0x80) {
        return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c - L'A' + L'a') : c;
    }
    const locale_t locale = UnicodeCtype();
    if (locale != static_cast<locale_t>(0)) {
        return static_cast<wchar_t>(towlower_l(towupper_l(static_cast<wint_t>(c), locale), locale));
    }
    return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c - L'A' + L'a') : c;
}

}  // namespace

void NarrowToWide(const std::string& narrow, std::wstring& wide) {
    wide.resize(narrow.size());
    for (std::size_t i = 0; i < narrow.size(); ++i) {
        wide[i] = static_cast<wchar_t>(static_cast<unsigned char>(narrow[i]));
    }
}

std::wstring NarrowToWide(const std::string& narrow) {
    std::wstring wide;
    NarrowToWide(narrow, wide);
    return wide;
}

void WideToNarrow(const std::wstring& wide, std::string& narrow) {
    narrow.resize(wide.size());
    for (std::size_t i = 0; i < wide.size(); ++i) {
        const auto code = static_cast<unsigned long>(wide[i]);
        narrow[i] = code <= 0xFF ? static_cast<char>(static_cast<unsigned char>(code)) : '?';
    }
}

std::string WideToNarrow(const std::wstring& wide) {
    std::string narrow;
    WideToNarrow(wide, narrow);
    return narrow;
}

bool TextToDouble(const std::wstring& text, double& number) {
    std::wistringstream stream(text);
    stream.imbue(std::locale::classic());
    double value = 0.0;
    if (stream >> value) {
        number = value;
        return true;
    }
    number = 0.0;
    return false;
}

double StandardTextToDouble(const std::wstring& text) {
    const locale_t locale = CLocale();
    return locale != static_cast<locale_t>(0) ? wcstod_l(text.c_str(), nullptr, locale)
                                              : std::wcstod(text.c_str(), nullptr);
}

float StandardTextToFloat(const std::wstring& text) {
    const locale_t locale = CLocale();
    return locale != static_cast<locale_t>(0) ? wcstof_l(text.c_str(), nullptr, locale)
                                              : std::wcstof(text.c_str(), nullptr);
}

std::wstring FixedText(double value, int decimals) {
    // Room for the largest double written out in full, with its sign and the decimals.
    char text[320 + 64];
    const std::to_chars_result result =
        std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals);
    return NarrowToWide(std::string(text, result.ec == std::errc() ? result.ptr : text));
}

int CompareNoCase(const std::wstring& a, const std::wstring& b) {
    const std::size_t common = a.size() < b.size() ? a.size() : b.size();
    for (std::size_t i = 0; i < common; ++i) {
        if (a[i] == b[i]) {
            continue;
        }
        const wchar_t fa = FoldCase(a[i]);
        const wchar_t fb = FoldCase(b[i]);
        if (fa != fb) {
            return fa < fb ? -1 : 1;
        }
    }
    if (a.size() == b.size()) {
        return 0;
    }
    return a.size() < b.size() ? -1 : 1;
}

std::optional<std::size_t> FindNoCase(const std::vector<std::wstring>& names,
                                      const std::wstring& name) {
    for (std::size_t position = 0; position < names.size(); ++position) {
        // Folding keeps the length, so only names as long can match.
        if (names[position].size() == name.size() && CompareNoCase(names[position], name) == 0) {
            return position;
        }
    }
    return std::nullopt;
}

std::filesystem::path WideToPath(const std::wstring& wide) {
    return std::filesystem::path(WideToNarrow(wide));
}

std::wstring PathToWide(const std::filesystem::path& path) {
    return NarrowToWide(path.native());
}
