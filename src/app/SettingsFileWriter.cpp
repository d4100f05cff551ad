#include "app/SettingsFileWriter.h"

#include "app/platform/FileReplacement.h"
#include "app/platform/Paths.h"
#include "foundation/LogFile.h"
#include "foundation/TextConversion.h"

using VlrDataTypes::VLR_FAILURE;
using VlrDataTypes::VLR_SUCCESS;
using VlrDataTypes::VlrRetVal;

VlrRetVal WriteSettingsFile(const std::wstring& path, const std::wstring& deviceSection,
                            const std::wstring& sequenceSection, LogFile* log) {
    const std::string bytes = WideToNarrow(deviceSection) + WideToNarrow(sequenceSection);
    if (!path.empty() && ReplaceFileContent(Paths::ToNativePath(path), bytes)) {
        return VLR_SUCCESS;
    }
    if (log != nullptr) {
        log->WriteMessage(LogLevel::Error, L"Error creating settings file(" + path +
                                               L").  File could not be created.");
    }
    return VLR_FAILURE;
}
