// Compiled into the vaultra_link_lan object library only.
#include "drivers/link/lan.h"

namespace vaultra::link {

Flavour LinkFlavour() {
    return Flavour::kLan;
}

}  // namespace vaultra::link
