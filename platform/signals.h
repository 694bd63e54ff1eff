// Delivery of the process signals a long-running server reacts to, through a descriptor it can poll.
#pragma once

#include <memory>
#include <vector>

namespace vaultra::platform {

enum class ProcessSignal { Interrupt, Terminate, User1, Kill };

// Catches SIGINT, SIGTERM and SIGUSR1 while it lives (one instance per process) and ignores SIGPIPE.
class SignalWatcher {
public:
    static std::unique_ptr<SignalWatcher> Install();
    ~SignalWatcher();
    SignalWatcher(const SignalWatcher&) = delete;
    SignalWatcher& operator=(const SignalWatcher&) = delete;

    // Readable when a signal has arrived.
    int Fd() const;
    // The signals that arrived since the last call, in order.
    std::vector<ProcessSignal> TakePending();

private:
    SignalWatcher() = default;
};

// Sends a signal to a process by id (used by tests and the process helper).
bool SendSignal(int pid, ProcessSignal signal);

}  // namespace vaultra::platform
