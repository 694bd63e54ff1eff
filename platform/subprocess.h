// A child process started from an executable path, with its standard output readable line by line.
#pragma once

#include <chrono>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/signals.h"

namespace vaultra::platform {

class Subprocess {
public:
    // Starts exe with args (argv[0] is exe itself); standard error is inherited.
    static std::unique_ptr<Subprocess> Start(const std::filesystem::path& exe,
                                             const std::vector<std::string>& args, std::string* error);
    // Ends a still running child: SIGTERM, a bounded wait, then SIGKILL; always reaps it.
    ~Subprocess();
    Subprocess(const Subprocess&) = delete;
    Subprocess& operator=(const Subprocess&) = delete;

    int Pid() const { return pid_; }
    // Next line of the child's standard output without its line end; nullopt after timeout or at its end.
    std::optional<std::string> ReadLine(std::chrono::milliseconds timeout);
    bool Signal(ProcessSignal signal);
    // Waits at most timeout for the child to end; its exit status (128 + signal when killed), or nullopt.
    std::optional<int> Wait(std::chrono::milliseconds timeout);
    bool Running() const { return !exit_status_.has_value(); }

private:
    Subprocess(int pid, int out) : pid_(pid), out_(out) {}
    bool Reap(bool block);

    int pid_;
    int out_;
    std::string buffered_;
    bool out_ended_ = false;
    std::optional<int> exit_status_;
};

}  // namespace vaultra::platform
