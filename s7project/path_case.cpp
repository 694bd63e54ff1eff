#include "s7project/path_case.h"

#include <algorithm>
#include <cctype>
#include <system_error>

namespace vaultra::s7project {

namespace {

std::filesystem::path ResolveOne(const std::filesystem::path& dir, std::string_view name) {
    const std::filesystem::path exact = dir / std::filesystem::path(std::string(name));
    std::error_code ec;
    if (std::filesystem::exists(exact, ec)) {
        return exact;
    }
    const std::filesystem::path searched = dir.empty() ? std::filesystem::path(".") : dir;
    for (std::filesystem::directory_iterator it(searched, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string entry = it->path().filename().string();
        if (EqualsIgnoringCase(entry, name)) {
            return dir / entry;
        }
    }
    return exact;
}

}  // namespace

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::toupper(static_cast<unsigned char>(x)) ==
                      std::toupper(static_cast<unsigned char>(y));
           });
}

std::filesystem::path ResolveIgnoringCase(const std::filesystem::path& base,
                                          std::initializer_list<std::string_view> names) {
    std::filesystem::path p = base;
    for (const auto name : names) {
        p = ResolveOne(p, name);
    }
    return p;
}

std::filesystem::path ResolveIgnoringCase(const std::filesystem::path& path) {
    const std::string name = path.filename().string();
    if (name.empty()) {
        return path;
    }
    return ResolveOne(path.parent_path(), name);
}

}  // namespace vaultra::s7project
