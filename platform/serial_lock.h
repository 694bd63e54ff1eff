// A claim on a serial device that every process on the machine respects, the way serial tools agree on
// it: a lock file "LCK..<device>" holding the owner's PID in the system lock directory; a lock whose
// process is gone counts as free and is removed. Where the lock directory cannot be written, an
// exclusive flock on the open device stands in for the file.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace vaultra::platform {

// The first writable of /run/lock and /var/lock; empty when neither is.
std::string DefaultSerialLockDirectory();

// "LCK..ttyS0" for /dev/ttyS0, "LCK..pts_3" for /dev/pts/3: the device the path leads to (links
// followed), its "/dev/" dropped and further slashes made underscores.
std::string SerialLockFileName(const std::string& devicePath);

class SerialLockFile {
public:
    enum class Result { kTaken, kHeld, kUnusable };

    // One attempt at the lock file in directory. kHeld sets *owner to the PID of the process holding
    // it; a file of a dead process (or one without a PID) is removed and the attempt repeated once.
    // kUnusable: the directory cannot take the file.
    static Result TryTake(const std::string& directory, const std::string& name,
                          std::unique_ptr<SerialLockFile>* taken, int* owner);
    ~SerialLockFile();  // removes the file while it still names this process
    SerialLockFile(const SerialLockFile&) = delete;
    SerialLockFile& operator=(const SerialLockFile&) = delete;

    const std::string& Path() const { return path_; }

private:
    explicit SerialLockFile(std::string path) : path_(std::move(path)) {}
    std::string path_;
};

// The PID a lock file names, 0 when it names none.
int SerialLockOwner(const std::string& path);

// An exclusive flock on an open descriptor without waiting; false when another holder has it.
bool TryFlockExclusive(int fd);

}  // namespace vaultra::platform
