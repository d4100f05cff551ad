#pragma once

#include <functional>
#include <string>

#include "foundation/VlrDataTypes.h"

class ApplicationCore;

// The files a window keeps beside the per-user settings, made through the settings folder's
// handle (see PrivateFolder):
// - a recovery copy of the settings, written a few seconds after each change while they differ
//   from the per-user file and removed by a normal close, so that its presence at the next
//   start means the last run did not end normally;
// - a small state file of the window's own (recent files, last folders), never the settings.
// Nothing is written before the start-up opened the folder.
class PerUserFiles {
  public:
    static constexpr const char* kRecoveryName = "OstraSettings.recovery.cfg";
    static constexpr const char* kStateName = "OstraWindow.state";

    explicit PerUserFiles(ApplicationCore& core) : core_(core) {}

    // The copy a run that did not end normally left behind; empty when there is none.
    std::wstring FindRecoveryCopy() const;
    // Offers the copy: `open` is asked with its path, and only on yes is it read as a settings
    // file; on no it is removed. True when it was read.
    bool OfferRecoveryCopy(const std::function<bool(const std::wstring& path)>& open);
    // The current settings, or the copy removed when nothing is unsaved any more.
    VlrDataTypes::VlrRetVal KeepRecoveryCopy();
    void RemoveRecoveryCopy();

    // The state file's bytes; empty when there is none.
    std::string ReadState() const;
    bool WriteState(const std::string& bytes);

  private:
    ApplicationCore& core_;
};
