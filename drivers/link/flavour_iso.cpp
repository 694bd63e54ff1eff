// Compiled into the vaultra_link_iso object library only.
#include "drivers/link/lan.h"

namespace vaultra::link {

Flavour LinkFlavour() {
    return Flavour::kIsoOnTcp;
}

}  // namespace vaultra::link
