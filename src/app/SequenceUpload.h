#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "app/OperationResult.h"

class LogFile;
class MicroController;
class PrivateFolder;
class SequenceContainer;

// The upload of every defined sequence to the device, shared by every front end. Every sequence
// is converted before the device is contacted, so a sequence that cannot become a script is
// refused and nothing is sent; then the sequences go in ascending order, and a settings snapshot
// records what the device was given.
class SequenceUpload {
  public:
    struct Progress {
        // 1-based position of the sequence being sent among all being sent.
        std::size_t sequenceIndex = 0;
        std::size_t sequenceCount = 0;
        std::uint32_t sequenceNumber = 0;
        // Script commands of this sequence sent so far, of how many.
        std::size_t commandsSent = 0;
        std::size_t commandCount = 0;
    };
    // Called on the thread that uploads.
    using ProgressCallback = std::function<void(const Progress&)>;

    struct Entry {
        std::uint32_t number = 0;
        std::size_t scriptCommands = 0;
    };

    struct Result {
        OperationResult status = OperationResult::Success();
        // Every sequence converted (Prepare) or sent (Upload), ascending.
        std::vector<Entry> sequences;
        // Empty when no snapshot was written.
        std::wstring snapshotPath;
        bool cancelled = false;
    };

    // The log may be null; the references must outlive the upload.
    SequenceUpload(MicroController& device, const SequenceContainer& sequences, LogFile* log);

    // Converts every defined sequence; nothing is sent.
    Result Prepare() const;
    // What Prepare says of the first sequence that does not convert.
    static std::wstring ConversionRefusal(std::uint32_t number, const std::wstring& name);

    // Prepares, then sends every sequence over the connected device and, when all went, writes
    // the settings snapshot to `snapshotPath` (none when empty). A failed snapshot leaves the
    // upload successful (it is logged). A cancel request is honoured between two transactions:
    // the device's copy is then out of date, and the log has a Warning saying so.
    Result Upload(const std::wstring& snapshotPath, const ProgressCallback& progress = nullptr,
                  const std::atomic<bool>* cancel = nullptr);

    // The snapshot is then made inside this folder (the run's data directory) through its
    // handle, under the file name of snapshotPath. The folder must outlive the upload.
    void SetSnapshotFolder(const PrivateFolder* folder) { snapshotFolder_ = folder; }

  private:
    bool WriteSnapshot(const std::wstring& snapshotPath) const;

    MicroController& device_;
    const SequenceContainer& sequences_;
    LogFile* log_ = nullptr;
    const PrivateFolder* snapshotFolder_ = nullptr;
};
