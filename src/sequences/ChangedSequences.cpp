#include "sequences/ChangedSequences.h"

ChangedSequences::ChangedSequences(SequenceContainer& sequences, bool everyAtFirst)
    : record_(std::make_shared<Record>()) {
    if (everyAtFirst) {
        record_->numbers.set();
    }
    sequences.SubscribeToChanges([record = record_](const SequenceContainer::Change& change) {
        const std::lock_guard<std::mutex> guard(record->lock);
        if (change.IsEverySequence()) {
            record->numbers.set();
        } else if (change.sequence < SequenceContainer::kSequenceCount) {
            record->numbers.set(change.sequence);
        }
        return 0;
    });
}

ChangedSequences::Numbers ChangedSequences::Take() {
    const std::lock_guard<std::mutex> guard(record_->lock);
    const Numbers taken = record_->numbers;
    record_->numbers.reset();
    return taken;
}
