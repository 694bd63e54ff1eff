// The lock keys' states for the status bar, read from the system: the X server's keyboard indicators when
// the window runs on X, the kernel's keyboard LEDs otherwise.
#pragma once

#include "platform/lock_leds.h"

namespace vaultra::shell {

// What the system says now; a lock it cannot tell stays unknown.
platform::LockIndicators ReadLockKeys();

// The X server's answer where it knows a lock, the LEDs' answer for the rest.
platform::LockIndicators ChooseLockIndicators(const platform::LockIndicators& x11,
                                              const platform::LockIndicators& leds);

}  // namespace vaultra::shell
