// Word buffers of the interface hold 16-bit values in host order; the line carries them high byte first.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace vaultra::s5 {

inline uint16_t LoadValue(const uint8_t* data, size_t index) {
    uint16_t value = 0;
    std::memcpy(&value, data + 2 * index, sizeof value);
    return value;
}
inline void StoreValue(uint8_t* data, size_t index, uint16_t value) {
    std::memcpy(data + 2 * index, &value, sizeof value);
}

}  // namespace vaultra::s5
