// A pseudo-terminal whose far side is reachable through a symbolic link, standing in for a serial port.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>
#include <string>

#include "platform/server_socket.h"

namespace vaultra::platform {

class PseudoTerminal {
public:
    // Opens a pseudo-terminal in raw mode and points link at its device (an existing link is replaced,
    // any other existing file is refused).
    static std::unique_ptr<PseudoTerminal> Create(const std::filesystem::path& link, std::string* error);
    ~PseudoTerminal();  // removes the link
    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;

    int Fd() const { return master_; }
    const std::filesystem::path& Link() const { return link_; }
    const std::string& DevicePath() const { return device_; }
    ReadOutcome ReadSome(std::span<std::uint8_t> into);
    bool WriteAll(std::span<const std::uint8_t> bytes);

private:
    PseudoTerminal(int master, int slave, std::filesystem::path link, std::string device)
        : master_(master), slave_(slave), link_(std::move(link)), device_(std::move(device)) {}
    int master_;
    int slave_;  // kept open so the master never sees a hang-up between client sessions
    std::filesystem::path link_;
    std::string device_;
};

// Opens a terminal device in raw mode for reading and writing (test clients use it as the PC side).
class TerminalClient {
public:
    static std::unique_ptr<TerminalClient> Open(const std::filesystem::path& path, std::string* error);
    ~TerminalClient();
    TerminalClient(const TerminalClient&) = delete;
    TerminalClient& operator=(const TerminalClient&) = delete;

    int Fd() const { return fd_; }
    ReadOutcome ReadSome(std::span<std::uint8_t> into);
    bool WriteAll(std::span<const std::uint8_t> bytes);

private:
    explicit TerminalClient(int fd) : fd_(fd) {}
    int fd_;
};

}  // namespace vaultra::platform
