// Test helpers for the link: a pseudo-terminal pair standing in for a serial port, a loopback TCP listener
// standing in for a LAN adapter, environment overrides and resource counters.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vaultra::link::testsupport {

using Bytes = std::vector<std::uint8_t>;

// A pseudo-terminal pair; VAULTRA_COM<port+1> points at its far side while the object lives.
class PtyPort {
public:
    explicit PtyPort(std::uint16_t port);
    ~PtyPort();
    PtyPort(const PtyPort&) = delete;
    PtyPort& operator=(const PtyPort&) = delete;

    int Master() const { return master_; }
    int Slave() const { return slave_; }
    const std::string& Path() const { return path_; }
    // The peer's side of the line.
    void Send(const Bytes& bytes);
    Bytes Receive(std::size_t n, int waitMs = 2000);

private:
    std::string variable_;
    int master_ = -1;
    int slave_ = -1;
    std::string path_;
};

// A TCP listener on 127.0.0.1 with an ephemeral port.
class LoopbackServer {
public:
    explicit LoopbackServer(int backlog = 8);
    ~LoopbackServer();
    LoopbackServer(const LoopbackServer&) = delete;
    LoopbackServer& operator=(const LoopbackServer&) = delete;

    std::uint16_t Port() const { return port_; }
    int ListenFd() const { return listen_; }
    int ClientFd() const { return client_; }
    // Accepts the next connection within waitMs; false when none came.
    bool Accept(int waitMs = 2000);
    bool HasClient() const { return client_ >= 0; }
    // Exactly n bytes from the accepted client (fewer when it did not send them in time).
    Bytes Receive(std::size_t n, int waitMs = 2000);
    // True when no byte arrives within waitMs.
    bool Silent(int waitMs = 100);
    // True when the client closes or resets the connection within waitMs.
    bool ClientGone(int waitMs = 1000);
    void Send(const Bytes& bytes);
    void CloseClient();

private:
    int listen_ = -1;
    int client_ = -1;
    std::uint16_t port_ = 0;
};

// Sets an environment variable for the object's lifetime (restores the earlier value).
class ScopedEnv {
public:
    ScopedEnv(const char* name, const std::string& value);
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    std::string name_;
    bool had_ = false;
    std::string old_;
};

// Open file descriptors and threads of this process.
int OpenDescriptorCount();
int ThreadCount();

// Runs the test body in a fresh temporary working directory, restoring the old one after.
class ScopedWorkingDirectory {
public:
    ScopedWorkingDirectory();
    ~ScopedWorkingDirectory();
    std::string File(const char* name) const;
    ScopedWorkingDirectory(const ScopedWorkingDirectory&) = delete;
    ScopedWorkingDirectory& operator=(const ScopedWorkingDirectory&) = delete;

private:
    std::string old_;
    std::string dir_;
};

std::string ReadFile(const std::string& path);

}  // namespace vaultra::link::testsupport
