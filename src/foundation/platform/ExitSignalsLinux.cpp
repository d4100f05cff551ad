#include <pthread.h>
#include <signal.h>
#include <sys/signalfd.h>

#include <ctime>
#include <initializer_list>

#include "foundation/platform/ExitSignals.h"

namespace {

sigset_t ExitSignalSet() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    // A closed terminal or a dropped remote session: end as cleanly as on SIGTERM.
    sigaddset(&set, SIGHUP);
    return set;
}

}  // namespace

namespace ExitSignals {

void Block() {
    const sigset_t set = ExitSignalSet();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

bool WaitFor(std::chrono::milliseconds limit) {
    const sigset_t set = ExitSignalSet();
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(limit);
    const timespec time{static_cast<time_t>(seconds.count()),
                        static_cast<long>(std::chrono::nanoseconds(limit - seconds).count())};
    return sigtimedwait(&set, nullptr, &time) > 0;
}

bool Pending() {
    sigset_t pending;
    if (sigpending(&pending) != 0) {
        return false;
    }
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        if (sigismember(&pending, signal) == 1) {
            return true;
        }
    }
    return false;
}

int Descriptor() {
    static const int descriptor = [] {
        const sigset_t set = ExitSignalSet();
        return signalfd(-1, &set, SFD_CLOEXEC | SFD_NONBLOCK);
    }();
    return descriptor;
}

}  // namespace ExitSignals
