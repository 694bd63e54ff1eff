#include "drivers/s5/plc_info.h"

namespace vaultra::s5 {

int CpuClass(const ConnectionRecord& r) {
    const uint16_t id = Param(r, kParamIdentification);
    const uint16_t low = id & 0xFF;
    if (Param(r, kParamAddressStep) != kWordAddressed)
        return low == 5 ? 4 : 0;
    if (low == 0x17)
        return 1;
    if (id == 0x0106 || (id == 0x0127 && Param(r, kParamIdentification2) == 0x0202))
        return 5;
    const uint16_t nibble = id & 0xF;
    if (nibble == 6 || nibble == 8 || id == 0xD10A)
        return 3;
    return nibble == 9 ? 5 : 2;
}

uint8_t TypeCode(int32_t position) {
    static constexpr uint8_t kCodes[kTypeCount] = {0x01, 0x02, 0x04, 0x08, 0x10, 0x05, 0x0C};
    return position >= 0 && position < kTypeCount ? kCodes[position] : 0;
}

uint32_t DirectoryEntries(const ConnectionRecord& r, int32_t position) {
    if (position < 0 || position >= kTypeCount)
        return 0;
    const uint32_t length = Param(r, kParamFirstListLength + position);
    return WordAddressed(r) ? length : length / 2;
}

}  // namespace vaultra::s5
