#include <signal.h>

#include <ctime>

#include "ostra-cli/InterruptSignals.h"

namespace {

sigset_t InterruptSet() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    return set;
}

}  // namespace

void InterruptSignals::Block() {
    const sigset_t set = InterruptSet();
    sigprocmask(SIG_BLOCK, &set, nullptr);
}

bool InterruptSignals::WaitFor(std::chrono::milliseconds limit) {
    const sigset_t set = InterruptSet();
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(limit);
    const timespec time{static_cast<time_t>(seconds.count()),
                        static_cast<long>(std::chrono::nanoseconds(limit - seconds).count())};
    // Another signal (a debugger's, say) may end the wait early; callers measure the time
    // themselves and simply wait again.
    return sigtimedwait(&set, nullptr, &time) > 0;
}
