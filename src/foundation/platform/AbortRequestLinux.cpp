#include <fcntl.h>
#include <unistd.h>

#include <initializer_list>

#include "foundation/platform/AbortRequest.h"

AbortRequest::AbortRequest() {
    int ends[2];
    if (pipe2(ends, O_CLOEXEC | O_NONBLOCK) == 0) {
        readEnd_ = ends[0];
        writeEnd_ = ends[1];
    }
}

AbortRequest::~AbortRequest() {
    for (const int end : {readEnd_, writeEnd_}) {
        if (end >= 0) {
            close(end);
        }
    }
}

// The byte is never read: it keeps the descriptor readable.
void AbortRequest::Raise() {
    const char byte = 1;
    if (writeEnd_ >= 0) {
        [[maybe_unused]] const ssize_t written = write(writeEnd_, &byte, 1);
    }
}

// The pipe does not block: reading stops when it is empty.
void AbortRequest::Lower() {
    char bytes[64];
    while (readEnd_ >= 0 && read(readEnd_, bytes, sizeof bytes) > 0) {
    }
}
