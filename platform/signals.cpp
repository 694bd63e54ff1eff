#include "platform/signals.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>

namespace vaultra::platform {

namespace {

int g_pipe[2] = {-1, -1};
struct sigaction g_previous[3];
constexpr int kSignals[3] = {SIGINT, SIGTERM, SIGUSR1};

void OnSignal(int number) {
    const int saved = errno;
    const unsigned char byte = static_cast<unsigned char>(number);
    [[maybe_unused]] ssize_t ignored = ::write(g_pipe[1], &byte, 1);
    errno = saved;
}

int ToNumber(ProcessSignal signal) {
    switch (signal) {
        case ProcessSignal::Interrupt:
            return SIGINT;
        case ProcessSignal::Terminate:
            return SIGTERM;
        case ProcessSignal::User1:
            return SIGUSR1;
        case ProcessSignal::Kill:
            return SIGKILL;
    }
    return SIGTERM;
}

}  // namespace

std::unique_ptr<SignalWatcher> SignalWatcher::Install() {
    if (g_pipe[0] >= 0 || ::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        return nullptr;
    }
    ::signal(SIGPIPE, SIG_IGN);
    for (int i = 0; i < 3; ++i) {
        struct sigaction action {};
        action.sa_handler = OnSignal;
        sigemptyset(&action.sa_mask);
        ::sigaction(kSignals[i], &action, &g_previous[i]);
    }
    return std::unique_ptr<SignalWatcher>(new SignalWatcher());
}

SignalWatcher::~SignalWatcher() {
    for (int i = 0; i < 3; ++i) {
        ::sigaction(kSignals[i], &g_previous[i], nullptr);
    }
    ::close(g_pipe[0]);
    ::close(g_pipe[1]);
    g_pipe[0] = g_pipe[1] = -1;
}

int SignalWatcher::Fd() const {
    return g_pipe[0];
}

std::vector<ProcessSignal> SignalWatcher::TakePending() {
    std::vector<ProcessSignal> pending;
    unsigned char byte = 0;
    while (::read(g_pipe[0], &byte, 1) == 1) {
        if (byte == SIGUSR1) {
            pending.push_back(ProcessSignal::User1);
        } else if (byte == SIGINT) {
            pending.push_back(ProcessSignal::Interrupt);
        } else {
            pending.push_back(ProcessSignal::Terminate);
        }
    }
    return pending;
}

bool SendSignal(int pid, ProcessSignal signal) {
    return ::kill(pid, ToNumber(signal)) == 0;
}

}  // namespace vaultra::platform
