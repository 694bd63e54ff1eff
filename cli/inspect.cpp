#include "cli/inspect.h"

#include <algorithm>
#include <cctype>
#include <string>

namespace vaultra::cli {

namespace {

bool HasExtensionIgnoringCase(const std::filesystem::path& path, std::string_view wanted) {
    std::string ext = path.extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::toupper(c); });
    return ext == wanted;
}

}  // namespace

int RunInspect(const std::filesystem::path& path, std::ostream& out, std::ostream& err) {
    if (HasExtensionIgnoringCase(path, ".S7P")) {
        return InspectS7Project(path, out, err);
    }
    return InspectS5File(path, out, err);
}

}  // namespace vaultra::cli
