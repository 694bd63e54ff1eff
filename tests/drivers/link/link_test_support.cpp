#include "link_test_support.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <pty.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace vaultra::link::testsupport {
namespace {

bool WaitReadable(int fd, int waitMs) {
    pollfd entry{fd, POLLIN, 0};
    return poll(&entry, 1, waitMs) > 0;
}

Bytes ReceiveFrom(int fd, std::size_t n, int waitMs) {
    Bytes got;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
    while (got.size() < n) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0 || !WaitReadable(fd, static_cast<int>(left.count()))) {
            break;
        }
        std::uint8_t buffer[4096];
        const std::size_t want = std::min(sizeof buffer, n - got.size());
        const ssize_t r = read(fd, buffer, want);
        if (r <= 0) {
            break;
        }
        got.insert(got.end(), buffer, buffer + r);
    }
    return got;
}

void SendTo(int fd, const Bytes& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t w = write(fd, bytes.data() + done, bytes.size() - done);
        if (w <= 0) {
            throw std::runtime_error("test peer could not write");
        }
        done += static_cast<std::size_t>(w);
    }
}

int CountEntries(const char* directory) {
    int count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(directory)) {
        ++count;
    }
    return count;
}

}  // namespace

PtyPort::PtyPort(std::uint16_t port) : variable_("VAULTRA_COM" + std::to_string(port + 1)) {
    char name[256] = {};
    if (openpty(&master_, &slave_, name, nullptr, nullptr) != 0) {
        throw std::runtime_error("openpty failed");
    }
    termios raw{};
    tcgetattr(master_, &raw);
    cfmakeraw(&raw);
    tcsetattr(master_, TCSANOW, &raw);
    path_ = name;
    setenv(variable_.c_str(), path_.c_str(), 1);
}

PtyPort::~PtyPort() {
    unsetenv(variable_.c_str());
    close(slave_);
    close(master_);
}

void PtyPort::Send(const Bytes& bytes) {
    SendTo(master_, bytes);
}
Bytes PtyPort::Receive(std::size_t n, int waitMs) {
    return ReceiveFrom(master_, n, waitMs);
}

LoopbackServer::LoopbackServer(int backlog) {
    listen_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof sa;
    if (listen_ < 0 || bind(listen_, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0 ||
        listen(listen_, backlog) != 0 ||
        getsockname(listen_, reinterpret_cast<sockaddr*>(&sa), &length) != 0) {
        throw std::runtime_error("loopback listener failed");
    }
    port_ = ntohs(sa.sin_port);
}

LoopbackServer::~LoopbackServer() {
    CloseClient();
    close(listen_);
}

bool LoopbackServer::Accept(int waitMs) {
    if (!WaitReadable(listen_, waitMs)) {
        return false;
    }
    CloseClient();
    client_ = accept4(listen_, nullptr, nullptr, SOCK_CLOEXEC);
    return client_ >= 0;
}

Bytes LoopbackServer::Receive(std::size_t n, int waitMs) {
    return ReceiveFrom(client_, n, waitMs);
}

bool LoopbackServer::Silent(int waitMs) {
    if (!WaitReadable(client_, waitMs)) {
        return true;
    }
    std::uint8_t probe = 0;
    return recv(client_, &probe, 1, MSG_PEEK | MSG_DONTWAIT) <= 0;  // a close or reset is silence too
}

bool LoopbackServer::ClientGone(int waitMs) {
    if (!WaitReadable(client_, waitMs)) {
        return false;
    }
    std::uint8_t probe = 0;
    return recv(client_, &probe, 1, MSG_PEEK | MSG_DONTWAIT) <= 0;
}

void LoopbackServer::Send(const Bytes& bytes) {
    SendTo(client_, bytes);
}

void LoopbackServer::CloseClient() {
    if (client_ >= 0) {
        close(client_);
        client_ = -1;
    }
}

ScopedEnv::ScopedEnv(const char* name, const std::string& value) : name_(name) {
    if (const char* old = std::getenv(name)) {
        had_ = true;
        old_ = old;
    }
    setenv(name, value.c_str(), 1);
}

ScopedEnv::~ScopedEnv() {
    if (had_) {
        setenv(name_.c_str(), old_.c_str(), 1);
    } else {
        unsetenv(name_.c_str());
    }
}

int OpenDescriptorCount() {
    return CountEntries("/proc/self/fd");
}
int ThreadCount() {
    return CountEntries("/proc/self/task");
}

ScopedWorkingDirectory::ScopedWorkingDirectory() : old_(std::filesystem::current_path().string()) {
    static std::atomic<int> counter{0};
    const auto dir = std::filesystem::temp_directory_path() /
                     ("vaultra_link_" + std::to_string(getpid()) + "_" + std::to_string(counter++));
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    dir_ = dir.string();
    std::filesystem::current_path(dir);
}

ScopedWorkingDirectory::~ScopedWorkingDirectory() {
    std::error_code ignored;
    std::filesystem::current_path(old_, ignored);
    std::filesystem::remove_all(dir_, ignored);
}

std::string ScopedWorkingDirectory::File(const char* name) const {
    return dir_ + "/" + name;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace vaultra::link::testsupport
