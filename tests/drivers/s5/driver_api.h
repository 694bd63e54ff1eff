// One S5 driver library loaded by file name with every export bound by its name.
#pragma once

#include <dlfcn.h>

#include <filesystem>
#include <string>
#include <vector>

#include <vaultra/tarn5.h>

namespace vaultra::s5::testing {

using Bytes = std::vector<uint8_t>;

class DriverApi {
public:
#define VAULTRA_FIELD(name, params) Tarn5##name##Fn name = nullptr;
    TARN5_FUNCTIONS(VAULTRA_FIELD)
#undef VAULTRA_FIELD

    DriverApi() = default;
    DriverApi(const DriverApi&) = delete;
    DriverApi& operator=(const DriverApi&) = delete;
    ~DriverApi() {
        if (handle_ != nullptr)
            dlclose(handle_);
    }

    bool Load(const std::filesystem::path& path, std::string* error) {
        handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (handle_ == nullptr) {
            *error = dlerror();
            return false;
        }
#define VAULTRA_BIND(name, params)                                   \
    name = reinterpret_cast<Tarn5##name##Fn>(dlsym(handle_, #name)); \
    if (name == nullptr) {                                           \
        *error = "missing export " #name;                            \
        return false;                                                \
    }
        TARN5_FUNCTIONS(VAULTRA_BIND)
#undef VAULTRA_BIND
        return true;
    }
    bool Loaded() const {
        return handle_ != nullptr && S5Exit != nullptr;
    }

private:
    void* handle_ = nullptr;
};

}  // namespace vaultra::s5::testing
