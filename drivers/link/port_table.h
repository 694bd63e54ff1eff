// The real link behind com.h: serial records, and LAN records in the LAN-capable flavours.
#pragma once

#include "drivers/link/byte_link.h"

namespace vaultra::link {

// The process-wide port table (one per driver library).
ByteLink& SystemLink();
// The monotonic clock.
Clock& SystemClock();

}  // namespace vaultra::link

namespace vaultra::link {
class LanPorts;
// The LAN records of the port table (the registry of NewMPILanCom).
LanPorts& SystemLanPorts();
}  // namespace vaultra::link
