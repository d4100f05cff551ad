#pragma once

#include <cstdint>
#include <memory>
#include <streambuf>
#include <string>
#include <utility>
#include <vector>

#include "config/platform/InputFile.h"
#include "foundation/LogLevel.h"
#include "foundation/VlrDataTypes.h"

class LogFile;
class PrivateFolder;

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

    // Command files are small; anything larger is refused rather than read for minutes.
    static constexpr std::uintmax_t kMaxFileBytes = 64u * 1024u * 1024u;
    // Every line read is noted in the log up to this many; then one Warning, and no more notes,
    // so a huge file cannot fill the disk with its log.
    static constexpr int kMaxLineNotices = 200000;

    // Closes any previous file, accepts a name enclosed in double quotes, and on success starts
    // with line 0 and no variables: variables live for one file only. Only a regular file of
    // at most kMaxFileBytes opens, and reading stops with a failure at that size. With a folder
    // the file is its entry of the file name's last part, never a link (InputFile::Open).
    VlrDataTypes::VlrRetVal OpenFileCfg(std::wstring fileName,
                                        const PrivateFolder* folder = nullptr);

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
    void NoteLine(const std::wstring& line);
    void Log(LogLevel level, const std::wstring& message);
    void LogTooLarge(const std::wstring& function, const std::wstring& fileName);

    bool returnCommandLines_ = false;
    bool returnCommentLines_ = false;
    bool returnVariableLines_ = false;
    bool returnBlankLines_ = false;

    int lineCounter_ = 0;
    int lineNotices_ = 0;
    // After a failed open or a close there is a file but nothing to read (it reads as ended);
    // before the first open there is none.
    bool haveFile_ = false;
    std::unique_ptr<InputFile::Buffer> file_;
    std::vector<Variable> variables_;
    std::wstring fileName_;
    LogFile* log_ = nullptr;
};
