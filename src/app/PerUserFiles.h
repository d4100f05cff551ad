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

    // What the operator makes of a recovery copy.
    enum class RecoveryChoice { Open, Discard, Keep };

    explicit PerUserFiles(ApplicationCore& core) : core_(core) {}

    // The copy a run that did not end normally left behind; empty when there is none.
    std::wstring FindRecoveryCopy() const;
    // Offers the copy: `ask` is asked with its path; Open reads it as a settings file, Discard
    // removes it, Keep leaves it for the next start. The choice is logged. True when it was read.
    bool OfferRecoveryCopy(const std::function<RecoveryChoice(const std::wstring& path)>& ask);
    // The current settings, or the copy removed when nothing is unsaved any more.
    VlrDataTypes::VlrRetVal KeepRecoveryCopy();
    void RemoveRecoveryCopy();

    // The state file's bytes; empty when there is none.
    std::string ReadState() const;
    bool WriteState(const std::string& bytes);

  private:
    ApplicationCore& core_;
};
