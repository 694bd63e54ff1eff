#include "platform/serial.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/clock.h"
#include "platform/fd_wait.h"

namespace vaultra::platform {
namespace {

speed_t SpeedFor(std::int32_t baud) {
    switch (baud) {
        case 1200:
            return B1200;
        case 2400:
            return B2400;
        case 4800:
            return B4800;
        case 19200:
            return B19200;
        case 38400:
            return B38400;
        case 57600:
            return B57600;
        case 115200:
            return B115200;
        default:
            return B9600;
    }
}

tcflag_t SizeFor(std::uint8_t dataBits) {
    switch (dataBits) {
        case 5:
            return CS5;
        case 6:
            return CS6;
        case 7:
            return CS7;
        default:
            return CS8;
    }
}

// A pseudo-terminal keeps CS8 without parity whatever is asked, and the C library then reports the whole
// change as failed although everything else was applied. Such a line counts as configured.
bool AppliedExceptParity(int fd, const termios& wanted) {
    termios now{};
    if (tcgetattr(fd, &now) != 0) {
        return false;
    }
    const tcflag_t ignored = PARENB | CSIZE;
    return (now.c_cflag & ~ignored) == (wanted.c_cflag & ~ignored) && now.c_iflag == wanted.c_iflag &&
           cfgetospeed(&now) == cfgetospeed(&wanted) && cfgetispeed(&now) == cfgetispeed(&wanted);
}

}  // namespace

namespace {

constexpr std::uint32_t kLockPollMs = 50;

int OpenTerminal(const std::string& path, int* error) {
    const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        *error = errno;
        return -1;
    }
    if (!isatty(fd) || ioctl(fd, TIOCEXCL) != 0) {
        *error = isatty(fd) ? errno : ENOTTY;
        close(fd);
        return -1;
    }
    return fd;
}

std::string BusyReason(const std::string& path, int owner) {
    return "Schnittstelle " + path + " ist belegt" +
           (owner > 0 ? " (Prozess " + std::to_string(owner) + ")." : ".");
}

// One attempt at claiming and opening the device: the descriptor, -1 with *busy set while another
// holder has it, -1 with a reason when it cannot be opened at all.
int TryClaim(const std::string& path, const SerialOpenOptions& options, std::unique_ptr<SerialLockFile>* lock,
             bool* busy, std::string* reason) {
    int owner = 0;
    const auto taken = SerialLockFile::TryTake(options.lockDirectory, SerialLockFileName(path), lock, &owner);
    if (taken == SerialLockFile::Result::kHeld) {
        *busy = true;
        *reason = BusyReason(path, owner);
        return -1;
    }
    int error = 0;
    const int fd = OpenTerminal(path, &error);
    if (fd < 0) {
        lock->reset();
        *busy = error == EBUSY;  // held by a program that takes no lock file
        *reason = *busy ? BusyReason(path, 0) : path + ": " + std::strerror(error);
        return -1;
    }
    if (taken == SerialLockFile::Result::kUnusable && !TryFlockExclusive(fd)) {
        close(fd);
        *busy = true;
        *reason = BusyReason(path, 0);
        return -1;
    }
    return fd;
}

}  // namespace

std::unique_ptr<SerialDevice> SerialDevice::Open(const std::string& path, const SerialOpenOptions& options,
                                                 std::string* reason) {
    const std::uint64_t deadline = MonotonicMs() + options.lockWaitMs;
    std::string why;
    for (;;) {
        std::unique_ptr<SerialLockFile> lock;
        bool busy = false;
        const int fd = TryClaim(path, options, &lock, &busy, &why);
        if (fd >= 0) {
            return std::unique_ptr<SerialDevice>(new SerialDevice(fd, std::move(lock)));
        }
        const std::uint64_t now = MonotonicMs();
        if (!busy || now >= deadline) {
            break;
        }
        SleepMilliseconds(static_cast<std::uint32_t>(std::min<std::uint64_t>(kLockPollMs, deadline - now)));
    }
    if (reason != nullptr) {
        *reason = why;
    }
    return nullptr;
}

SerialDevice::~SerialDevice() {
    ioctl(fd_, TIOCNXCL);
    close(fd_);
}

bool SerialDevice::Configure(const SerialSettings& settings) {
    termios tio{};
    if (tcgetattr(fd_, &tio) != 0) {
        return false;
    }
    cfmakeraw(&tio);
    tio.c_cflag &= ~(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS);
    tio.c_cflag |= SizeFor(settings.dataBits) | CREAD | CLOCAL;
    tio.c_iflag &= ~(IXON | IXOFF | IXANY | INPCK | IGNPAR | PARMRK);
    if (settings.parity != SerialParity::kNone) {
        tio.c_cflag |= PARENB;
        tio.c_iflag |= INPCK;
        if (settings.parity == SerialParity::kOdd) {
            tio.c_cflag |= PARODD;
        }
    }
    if (settings.twoStopBits) {
        tio.c_cflag |= CSTOPB;
    }
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    const speed_t speed = SpeedFor(settings.baud);
    if (cfsetispeed(&tio, speed) != 0 || cfsetospeed(&tio, speed) != 0 ||
        (tcsetattr(fd_, TCSANOW, &tio) != 0 && !AppliedExceptParity(fd_, tio))) {
        return false;
    }
    int lines = TIOCM_DTR | TIOCM_RTS;
    ioctl(fd_, TIOCMBIS, &lines);  // pseudo-terminals have no modem lines
    return true;
}

int SerialDevice::Read(std::uint8_t* buffer, int capacity, std::uint32_t waitMs) {
    if (capacity <= 0) {
        return 0;
    }
    for (;;) {
        const ssize_t got = read(fd_, buffer, static_cast<size_t>(capacity));
        if (got > 0) {
            return static_cast<int>(got);
        }
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0 && errno != EAGAIN) {
            return -1;
        }
        // Nothing there (a hung-up pseudo-terminal also reads as nothing): wait once for input.
        if (waitMs == 0 || WaitDescriptor(fd_, POLLIN, waitMs) == 0) {
            return 0;
        }
        waitMs = 0;
    }
}

int SerialDevice::BytesWaiting() {
    int count = 0;
    return ioctl(fd_, FIONREAD, &count) == 0 ? count : 0;
}

bool SerialDevice::Write(const std::uint8_t* data, int n, std::uint32_t timeoutMs) {
    const std::uint64_t deadline = MonotonicMs() + timeoutMs;
    int done = 0;
    while (done < n) {
        const ssize_t put = write(fd_, data + done, static_cast<size_t>(n - done));
        if (put > 0) {
            done += static_cast<int>(put);
            continue;
        }
        if (put < 0 && errno != EAGAIN && errno != EINTR) {
            return false;
        }
        const std::uint64_t now = MonotonicMs();
        if (now >= deadline ||
            WaitDescriptor(fd_, POLLOUT, static_cast<std::uint32_t>(deadline - now)) == 0) {
            return false;
        }
    }
    return true;
}

bool SerialDevice::Purge() {
    return tcflush(fd_, TCIOFLUSH) == 0;
}

bool SerialDevice::SetBreak(bool on) {
    return ioctl(fd_, on ? TIOCSBRK : TIOCCBRK) == 0;
}

void SerialDevice::DropDtr() {
    int lines = TIOCM_DTR;
    ioctl(fd_, TIOCMBIC, &lines);
}

}  // namespace vaultra::platform
