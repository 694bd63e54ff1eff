// A small readiness loop over file descriptors (poll based).
#pragma once

#include <chrono>
#include <functional>
#include <map>

namespace vaultra::platform {

class Poller {
public:
    using Handler = std::function<void()>;

    // Runs handler whenever fd is readable, has hung up or reports an error.
    void Watch(int fd, Handler handler);
    // Safe to call from inside a handler; the fd's handler is not run again.
    void Unwatch(int fd);
    // Waits at most timeout for readiness and runs the handlers of the ready descriptors.
    // Returns false only when the wait itself failed (other than by a signal).
    bool RunOnce(std::chrono::milliseconds timeout);
    std::size_t Size() const { return handlers_.size(); }

private:
    std::map<int, Handler> handlers_;
};

}  // namespace vaultra::platform
