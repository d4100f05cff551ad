#pragma once

#include <string>

#include "foundation/VlrDataTypes.h"

class LogFile;
class PrivateFolder;

// Writes a settings file: the device section, then the sequence section, each as single-byte
// text. Where the file allows it, it is replaced in one step, so a failure at any point leaves
// the previous file as it was; a file the user may not write is refused, and the file keeps its
// mode, owner and hard links (ReplaceFileContent). A failure is logged at Error (a null log logs
// nothing) and answered with -1.
//
// Both the application's save and the sequence model's snapshots write through here, so every
// settings file on disk has the same form.
VlrDataTypes::VlrRetVal WriteSettingsFile(const std::wstring& path,
                                          const std::wstring& deviceSection,
                                          const std::wstring& sequenceSection, LogFile* log);

// The same for the file `name` inside a private folder (the run's data directory), written
// through its handle (ReplaceFileContentIn); a failure names the folder's path and the name.
VlrDataTypes::VlrRetVal WriteSettingsFile(const PrivateFolder& folder, const std::wstring& name,
                                          const std::wstring& deviceSection,
                                          const std::wstring& sequenceSection, LogFile* log);
