// A driver library's function table: one address per slot, resolved by export name at bind time. A call
// through an empty slot fails (result 0) instead of jumping nowhere.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>

namespace vaultra::app {

// Runs one driver call and returns its result. A front end that must go on serving its window while a call
// waits on the line runs the call on another thread; empty, every call runs where it is made.
using DriverCallRunner = std::function<int32_t(const std::function<int32_t()>& call)>;

inline int32_t RunDriverCall(const DriverCallRunner* runner, const std::function<int32_t()>& call) {
    return runner != nullptr && *runner ? (*runner)(call) : call();
}

template <typename Slot, std::size_t Count>
class FunctionTable {
public:
    void Clear() { slots_.fill(nullptr); }
    bool Has(Slot slot) const { return slots_[Index(slot)] != nullptr; }
    // For tests and callers that provide their own implementation of a slot.
    void Set(Slot slot, void* function) { slots_[Index(slot)] = function; }

    template <typename Fn>
    Fn Get(Slot slot) const {
        return reinterpret_cast<Fn>(slots_[Index(slot)]);
    }

    // Every call goes through this runner (which must outlive the table's calls); null: calls run inline.
    void RunCallsThrough(const DriverCallRunner* runner) { runner_ = runner; }

    template <typename Fn, typename... Args>
    int32_t Call(Slot slot, Args... args) const {
        const Fn fn = Get<Fn>(slot);
        if (fn == nullptr) {
            return 0;
        }
        return RunDriverCall(runner_, [&] { return static_cast<int32_t>(fn(args...)); });
    }

protected:
    static std::size_t Index(Slot slot) { return static_cast<std::size_t>(slot); }
    std::array<void*, Count> slots_{};
    const DriverCallRunner* runner_ = nullptr;
};

}  // namespace vaultra::app
