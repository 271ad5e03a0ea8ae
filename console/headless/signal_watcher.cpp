#include "console/headless/signal_watcher.h"

#include <pthread.h>
#include <signal.h>

namespace quarn::console {

void BlockTerminationSignals() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

}  // namespace quarn::console
