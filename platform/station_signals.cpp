#include "platform/station_signals.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>

#include "platform/clock.h"

namespace vaultra::platform {

namespace {

volatile sig_atomic_t g_stop = 0;
int g_pipe[2] = {-1, -1};
struct sigaction g_previous[2];
constexpr int kSignals[2] = {SIGINT, SIGTERM};

void OnStopSignal(int number) {
    if (g_stop != 0) {
        // Asked twice: the operator does not want to wait for the run to reach its next abort check.
        ::signal(number, SIG_DFL);
        ::raise(number);
        return;
    }
    g_stop = 1;
    const int saved = errno;
    const unsigned char byte = 1;
    [[maybe_unused]] const ssize_t ignored = ::write(g_pipe[1], &byte, 1);
    errno = saved;
}

}  // namespace

std::unique_ptr<StationSignals> StationSignals::Install() {
    if (g_pipe[0] >= 0 || ::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        return nullptr;
    }
    g_stop = 0;
    for (int i = 0; i < 2; ++i) {
        struct sigaction action {};
        action.sa_handler = OnStopSignal;
        sigemptyset(&action.sa_mask);
        // Restarted system calls keep the drivers' reads and writes undisturbed; the run notices the
        // request at its next abort check.
        action.sa_flags = SA_RESTART;
        ::sigaction(kSignals[i], &action, &g_previous[i]);
    }
    return std::make_unique<StationSignals>(Key{});
}

StationSignals::~StationSignals() {
    for (int i = 0; i < 2; ++i) {
        ::sigaction(kSignals[i], &g_previous[i], nullptr);
    }
    ::close(g_pipe[0]);
    ::close(g_pipe[1]);
    g_pipe[0] = g_pipe[1] = -1;
}

bool StationSignals::StopRequested() const {
    return g_stop != 0;
}

bool StationSignals::WaitForStop(std::uint32_t waitMs) {
    const std::uint64_t deadline = MonotonicMs() + waitMs;
    while (g_stop == 0) {
        const std::uint64_t now = MonotonicMs();
        if (now >= deadline) {
            return false;
        }
        pollfd fd{g_pipe[0], POLLIN, 0};
        ::poll(&fd, 1, static_cast<int>(deadline - now));
    }
    return true;
}

}  // namespace vaultra::platform
