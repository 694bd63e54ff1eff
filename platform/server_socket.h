// Listening TCP sockets on the loopback interface and the stream connections they accept.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

namespace vaultra::platform {

// Outcome of one read from a stream: bytes (count > 0), orderly end (count == 0 and closed), or failure.
struct ReadOutcome {
    std::size_t count = 0;
    bool closed = false;
};

// One read(2) from a descriptor, retried on interruption; would-block reads as 0 bytes, not closed.
ReadOutcome ReadDescriptor(int fd, std::span<std::uint8_t> into);

// One accepted TCP connection. Reads are meant to follow a readiness report of the poller; writes are
// bounded by a send time-out so a stuck peer cannot block the caller for long.
class StreamConnection {
public:
    explicit StreamConnection(int fd);
    ~StreamConnection();
    StreamConnection(const StreamConnection&) = delete;
    StreamConnection& operator=(const StreamConnection&) = delete;

    int Fd() const { return fd_; }
    ReadOutcome ReadSome(std::span<std::uint8_t> into);
    bool WriteAll(std::span<const std::uint8_t> bytes);
    // Closes at once, resetting the connection instead of lingering.
    void Abort();

private:
    int fd_;
};

// A listening socket bound to 127.0.0.1. Port 0 lets the system choose a free port.
class ListeningSocket {
public:
    static std::unique_ptr<ListeningSocket> Open(std::uint16_t port, std::string* error);
    ~ListeningSocket();
    ListeningSocket(const ListeningSocket&) = delete;
    ListeningSocket& operator=(const ListeningSocket&) = delete;

    int Fd() const { return fd_; }
    std::uint16_t Port() const { return port_; }
    // Accepts one pending connection; nullptr when none is pending or the accept failed.
    std::unique_ptr<StreamConnection> Accept();

private:
    ListeningSocket(int fd, std::uint16_t port) : fd_(fd), port_(port) {}
    int fd_;
    std::uint16_t port_;
};

// Connects to 127.0.0.1:port, waiting at most timeout_ms; nullptr on failure. Used by tests and benchmarks.
std::unique_ptr<StreamConnection> ConnectLoopback(std::uint16_t port, int timeout_ms);

// Waits up to timeout_ms for the descriptor to become readable (or to report an error or hang-up).
bool WaitReadable(int fd, int timeout_ms);

}  // namespace vaultra::platform
