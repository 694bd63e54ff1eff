#include "platform/dynlib.h"

#include <dlfcn.h>

#include "platform/process.h"

namespace vaultra::platform {

namespace {

// RTLD_LOCAL keeps the exports of one driver library from answering lookups in another: the S7
// libraries export the same names.
void* LoadFile(const std::string& path, std::string* error) {
    void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr && error != nullptr) {
        const char* reason = ::dlerror();
        *error = reason != nullptr ? reason : "unknown error";
    }
    return handle;
}

}  // namespace

DynamicLibrary::~DynamicLibrary() {
    if (handle_ != nullptr) {
        ::dlclose(handle_);
    }
}

std::unique_ptr<DynamicLibrary> DynamicLibrary::Open(const std::vector<std::filesystem::path>& directories,
                                                     std::string_view fileName, std::string* error) {
    const std::string name(fileName);
    if (name.empty() || name.find('/') != std::string::npos) {
        if (error != nullptr) {
            *error = "not a plain library file name: " + name;
        }
        return nullptr;
    }
    for (const auto& dir : directories) {
        std::error_code ec;
        const auto candidate = dir / name;
        if (!std::filesystem::is_regular_file(candidate, ec)) {
            continue;
        }
        if (void* handle = LoadFile(candidate.string(), error)) {
            return std::make_unique<DynamicLibrary>(Key{}, handle, candidate);
        }
    }
    // Only our own directories count: a library of the same name elsewhere on the system is not ours.
    if (error != nullptr && error->empty()) {
        *error = name + ": not found";
    }
    return nullptr;
}

void* DynamicLibrary::Symbol(const char* name) const {
    ::dlerror();
    return ::dlsym(handle_, name);
}

std::vector<std::filesystem::path> DefaultLibraryDirectories() {
    const auto programDir = ProgramDirectory();
    return {programDir, programDir.parent_path() / "lib"};
}

}  // namespace vaultra::platform
