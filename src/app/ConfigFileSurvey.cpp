#include "app/ConfigFileSurvey.h"

#include <cwchar>
#include <vector>

#include "config/FormatCmdLine.h"
#include "foundation/MiscFunctions.h"
#include "foundation/TextConversion.h"
#include "sequences/SequenceContainer.h"

namespace {

const std::wstring kAddLED = L"-AddLED";
const std::wstring kAddSequenceCommandSet = L"-AddSequenceCommandSet";
const std::wstring kAddSequenceCommand = L"-AddSequenceCommand";
const std::wstring kBreak = L"-Break";

bool IsSequenceFileWord(const std::wstring& word) {
    return CompareNoCase(word, kAddSequenceCommandSet) == 0 ||
           CompareNoCase(word, kAddSequenceCommand) == 0;
}

struct WordCounts {
    bool declaresLEDs = false;
    unsigned sequenceLines = 0;
    unsigned otherLines = 0;
};

void CountLine(const std::vector<std::wstring>& tokens, WordCounts& counts,
               std::set<std::uint32_t>& numbers) {
    const std::wstring& word = tokens.front();
    if (CompareNoCase(word, kAddLED) == 0) {
        counts.declaresLEDs = true;
    }
    if (!IsSequenceFileWord(word)) {
        ++counts.otherLines;
        return;
    }
    ++counts.sequenceLines;
    if (tokens.size() > 1) {
        const long long number = std::wcstoll(tokens[1].c_str(), nullptr, 10);
        if (number >= 0 && number < SequenceContainer::kSequenceCount) {
            numbers.insert(static_cast<std::uint32_t>(number));
        }
    }
}

}  // namespace

ConfigFileSurvey ConfigFileSurvey::Of(const std::wstring& path) {
    ConfigFileSurvey survey;
    FormatCmdLine reader;
    reader.SetReturnCommandLines(true);
    if (reader.OpenFileCfg(path) != VlrDataTypes::VLR_SUCCESS) {
        return survey;
    }
    WordCounts counts;
    std::set<std::uint32_t> numbers;
    for (;;) {
        std::wstring line;
        int lineNumber = 0;
        bool endOfFile = false;
        const bool read =
            reader.GetNextLine(line, lineNumber, endOfFile) == VlrDataTypes::VLR_SUCCESS;
        if ((read && (endOfFile || CompareNoCase(line, kBreak) == 0)) || reader.WasInterrupted()) {
            break;
        }
        std::vector<std::wstring> tokens;
        std::wstring error;
        if (read &&
            MiscFunctions::ParseCommandString(line, tokens, error) == VlrDataTypes::VLR_SUCCESS &&
            !tokens.empty()) {
            CountLine(tokens, counts, numbers);
        }
    }
    if (counts.declaresLEDs) {
        survey.kind = Kind::Setup;
    } else if (counts.sequenceLines > 0 && counts.otherLines == 0) {
        survey.kind = Kind::Sequence;
        survey.sequenceNumbers = numbers;
    }
    return survey;
}

std::wstring KindName(ConfigFileSurvey::Kind kind) {
    switch (kind) {
        case ConfigFileSurvey::Kind::Setup:
            return L"setup";
        case ConfigFileSurvey::Kind::Sequence:
            return L"sequence";
        case ConfigFileSurvey::Kind::Settings:
            break;
    }
    return L"settings";
}
