#include "platform/serial_lock.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace vaultra::platform {
namespace {

// The lock file content serial tools write: the PID as ten characters and a newline.
std::string PidText(int pid) {
    char text[16];
    std::snprintf(text, sizeof text, "%10d\n", pid);
    return text;
}

bool ProcessAlive(int pid) {
    return pid > 0 && (kill(pid, 0) == 0 || errno == EPERM);
}

bool WriteAll(int fd, const std::string& text) {
    return write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
}

// Writes a private file with our PID and links it into place: the lock appears whole or not at all.
SerialLockFile::Result LinkIntoPlace(const std::string& directory, const std::string& path) {
    const std::string scratch =
        directory + "/.tmp" + std::to_string(getpid()) + "." + path.substr(path.find_last_of('/') + 1);
    const int fd = open(scratch.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        return SerialLockFile::Result::kUnusable;
    }
    const bool written = WriteAll(fd, PidText(getpid()));
    close(fd);
    const int linked = written ? link(scratch.c_str(), path.c_str()) : -1;
    const int linkError = errno;
    unlink(scratch.c_str());
    if (linked == 0) {
        return SerialLockFile::Result::kTaken;
    }
    return written && linkError == EEXIST ? SerialLockFile::Result::kHeld : SerialLockFile::Result::kUnusable;
}

}  // namespace

std::string DefaultSerialLockDirectory() {
    for (const char* directory : {"/run/lock", "/var/lock"}) {
        if (access(directory, W_OK | X_OK) == 0) {
            return directory;
        }
    }
    return {};
}

std::string SerialLockFileName(const std::string& devicePath) {
    std::error_code error;
    std::string device = std::filesystem::canonical(devicePath, error).string();
    if (error) {
        device = devicePath;
    }
    if (device.rfind("/dev/", 0) == 0) {
        device.erase(0, 5);
    }
    while (!device.empty() && device.front() == '/') {
        device.erase(0, 1);
    }
    for (char& c : device) {
        c = c == '/' ? '_' : c;
    }
    return "LCK.." + device;
}

int SerialLockOwner(const std::string& path) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return 0;
    }
    char text[32] = {};
    const ssize_t got = read(fd, text, sizeof text - 1);
    close(fd);
    if (got <= 0) {
        return 0;
    }
    const long pid = std::strtol(text, nullptr, 10);
    return pid > 0 && pid < (1L << 30) ? static_cast<int>(pid) : 0;
}

SerialLockFile::Result SerialLockFile::TryTake(const std::string& directory, const std::string& name,
                                               std::unique_ptr<SerialLockFile>* taken, int* owner) {
    if (directory.empty()) {
        return Result::kUnusable;
    }
    const std::string path = directory + "/" + name;
    for (int attempt = 0; attempt < 2; ++attempt) {
        const Result result = LinkIntoPlace(directory, path);
        if (result == Result::kTaken) {
            taken->reset(new SerialLockFile(path));
            return result;
        }
        if (result == Result::kUnusable) {
            return result;
        }
        *owner = SerialLockOwner(path);
        if (ProcessAlive(*owner)) {
            return Result::kHeld;
        }
        unlink(path.c_str());  // left behind by a process that is gone
    }
    return Result::kHeld;
}

SerialLockFile::~SerialLockFile() {
    if (SerialLockOwner(path_) == getpid()) {
        unlink(path_.c_str());
    }
}

bool TryFlockExclusive(int fd) {
    return flock(fd, LOCK_EX | LOCK_NB) == 0;
}

}  // namespace vaultra::platform
