#include "stopsignals.h"

#include <csignal>
#include <initializer_list>

namespace dfsim {

namespace {

volatile std::sig_atomic_t g_stop = 0;

extern "C" void onStopSignal(int)
{
    g_stop = 1;
}

} // namespace

void installStopSignals()
{
    struct sigaction action = {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;
    for (const int signal : {SIGINT, SIGTERM, SIGHUP})
        sigaction(signal, &action, nullptr);
    // A device that is a pipe whose reader went away reports EPIPE instead of killing us.
    std::signal(SIGPIPE, SIG_IGN);
}

bool stopSignalled()
{
    return g_stop != 0;
}

} // namespace dfsim
