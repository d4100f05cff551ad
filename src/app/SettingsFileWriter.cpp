#include "app/SettingsFileWriter.h"

#include "app/platform/FileReplacement.h"
#include "app/platform/Paths.h"
#include "foundation/LogFile.h"
#include "foundation/TextConversion.h"
#include "foundation/platform/PrivateFolder.h"

using VlrDataTypes::VLR_FAILURE;
using VlrDataTypes::VLR_SUCCESS;
using VlrDataTypes::VlrRetVal;

namespace {

std::string SettingsBytes(const std::wstring& deviceSection, const std::wstring& sequenceSection) {
    return WideToNarrow(deviceSection) + WideToNarrow(sequenceSection);
}

VlrRetVal Written(bool written, const std::wstring& path, LogFile* log) {
    if (written) {
        return VLR_SUCCESS;
    }
    if (log != nullptr) {
        log->WriteMessage(LogLevel::Error, L"Error creating settings file(" + path +
                                               L").  File could not be created.");
    }
    return VLR_FAILURE;
}

}  // namespace

VlrRetVal WriteSettingsFile(const std::wstring& path, const std::wstring& deviceSection,
                            const std::wstring& sequenceSection, LogFile* log) {
    const std::string bytes = SettingsBytes(deviceSection, sequenceSection);
    return Written(!path.empty() && ReplaceFileContent(Paths::ToNativePath(path), bytes), path,
                   log);
}

VlrRetVal WriteSettingsFile(const PrivateFolder& folder, const std::wstring& name,
                            const std::wstring& deviceSection, const std::wstring& sequenceSection,
                            LogFile* log) {
    const std::string bytes = SettingsBytes(deviceSection, sequenceSection);
    const std::wstring path = Paths::Join(PathToWide(folder.Path()), name);
    return Written(ReplaceFileContentIn(folder, Paths::ToNativePath(name).string(), bytes), path,
                   log);
}
