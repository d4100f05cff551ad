#pragma once

#include <fstream>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "foundation/LogLevel.h"
#include "foundation/VlrDataTypes.h"

class LogFile;

// Reads a .cfg command file line by line and hands out only the line types the caller switched
// on, with comments cut off and variables (%NAME) defined and substituted. What a command means
// is the caller's business; this class owns the lexical rules of the format.
//
// Typical use: SetLogFile, switch on the wanted line types, OpenFileCfg, call GetNextLine until
// it returns -1 or reports the end of the file, CloseFile.
class FormatCmdLine {
  public:
    // The values are fixed; they are part of the format's documented vocabulary.
    enum class LineType : int {
        CommandLine = 100,
        CommentLine = 101,
        VariableLine = 102,
        BlankLine = 103,
    };

    FormatCmdLine() = default;
    ~FormatCmdLine() = default;

    FormatCmdLine(const FormatCmdLine&) = delete;
    FormatCmdLine& operator=(const FormatCmdLine&) = delete;

    // Null means: log nothing.
    void SetLogFile(LogFile* log) { log_ = log; }

    // Which line types GetNextLine returns; all off after construction.
    void SetReturnCommandLines(bool on) { returnCommandLines_ = on; }
    void SetReturnCommentLines(bool on) { returnCommentLines_ = on; }
    void SetReturnVariableLines(bool on) { returnVariableLines_ = on; }
    void SetReturnBlankLines(bool on) { returnBlankLines_ = on; }

    // Closes any previous file, accepts a name enclosed in double quotes, and on success starts
    // with line 0 and no variables: variables live for one file only.
    VlrDataTypes::VlrRetVal OpenFileCfg(std::wstring fileName);

    // Returns the next line of a switched-on type. On -1 for a bad line, the line and its number
    // are still set so the caller can report them; a line too long to read comes back empty.
    // At the end of the file, endOfFile is set and line and lineNumber are left as they were.
    VlrDataTypes::VlrRetVal GetNextLine(std::wstring& line, int& lineNumber, bool& endOfFile);

    void CloseFile();

    // The name of the file last opened successfully, without enclosing quotes.
    const std::wstring& GetFileName() const { return fileName_; }

  private:
    using Variable = std::pair<std::wstring, std::wstring>;

    VlrDataTypes::VlrRetVal GetLineFromFile(std::wstring& line, bool& endOfFile);
    VlrDataTypes::VlrRetVal ProcessLine(std::wstring& line, LineType& type);
    VlrDataTypes::VlrRetVal ProcessCommandLine(std::wstring& line);
    VlrDataTypes::VlrRetVal ProcessVariableLine(const std::wstring& line);

    VlrDataTypes::VlrRetVal ResolveValueReference(std::wstring& value);
    VlrDataTypes::VlrRetVal ApplyOperator(const std::wstring& name, const std::wstring& op,
                                          const std::wstring& value);
    Variable* FindVariable(const std::wstring& name);
    bool IsReturned(LineType type) const;
    void Log(LogLevel level, const std::wstring& message);

    bool returnCommandLines_ = false;
    bool returnCommentLines_ = false;
    bool returnVariableLines_ = false;
    bool returnBlankLines_ = false;

    int lineCounter_ = 0;
    // Present but not open after a failed open; absent before the first open.
    std::unique_ptr<std::ifstream> file_;
    std::vector<Variable> variables_;
    std::wstring fileName_;
    LogFile* log_ = nullptr;
};
