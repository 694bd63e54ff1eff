#include "app/s7_password.h"

#include <algorithm>
#include <string>

#include "platform/cp1252.h"

namespace vaultra::app {

std::array<uint8_t, 8> EncodeS7Password(const std::array<uint8_t, 8>& in) {
    std::array<uint8_t, 8> out{};
    if (in[0] == 0) {
        return out;
    }
    out[0] = in[0] ^ 0x55;
    out[1] = in[1] ^ 0x55;
    out[2] = in[0] ^ in[2];
    out[3] = in[1] ^ in[3];
    out[4] = in[0] ^ in[2] ^ 0x55 ^ in[4];
    out[5] = in[1] ^ in[3] ^ 0x55 ^ in[5];
    out[6] = in[0] ^ in[2] ^ in[4] ^ in[6];
    out[7] = in[1] ^ in[3] ^ in[5] ^ in[7];
    return out;
}

std::array<uint8_t, 8> PasswordField(std::string_view utf8_password) {
    const std::string bytes = platform::Utf8ToCp1252Lossy(utf8_password);
    std::array<uint8_t, 8> field{};
    std::copy_n(bytes.begin(), std::min(bytes.size(), field.size()), field.begin());
    return field;
}

}  // namespace vaultra::app
