// Shared pieces of the engine tests: a temporary directory, the fake driver libraries and a clock.
#pragma once

#include <filesystem>
#include <memory>

#include "app/run_loop.h"
#include "platform/dynlib.h"
#include "tests/app/temp_dir.h"
#include "tests/engine/fake_tarn7.h"

namespace vaultra::engine_test {

using TempDir = testing::TempDir;

inline std::filesystem::path FakeDir(const char* variant) {
    return std::filesystem::path(ENGINE_FAKE_DIR) / variant;
}

// Holds one fake driver library loaded (so its state survives the engine's reloads) and resets its state.
class FakeDriver {
public:
    FakeDriver(const char* variant, const char* fileName)
        : library_(platform::DynamicLibrary::Open({FakeDir(variant)}, fileName)) {
        if (library_) {
            auto control = reinterpret_cast<FakeTarn7ControlFn>(library_->Symbol("FakeTarn7Control"));
            state_ = control != nullptr ? control() : nullptr;
        }
        if (state_ != nullptr) {
            *state_ = FakeDriverState{};
        }
    }
    bool Loaded() const { return state_ != nullptr; }
    FakeDriverState& operator*() { return *state_; }
    FakeDriverState* operator->() const { return state_; }

private:
    std::unique_ptr<platform::DynamicLibrary> library_;
    FakeDriverState* state_ = nullptr;
};

class FakeClock : public app::WallClock {
public:
    explicit FakeClock(int64_t start) : now(start) {}
    int64_t Now() override { return now; }
    int64_t now;
};

}  // namespace vaultra::engine_test
