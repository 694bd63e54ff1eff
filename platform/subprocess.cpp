#include "platform/subprocess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <thread>

namespace vaultra::platform {

namespace {

using Clock = std::chrono::steady_clock;

int RemainingMs(Clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left < 0 ? 0 : static_cast<int>(left);
}

[[noreturn]] void ExecChild(const std::filesystem::path& exe, const std::vector<std::string>& args, int out) {
    ::dup2(out, STDOUT_FILENO);
    std::vector<char*> argv;
    std::string program = exe.string();
    argv.push_back(program.data());
    std::vector<std::string> copies = args;
    for (std::string& arg : copies) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);
    ::execv(program.c_str(), argv.data());
    ::_exit(127);
}

}  // namespace

std::unique_ptr<Subprocess> Subprocess::Start(const std::filesystem::path& exe,
                                              const std::vector<std::string>& args, std::string* error) {
    int pipe_fds[2];
    if (::pipe2(pipe_fds, O_CLOEXEC) != 0) {
        *error = std::string("pipe: ") + std::strerror(errno);
        return nullptr;
    }
    const pid_t pid = ::fork();
    if (pid < 0) {
        *error = std::string("fork: ") + std::strerror(errno);
        ::close(pipe_fds[0]);
        ::close(pipe_fds[1]);
        return nullptr;
    }
    if (pid == 0) {
        ExecChild(exe, args, pipe_fds[1]);
    }
    ::close(pipe_fds[1]);
    return std::unique_ptr<Subprocess>(new Subprocess(pid, pipe_fds[0]));
}

Subprocess::~Subprocess() {
    if (Running()) {
        ::kill(pid_, SIGTERM);
        if (!Wait(std::chrono::seconds(3))) {
            ::kill(pid_, SIGKILL);
            Reap(true);
        }
    }
    ::close(out_);
}

std::optional<std::string> Subprocess::ReadLine(std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    for (;;) {
        const auto end = buffered_.find('\n');
        if (end != std::string::npos) {
            std::string line = buffered_.substr(0, end);
            buffered_.erase(0, end + 1);
            return line;
        }
        if (out_ended_) {
            return std::nullopt;
        }
        pollfd p{out_, POLLIN, 0};
        const int ready = ::poll(&p, 1, RemainingMs(deadline));
        if (ready < 0 && errno == EINTR) {
            continue;
        }
        if (ready <= 0) {
            return std::nullopt;
        }
        char chunk[512];
        const ssize_t n = ::read(out_, chunk, sizeof chunk);
        if (n <= 0) {
            out_ended_ = true;
        } else {
            buffered_.append(chunk, static_cast<std::size_t>(n));
        }
    }
}

bool Subprocess::Signal(ProcessSignal signal) {
    return Running() && SendSignal(pid_, signal);
}

bool Subprocess::Reap(bool block) {
    int status = 0;
    const pid_t done = ::waitpid(pid_, &status, block ? 0 : WNOHANG);
    if (done != pid_) {
        return false;
    }
    exit_status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return true;
}

std::optional<int> Subprocess::Wait(std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    while (Running()) {
        if (Reap(false)) {
            break;
        }
        if (Clock::now() >= deadline) {
            return std::nullopt;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return exit_status_;
}

}  // namespace vaultra::platform
