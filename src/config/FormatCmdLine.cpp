#include "config/FormatCmdLine.h"

#include <algorithm>
#include <filesystem>
#include <string_view>

#include "config/platform/InputFile.h"
#include "foundation/LogFile.h"
#include "foundation/MiscFunctions.h"
#include "foundation/TextConversion.h"

using VlrDataTypes::VLR_FAILURE;
using VlrDataTypes::VLR_SUCCESS;
using VlrDataTypes::VlrRetVal;

namespace {

// The line buffer holds 1000 bytes including the terminator, so 999 bytes of content fit.
constexpr std::size_t kMaxLineBytes = 999;
// A variable's value and a command line after substitution are held to the length of a line
// too: without a bound, a few lines that append a value to itself or nest variables would
// grow the text exponentially until memory runs out.
constexpr std::size_t kMaxTextLength = kMaxLineBytes;

constexpr std::wstring_view kBlanks = L" \t";

enum class RawLine { Complete, TooLong, End };

// Reads one physical line without its line feed. A carriage return directly before the line
// feed is dropped, as text-mode reading on Windows does, because operators carry files between
// Windows and Linux. Overlong lines are consumed to their end so that reading can go on.
RawLine ReadRawLine(std::streambuf* buffer, std::string& bytes) {
    bytes.clear();
    if (buffer == nullptr) {
        return RawLine::End;
    }
    bool readAnything = false;
    bool endedByLineFeed = false;
    bool overflow = false;
    for (int c = buffer->sbumpc(); c != std::char_traits<char>::eof(); c = buffer->sbumpc()) {
        readAnything = true;
        if (c == '\n') {
            endedByLineFeed = true;
            break;
        }
        // One byte beyond the limit is kept: it may turn out to be the CR before the LF.
        if (bytes.size() <= kMaxLineBytes) {
            bytes.push_back(static_cast<char>(c));
        } else {
            overflow = true;
        }
    }
    if (!readAnything) {
        return RawLine::End;
    }
    if (endedByLineFeed && !overflow && !bytes.empty() && bytes.back() == '\r') {
        bytes.pop_back();
    }
    return (overflow || bytes.size() > kMaxLineBytes) ? RawLine::TooLong : RawLine::Complete;
}

bool IsBlank(wchar_t c) {
    return kBlanks.find(c) != std::wstring_view::npos;
}

void CutAtFirst(std::wstring& line, std::wstring_view marker) {
    const std::size_t position = line.find(marker);
    if (position != std::wstring::npos) {
        line.erase(position);
    }
}

// A name counts only where it ends the line or is followed by a blank, so %A does not match
// inside %AB.
bool EndsNameAt(const std::wstring& line, std::size_t end) {
    return end == line.size() || IsBlank(line[end]);
}

std::wstring ReplacementFor(const std::wstring& value) {
    if (value.find(L' ') != std::wstring::npos) {
        return MiscFunctions::AddQuotesToString(value);
    }
    return value;
}

// The search goes on after the inserted text: a value holding its own name would otherwise be
// substituted again and again without end. Names of later variables in the value are still
// replaced when their turn comes. Stops with false as soon as the line grows too long.
bool SubstituteVariable(std::wstring& line, const std::wstring& name, const std::wstring& value) {
    const std::wstring replacement = ReplacementFor(value);
    std::size_t position = line.find(name);
    while (position != std::wstring::npos) {
        std::size_t next = position + 1;
        if (EndsNameAt(line, position + name.size())) {
            line.replace(position, name.size(), replacement);
            if (line.size() > kMaxTextLength) {
                return false;
            }
            next = position + std::max<std::size_t>(replacement.size(), 1);
        }
        position = line.find(name, next);
    }
    return true;
}

bool IsKnownOperator(const std::wstring& op) {
    return op == L"=" || op == L"+=" || op == L"-=" || op == L"*=" || op == L"/=" || op == L":=";
}

float Calculate(float left, const std::wstring& op, float right) {
    if (op == L"+=") {
        return left + right;
    }
    if (op == L"-=") {
        return left - right;
    }
    if (op == L"*=") {
        return left * right;
    }
    return left / right;
}

// Two decimals, but whole numbers lose their ".00" (7, not 7.00; 2.50 stays).
std::wstring FormatNumber(float number) {
    std::wstring text = FixedText(static_cast<double>(number), 2);
    for (std::size_t position = text.find(L".00"); position != std::wstring::npos;
         position = text.find(L".00")) {
        text.erase(position, 3);
    }
    return text;
}

}  // namespace

