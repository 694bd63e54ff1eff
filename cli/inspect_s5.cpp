#include <ostream>

#include "cli/inspect.h"

namespace vaultra::cli {

// Replaced by the real listing when the file reader lands.
int InspectS5File(const std::filesystem::path& path, std::ostream&, std::ostream& err) {
    err << "vaultra-cli: cannot inspect " << path.string() << " yet\n";
    return 2;
}

}  // namespace vaultra::cli
