// The command-string tokenizer on arbitrary single-byte text, as it arrives from a file line.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "foundation/MiscFunctions.h"
#include "foundation/TextConversion.h"
#include "foundation/VlrDataTypes.h"

using FuzzSupport::Check;
using VlrDataTypes::VLR_FAILURE;
using VlrDataTypes::VLR_SUCCESS;

namespace {

bool HoldsQuoteOrIsEmpty(const std::vector<std::wstring>& arguments) {
    for (const std::wstring& argument : arguments) {
        if (argument.empty() || argument.find(L'"') != std::wstring::npos) {
            return true;
        }
    }
    return false;
}

// What a writer does with parsed arguments: quote each and join them with blanks.
std::wstring QuotedAndJoined(const std::vector<std::wstring>& arguments) {
    std::wstring text;
    for (const std::wstring& argument : arguments) {
        text += MiscFunctions::AddQuotesToString(argument) + L" ";
    }
    return text;
}

void CheckParsed(const std::wstring& command, const std::vector<std::wstring>& arguments) {
    std::size_t total = 0;
    for (const std::wstring& argument : arguments) {
        Check(argument.find_first_of(L"\t\r\n") == std::wstring::npos,
              "an argument kept a tab, CR or LF");
        total += argument.size();
    }
    Check(total <= command.size(), "the arguments hold more characters than the command");

    // Arguments without quotes and not empty survive being quoted and parsed again.
    if (HoldsQuoteOrIsEmpty(arguments)) {
        return;
    }
    std::vector<std::wstring> again;
    std::wstring error;
    Check(
        MiscFunctions::ParseCommandString(QuotedAndJoined(arguments), again, error) == VLR_SUCCESS,
        "quoted arguments could not be parsed again");
    Check(again == arguments, "quoted arguments parsed again into different arguments");
}

void CheckQuoting(const std::wstring& text) {
    std::wstring quoted = MiscFunctions::AddQuotesToString(text);
    std::wstring error;
    Check(MiscFunctions::TrimQuotesFromString(quoted, error) == VLR_SUCCESS,
          "a quoted text could not be unquoted");
    Check(quoted == text, "quoting and unquoting changed the text");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::wstring command =
        NarrowToWide(std::string(reinterpret_cast<const char*>(data), size));
    std::vector<std::wstring> arguments{L"stale"};
    std::wstring error = L"stale";
    const auto result = MiscFunctions::ParseCommandString(command, arguments, error);
    if (result == VLR_FAILURE) {
        Check(!error.empty(), "a failure came without an error text");
        Check(arguments.empty(), "a failure left arguments behind");
        Check(command.find(L'"') != std::wstring::npos, "a command without quotes failed");
    } else {
        Check(result == VLR_SUCCESS, "the result was neither 0 nor -1");
        Check(error.empty(), "a success came with an error text");
        CheckParsed(command, arguments);
    }
    CheckQuoting(command);
    return 0;
}
