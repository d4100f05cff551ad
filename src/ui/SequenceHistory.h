#pragma once

#include <utility>

#include "ui/SequenceChange.h"

// Where every undoable change of the sequences goes, from the editor and the manager alike:
// the window keeps them on its undo stack, tests keep them in a list.
class SequenceHistory {
  public:
    virtual ~SequenceHistory() = default;
    // The one entry point: a change that changed nothing is dropped.
    void Record(SequenceChange change) {
        if (!change.IsEmpty()) {
            Keep(std::move(change));
        }
    }

  protected:
    virtual void Keep(SequenceChange change) = 0;
};
