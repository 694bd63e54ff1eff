// The 8-byte argument of S7DoPassword.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace vaultra::app {

// Encodes the entry's 8-byte password field (bytes after a shorter password are 0). All zero when in[0] is 0.
std::array<uint8_t, 8> EncodeS7Password(const std::array<uint8_t, 8>& in);

// The password field of an entry: its Windows-1252 bytes, cut to 8 and padded with 0.
std::array<uint8_t, 8> PasswordField(std::string_view utf8_password);

}  // namespace vaultra::app