VlrRetVal FormatCmdLine::OpenFileCfg(std::wstring fileName, const PrivateFolder* folder) {
    CloseFile();
    haveFile_ = false;

    std::wstring error;
    if (MiscFunctions::TrimQuotesFromString(fileName, error) != VLR_SUCCESS) {
        Log(LogLevel::Error, error);
        return VLR_FAILURE;
    }
    const std::filesystem::path path(WideToNarrow(fileName));
    std::error_code status;
    if (folder == nullptr && !std::filesystem::exists(path, status)) {
        Log(LogLevel::Error,
            L"FormatCmdLine::OpenFileCfg() - Could not find the file " + fileName + L".");
        return VLR_FAILURE;
    }
    haveFile_ = true;
    InputFile::Result opened = InputFile::Open(path, kMaxFileBytes, folder);
    if (opened.status == InputFile::Status::TooLarge) {
        LogTooLarge(L"OpenFileCfg", fileName);
        return VLR_FAILURE;
    }
    // Directories, devices and FIFOs are refused as files that could not be opened.
    if (opened.status != InputFile::Status::Opened) {
        Log(LogLevel::Error,
            L"FormatCmdLine::OpenFileCfg() - Error, attempt to open filename failed.  filename: " +
                fileName + L".");
        return VLR_FAILURE;
    }
    file_ = std::move(opened.buffer);
    lineCounter_ = 0;
    lineNotices_ = 0;
    variables_.clear();
    fileName_ = fileName;
    return VLR_SUCCESS;
}

void FormatCmdLine::LogTooLarge(const std::wstring& function, const std::wstring& fileName) {
    Log(LogLevel::Error, L"FormatCmdLine::" + function + L"() - Error, the file is larger than " +
                             std::to_wstring(kMaxFileBytes / (1024 * 1024)) +
                             L" MB, too large for a command file.  filename: " + fileName + L".");
}

VlrRetVal FormatCmdLine::GetNextLine(std::wstring& line, int& lineNumber, bool& endOfFile) {
    if (!haveFile_) {
        Log(LogLevel::Error,
            L"FormatCmdLine::GetNextLine() - Error, a file in not currently opened.");
        return VLR_FAILURE;
    }
    endOfFile = false;
    for (;;) {
        std::wstring work;
        if (GetLineFromFile(work, endOfFile) != VLR_SUCCESS) {
            // A line that could not be read is reported by its own number, with no text.
            line.clear();
            lineNumber = lineCounter_;
            return VLR_FAILURE;
        }
        if (endOfFile) {
            return VLR_SUCCESS;
        }
        lineNumber = ++lineCounter_;
        NoteLine(work);
        LineType type = LineType::BlankLine;
        const VlrRetVal processed = ProcessLine(work, type);
        line = work;
        if (processed != VLR_SUCCESS) {
            return VLR_FAILURE;
        }
        if (IsReturned(type)) {
            return VLR_SUCCESS;
        }
    }
}

void FormatCmdLine::CloseFile() {
    file_.reset();
}

void FormatCmdLine::NoteLine(const std::wstring& line) {
    ++lineNotices_;
    if (lineNotices_ <= kMaxLineNotices) {
        Log(LogLevel::Notice, L"FormatCmdLine::GetNextLine() - Processing line(" +
                                  std::to_wstring(lineCounter_) + L"): " + line);
    } else if (lineNotices_ == kMaxLineNotices + 1) {
        Log(LogLevel::Warning, L"FormatCmdLine::GetNextLine() - The file " + fileName_ +
                                   L" has more than " + std::to_wstring(kMaxLineNotices) +
                                   L" lines; the lines after that are not noted in the log.");
    }
}

VlrRetVal FormatCmdLine::GetLineFromFile(std::wstring& line, bool& endOfFile) {
    endOfFile = false;
    std::string bytes;
    const RawLine read = ReadRawLine(file_.get(), bytes);
    // The line the limit cut is no line of the file: it must not run, and nothing follows it.
    if (file_ != nullptr && file_->Overran()) {
        file_.reset();
        LogTooLarge(L"GetLineFromFile", fileName_);
        return VLR_FAILURE;
    }
    switch (read) {
        case RawLine::End:
            Log(LogLevel::Notice,
                L"FormatCmdLine::GetLineFromFile() - The end of the file has been reached.");
            endOfFile = true;
            return VLR_SUCCESS;
        case RawLine::TooLong:
            // The line was consumed, so the numbers of the following lines still match the file.
            ++lineCounter_;
            Log(LogLevel::Error,
                L"FormatCmdLine::GetLineFromFile() - Error, unable to get next line from file.");
            return VLR_FAILURE;
        case RawLine::Complete:
            break;
    }
    NarrowToWide(bytes, line);
    return VLR_SUCCESS;
}

VlrRetVal FormatCmdLine::ProcessLine(std::wstring& line, LineType& type) {
    type = LineType::BlankLine;
    const std::size_t first = line.find_first_not_of(kBlanks);
    if (first == std::wstring::npos) {
        return VLR_SUCCESS;
    }
    const wchar_t c = line[first];
    if (c == L'-') {
        type = LineType::CommandLine;
        return ProcessCommandLine(line);
    }
    if (c == L'%') {
        type = LineType::VariableLine;
        return ProcessVariableLine(line);
    }
    if (c == L'#' || line.compare(first, 2, L"//") == 0) {
        type = LineType::CommentLine;
        return VLR_SUCCESS;
    }
    Log(LogLevel::Error,
        L"FormatCmdLine::ProcessLine() - Error, Invalid Syntax, unable to determine what type of "
        L"line to process.");
    return VLR_FAILURE;
}

