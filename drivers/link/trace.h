// Internal to the link: the trace's memory of the last traced byte.
#pragma once

namespace vaultra::link {

// Forgets the direction and time of the last traced byte (when the clock is exchanged).
void ForgetLastTracedByte();

}  // namespace vaultra::link
