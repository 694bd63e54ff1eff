// Finding project files whatever the case of their names: projects name some folders and files in
// upper case and some in lower case, and Linux file names are case-sensitive.
#pragma once

#include <filesystem>
#include <initializer_list>
#include <string_view>

namespace vaultra::s7project {

// Case-insensitive ASCII equality.
bool EqualsIgnoringCase(std::string_view a, std::string_view b);

// `base` / each name in turn, where each name is replaced by an existing entry of the directory whose
// name matches it case-insensitively (an exact match first). Names with no match are kept as given,
// so the result can also name something still to be created.
std::filesystem::path ResolveIgnoringCase(const std::filesystem::path& base,
                                          std::initializer_list<std::string_view> names);

// The path with its last component resolved as above.
std::filesystem::path ResolveIgnoringCase(const std::filesystem::path& path);

}  // namespace vaultra::s7project
