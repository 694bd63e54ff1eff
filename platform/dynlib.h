// Loading shared libraries by file name and looking up their exports by name.
#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace vaultra::platform {

// One reference to a loaded shared library; the library is released when the last reference goes.
// The operating system counts references, so the same file opened twice is loaded once.
class DynamicLibrary {
public:
    DynamicLibrary(const DynamicLibrary&) = delete;
    DynamicLibrary& operator=(const DynamicLibrary&) = delete;
    ~DynamicLibrary();

    // Looks for fileName in each directory in turn and loads the first one that loads. Returns null (and
    // the reason in *error when given) when none does; the system's library path is not searched.
    static std::unique_ptr<DynamicLibrary> Open(const std::vector<std::filesystem::path>& directories,
                                                std::string_view fileName, std::string* error = nullptr);

    // Address of the export with this name, or null when the library does not export it.
    void* Symbol(const char* name) const;

    const std::filesystem::path& Path() const { return path_; }

    // Only Open makes one; the key keeps the constructor usable by std::make_unique.
    class Key {
        Key() = default;
        friend class DynamicLibrary;
    };
    DynamicLibrary(Key, void* handle, std::filesystem::path path) : handle_(handle), path_(std::move(path)) {}

private:
    void* handle_;
    std::filesystem::path path_;
};

// The program's own directory first, then the installed library directory next to it (../lib).
std::vector<std::filesystem::path> DefaultLibraryDirectories();

}  // namespace vaultra::platform
