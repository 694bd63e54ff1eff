// Bounded waits on a file descriptor, shared by the serial and TCP code.
#pragma once

#include <cstdint>

namespace vaultra::platform {

// Waits up to waitMs until fd reports one of the poll events, continuing after signals. Returns the
// reported event flags (hang-up and error included), 0 on time-out or failure.
short WaitDescriptor(int fd, short events, std::uint32_t waitMs);

}  // namespace vaultra::platform
