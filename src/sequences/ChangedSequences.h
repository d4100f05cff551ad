#pragma once

#include <bitset>
#include <memory>
#include <mutex>

#include "sequences/SequenceContainer.h"

// Which sequences changed since the last look, as the model's change event tells it, so that a
// follower re-reads only those. The model may change on another thread (a settings file read on
// the device worker), and its event keeps its subscribers for the model's whole life, so the
// record is shared with the subscription and outlives this object safely.
class ChangedSequences {
  public:
    using Numbers = std::bitset<SequenceContainer::kSequenceCount>;

    // everyAtFirst: every sequence counts as changed until the first look.
    ChangedSequences(SequenceContainer& sequences, bool everyAtFirst);

    // The sequences changed since the last call; none are left noted.
    Numbers Take();

  private:
    struct Record {
        std::mutex lock;
        Numbers numbers;
    };

    std::shared_ptr<Record> record_;
};
