// TCP client connections over IPv4 with a bounded connect.
#pragma once

#include <cstdint>
#include <memory>

namespace vaultra::platform {

// Dotted IPv4 text ("192.168.0.1") to an address in network byte order; false for anything else.
bool ParseIPv4(const char* text, std::uint32_t* address);

enum class ReceiveResult { kData, kNothing, kPeerClosed, kError };

class TcpClient {
public:
    // A new socket; nullptr when the system has none to give.
    static std::unique_ptr<TcpClient> Create();
    // Closes with a reset if still open.
    ~TcpClient();
    TcpClient(const TcpClient&) = delete;
    TcpClient& operator=(const TcpClient&) = delete;

    // Binds to a local IPv4 address (network order), port chosen by the system.
    bool Bind(std::uint32_t localAddress);
    // Switches on no-delay and, when dontRoute is set, the option that forbids routing via gateways.
    bool SetOptions(bool dontRoute);
    // Connects within timeoutMs; false on refusal, error or time-out (timedOut tells which).
    bool Connect(std::uint32_t address, std::uint16_t port, std::uint32_t timeoutMs, bool* timedOut);
    // Receives up to capacity bytes, waiting up to waitMs (0: only what is there). *received is the count.
    ReceiveResult Receive(std::uint8_t* buffer, int capacity, std::uint32_t waitMs, int* received);
    // Sends all n bytes within timeoutMs; false when not everything went out.
    bool Send(const std::uint8_t* data, int n, std::uint32_t timeoutMs);
    // Bytes received by the system and not yet read; 0 on error.
    int Pending();
    // Shuts both directions down and closes so that the peer sees a reset.
    void CloseWithReset();
    bool IsOpen() const { return fd_ >= 0; }

private:
    explicit TcpClient(int fd) : fd_(fd) {}
    int fd_;
};

}  // namespace vaultra::platform