VlrRetVal FormatCmdLine::ProcessCommandLine(std::wstring& line) {
    // Quotes do not protect a comment marker: the format has no escape for # or //.
    CutAtFirst(line, L"//");
    CutAtFirst(line, L"#");
    const std::wstring unsubstituted = line;
    for (const Variable& variable : variables_) {
        if (!SubstituteVariable(line, variable.first, variable.second)) {
            line = unsubstituted;
            Log(LogLevel::Error,
                L"FormatCmdLine::ProcessCommandLine() - Error, the line is longer than " +
                    std::to_wstring(kMaxTextLength) + L" characters after macro substitution.");
            return VLR_FAILURE;
        }
    }
    return VLR_SUCCESS;
}

VlrRetVal FormatCmdLine::ProcessVariableLine(const std::wstring& line) {
    std::vector<std::wstring> arguments;
    std::wstring error;
    if (MiscFunctions::ParseCommandString(line, arguments, error) != VLR_SUCCESS) {
        Log(LogLevel::Error, error);
        return VLR_FAILURE;
    }
    if (arguments.size() < 3) {
        Log(LogLevel::Error,
            L"FormatCmdLine::ProcessVariableLine() - Error, Invalid number of arguments, unable to "
            L"process variable substitution line.  A variable substitution line must contain a "
            L"variable, operator and a value.  commandLine: " +
                line);
        return VLR_FAILURE;
    }
    const std::wstring& name = arguments[0];
    const std::wstring& op = arguments[1];
    std::wstring value = arguments[2];
    if (name.empty() || op.empty() || value.empty()) {
        Log(LogLevel::Error,
            L"FormatCmdLine::ProcessVariableLine() - Error, Invalid Syntax for variable operation, "
            L"not all parameters present.");
        return VLR_FAILURE;
    }
    if (!IsKnownOperator(op)) {
        Log(LogLevel::Error,
            L"FormatCmdLine::ProcessVariableLine() - Error, Invalid Syntax for variable operation, "
            L"unknown operator: " +
                op);
        return VLR_FAILURE;
    }
    if (ResolveValueReference(value) != VLR_SUCCESS) {
        return VLR_FAILURE;
    }
    return ApplyOperator(name, op, value);
}

// Stored values never begin with '%', so a reference resolves in one step.
VlrRetVal FormatCmdLine::ResolveValueReference(std::wstring& value) {
    while (!value.empty() && value.front() == L'%') {
        const Variable* referenced = FindVariable(value);
        if (referenced == nullptr) {
            Log(LogLevel::Error,
                L"FormatCmdLine::ProcessVariableLine() - Error, Invalid Syntax, Macro substitution "
                L"value not found, value = " +
                    value);
            return VLR_FAILURE;
        }
        value = referenced->second;
    }
    return VLR_SUCCESS;
}

VlrRetVal FormatCmdLine::ApplyOperator(const std::wstring& name, const std::wstring& op,
                                       const std::wstring& value) {
    Variable* entry = FindVariable(name);
    if (op == L"=") {
        if (entry != nullptr) {
            entry->second = value;
        } else {
            variables_.emplace_back(name, value);
        }
        return VLR_SUCCESS;
    }
    if (entry == nullptr) {
        Log(LogLevel::Error,
            L"FormatCmdLine::ProcessVariableLine() - Error, Invalid Syntax, Attempting to modify a "
            L"variable that does not exist.");
        return VLR_FAILURE;
    }
    if (op == L":=") {
        if (entry->second.size() + value.size() > kMaxTextLength) {
            Log(LogLevel::Error,
                L"FormatCmdLine::ProcessVariableLine() - Error, the value of variable " + name +
                    L" would be longer than " + std::to_wstring(kMaxTextLength) + L" characters.");
            return VLR_FAILURE;
        }
        entry->second += value;
        return VLR_SUCCESS;
    }
    entry->second =
        FormatNumber(Calculate(StandardTextToFloat(entry->second), op, StandardTextToFloat(value)));
    return VLR_SUCCESS;
}

FormatCmdLine::Variable* FormatCmdLine::FindVariable(const std::wstring& name) {
    for (Variable& variable : variables_) {
        if (variable.first == name) {
            return &variable;
        }
    }
    return nullptr;
}

bool FormatCmdLine::IsReturned(LineType type) const {
    switch (type) {
        case LineType::CommandLine:
            return returnCommandLines_;
        case LineType::CommentLine:
            return returnCommentLines_;
        case LineType::VariableLine:
            return returnVariableLines_;
        case LineType::BlankLine:
            return returnBlankLines_;
    }
    return false;
}

void FormatCmdLine::Log(LogLevel level, const std::wstring& message) {
    if (log_ != nullptr) {
        log_->WriteMessage(level, message);
    }
}
