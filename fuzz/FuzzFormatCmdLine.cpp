// The .cfg reader on arbitrary file content: every line type switched on, every line read to
// the end of the file, also past lines that fail.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

#include "FuzzSupport.h"
#include "config/FormatCmdLine.h"
#include "foundation/LogFile.h"
#include "foundation/VlrDataTypes.h"

using FuzzSupport::Check;
using VlrDataTypes::VLR_SUCCESS;

namespace {

// Physical lines: each line feed ends one, and bytes after the last line feed make one more.
std::size_t PhysicalLineCount(const std::uint8_t* data, std::size_t size) {
    const std::size_t lineFeeds = static_cast<std::size_t>(std::count(data, data + size, '\n'));
    return (size > 0 && data[size - 1] != '\n') ? lineFeeds + 1 : lineFeeds;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::wstring path = FuzzSupport::WriteScratchFile("input.cfg", data, size);
    // Without a file the log still composes every message and time stamp; nothing is written.
    LogFile log;
    FormatCmdLine reader;
    reader.SetLogFile(&log);
    reader.SetReturnCommandLines(true);
    reader.SetReturnCommentLines(true);
    reader.SetReturnVariableLines(true);
    reader.SetReturnBlankLines(true);
    Check(reader.OpenFileCfg(path) == VLR_SUCCESS, "the input file could not be opened");

    // With every type switched on, each call consumes exactly one physical line.
    const std::size_t lines = size == 0 ? 0 : PhysicalLineCount(data, size);
    for (std::size_t call = 1;; ++call) {
        std::wstring line;
        int lineNumber = 0;
        bool endOfFile = false;
        const auto result = reader.GetNextLine(line, lineNumber, endOfFile);
        if (result == VLR_SUCCESS && endOfFile) {
            Check(call == lines + 1, "the end of the file came before or after the last line");
            break;
        }
        Check(call <= lines, "more lines were read than the file holds");
        Check(line.find(L'\n') == std::wstring::npos, "a line kept its line feed");
        // A line too long to read fails before its number is handed out.
        const bool numbered = lineNumber == static_cast<int>(call);
        Check(numbered || (result != VLR_SUCCESS && lineNumber == 0),
              "a line came with a wrong number");
    }
    reader.CloseFile();
    return 0;
}
