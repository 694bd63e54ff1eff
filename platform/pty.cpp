#include "platform/pty.h"

#include <fcntl.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <system_error>

namespace vaultra::platform {

namespace {

void MakeRaw(int fd) {
    termios settings{};
    if (::tcgetattr(fd, &settings) == 0) {
        ::cfmakeraw(&settings);
        ::tcsetattr(fd, TCSANOW, &settings);
    }
}

bool WriteFd(int fd, std::span<const std::uint8_t> bytes) {
    std::size_t done = 0;
    int stalls = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) {
            continue;
        }
        // A full terminal buffer: give the reader a moment, but never wait without bound.
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK) && ++stalls < 500) {
            ::usleep(2000);
            continue;
        }
        return false;
    }
    return true;
}

}  // namespace

std::unique_ptr<PseudoTerminal> PseudoTerminal::Create(const std::filesystem::path& link,
                                                       std::string* error) {
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0) {
        *error = std::string("pseudo-terminal: ") + std::strerror(errno);
        if (master >= 0) {
            ::close(master);
        }
        return nullptr;
    }
    char name[128] = {};
    ::ptsname_r(master, name, sizeof name);
    const int slave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slave < 0) {
        *error = std::string(name) + ": " + std::strerror(errno);
        ::close(master);
        return nullptr;
    }
    MakeRaw(slave);
    ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
    std::error_code ec;
    if (std::filesystem::is_symlink(link, ec)) {
        std::filesystem::remove(link, ec);
    }
    std::filesystem::create_symlink(name, link, ec);
    if (ec) {
        *error = link.string() + ": " + ec.message();
        ::close(slave);
        ::close(master);
        return nullptr;
    }
    return std::unique_ptr<PseudoTerminal>(new PseudoTerminal(master, slave, link, name));
}

PseudoTerminal::~PseudoTerminal() {
    std::error_code ec;
    std::filesystem::remove(link_, ec);
    ::close(slave_);
    ::close(master_);
}

ReadOutcome PseudoTerminal::ReadSome(std::span<std::uint8_t> into) {
    return ReadDescriptor(master_, into);
}

bool PseudoTerminal::WriteAll(std::span<const std::uint8_t> bytes) {
    return WriteFd(master_, bytes);
}

std::unique_ptr<TerminalClient> TerminalClient::Open(const std::filesystem::path& path, std::string* error) {
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        *error = path.string() + ": " + std::strerror(errno);
        return nullptr;
    }
    MakeRaw(fd);
    return std::unique_ptr<TerminalClient>(new TerminalClient(fd));
}

TerminalClient::~TerminalClient() {
    ::close(fd_);
}

ReadOutcome TerminalClient::ReadSome(std::span<std::uint8_t> into) {
    return ReadDescriptor(fd_, into);
}

bool TerminalClient::WriteAll(std::span<const std::uint8_t> bytes) {
    return WriteFd(fd_, bytes);
}

}  // namespace vaultra::platform
