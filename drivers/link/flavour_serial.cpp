// Compiled into the vaultra_link_serial object library only.
#include "drivers/link/lan.h"

namespace vaultra::link {

Flavour LinkFlavour() {
    return Flavour::kSerialOnly;
}

}  // namespace vaultra::link
