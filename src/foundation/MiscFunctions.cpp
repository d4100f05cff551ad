#include "foundation/MiscFunctions.h"

#include <string_view>

using VlrDataTypes::VLR_FAILURE;
using VlrDataTypes::VLR_SUCCESS;
using VlrDataTypes::VlrRetVal;

namespace {

constexpr std::wstring_view kWhiteSpace = L" \t\n\v\f\r";

void ReplaceAll(std::wstring& text, std::wstring_view from, wchar_t to) {
    for (std::size_t pos = text.find(from); pos != std::wstring::npos;
         pos = text.find(from, pos + 1)) {
        text.replace(pos, from.size(), 1, to);
    }
}

void TrimWhiteSpace(std::wstring& text) {
    const std::size_t first = text.find_first_not_of(kWhiteSpace);
    if (first == std::wstring::npos) {
        text.clear();
        return;
    }
    const std::size_t last = text.find_last_not_of(kWhiteSpace);
    text = text.substr(first, last - first + 1);
}

}  // namespace

namespace MiscFunctions {

VlrRetVal ParseCommandString(std::wstring command, std::vector<std::wstring>& arguments,
                             std::wstring& error) {
    error.clear();
    arguments.clear();

    std::wstring work = command;
    ReplaceAll(work, L"\r\n", L' ');
    ReplaceAll(work, L"\t", L' ');
    ReplaceAll(work, L"\r", L' ');
    ReplaceAll(work, L"\n", L' ');

    std::vector<std::wstring> tokens;
    while (!work.empty()) {
        TrimWhiteSpace(work);
        if (!work.empty() && work.front() == L'"') {
            const std::size_t closing = work.find(L'"', 1);
            if (closing == std::wstring::npos) {
                error = L"MiscFunctions::ParseCommandString() - Error Processing command(" +
                        command + L") string, unable to find matching double quotes.";
                return VLR_FAILURE;
            }
            tokens.push_back(work.substr(1, closing - 1));
            work.erase(0, closing + 1);
            continue;
        }
        const std::size_t space = work.find(L' ');
        if (space == std::wstring::npos) {
            tokens.push_back(work);
            work.clear();
        } else {
            tokens.push_back(work.substr(0, space));
            work.erase(0, space);
        }
    }
    arguments = std::move(tokens);
    return VLR_SUCCESS;
}

VlrRetVal TrimQuotesFromString(std::wstring& text, std::wstring& error) {
    error.clear();
    if (text.empty()) {
        return VLR_SUCCESS;
    }
    const bool leading = text.front() == L'"';
    const bool trailing = text.back() == L'"';
    if (leading && trailing) {
        text = text.size() < 2 ? std::wstring() : text.substr(1, text.size() - 2);
        return VLR_SUCCESS;
    }
    if (!leading && !trailing) {
        return VLR_SUCCESS;
    }
    error =
        L"MiscFunctions::TrimQuotesFromString() - Error processing string, unable to find "
        L"leading and trailing double quotes from string: " +
        text;
    return VLR_FAILURE;
}

std::wstring AddQuotesToString(const std::wstring& text) {
    if (text.empty()) {
        return text;
    }
    return L"\"" + text + L"\"";
}

bool HoldsQuoteOrComment(const std::wstring& text) {
    return text.find_first_of(L"\"#") != std::wstring::npos ||
           text.find(L"//") != std::wstring::npos;
}

std::optional<wchar_t> FindControlCharacter(const std::wstring& text) {
    for (const wchar_t c : text) {
        if ((c >= 0 && c < 0x20) || c == 0x7F) {
            return c;
        }
    }
    return std::nullopt;
}

}  // namespace MiscFunctions
