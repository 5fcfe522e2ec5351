#include "cli/stop_signals.h"

#include "base/platform.h"

#include <csignal>

namespace vexa::cli {

namespace {

// A signal handler can only set a flag of this type.
volatile std::sig_atomic_t interrupted = 0;

extern "C" void onInterrupt(int) {
    interrupted = 1;
}

} // namespace

void stopOnSignals() {
    platform::onStopSignals(onInterrupt);
}

bool stopRequested() {
    return interrupted != 0;
}

} // namespace vexa::cli
