// A driver library's function table: one address per slot, resolved by export name at bind time. A call
// through an empty slot fails (result 0) instead of jumping nowhere.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace vaultra::app {

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

    template <typename Fn, typename... Args>
    int32_t Call(Slot slot, Args... args) const {
        const Fn fn = Get<Fn>(slot);
        return fn != nullptr ? fn(args...) : 0;
    }

protected:
    static std::size_t Index(Slot slot) { return static_cast<std::size_t>(slot); }
    std::array<void*, Count> slots_{};
};

}  // namespace vaultra::app
