#include "tests/drivers/s5/script.h"

namespace vaultra::s5::testing {

Bytes Escaped(const Bytes& data) {
    Bytes out;
    for (std::uint8_t b : data) {
        out.push_back(b);
        if (b == DLE)
            out.push_back(DLE);
    }
    return out;
}

Bytes Cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

Bytes Words(std::initializer_list<std::uint16_t> words) {
    Bytes out;
    for (std::uint16_t w : words) {
        out.push_back(static_cast<std::uint8_t>(w >> 8));
        out.push_back(static_cast<std::uint8_t>(w));
    }
    return out;
}

ScriptedPlc& ScriptedPlc::Accept(std::uint8_t code) {
    l_.OnWrite({STX}, {DLE, ACK});
    l_.OnWrite({code}, {STX});
    l_.OnWrite({DLE, ACK}, {SYN, DLE, ETX});
    l_.OnWrite({DLE, ACK}, {});
    return *this;
}

ScriptedPlc& ScriptedPlc::Refuse(std::uint8_t code) {
    l_.OnWrite({STX}, {DLE, ACK});
    l_.OnWrite({code}, {STX});
    l_.OnWrite({DLE, ACK}, {0x00, 0x05, DLE, ETX});
    l_.OnWrite({DLE, ACK, DLE, EOT}, {DLE, ACK, STX});
    l_.OnWrite({DLE, ACK}, {0x12, DLE, ETX});
    l_.OnWrite({DLE, ACK}, {});
    return *this;
}

ScriptedPlc& ScriptedPlc::Reply(std::uint8_t end, const Bytes& data) {
    l_.OnWrite({DLE, end}, {DLE, ACK, STX});
    l_.OnWrite({DLE, ACK}, Cat({Escaped(data), {DLE, ETX}}));
    return *this;
}

ScriptedPlc& ScriptedPlc::Close(std::uint8_t end) {
    l_.OnWrite({DLE, end}, {DLE, ACK, STX});
    l_.OnWrite({DLE, ACK}, {0x12, DLE, ETX});
    l_.OnWrite({DLE, ACK}, {});
    return *this;
}

ScriptedPlc& ScriptedPlc::Closing() {
    l_.OnWrite({DLE, ACK}, {STX});
    l_.OnWrite({DLE, ACK}, {0x12, DLE, ETX});
    l_.OnWrite({DLE, ACK}, {});
    return *this;
}

ScriptedPlc& ScriptedPlc::SystemParameters(const std::vector<std::uint16_t>& words) {
    Bytes data{0x00};
    for (std::uint16_t w : words) {
        data.push_back(static_cast<std::uint8_t>(w >> 8));
        data.push_back(static_cast<std::uint8_t>(w));
    }
    return Accept(0x18).Reply(EOT, data).Closing();
}

Bytes RequestBytes(std::uint8_t code) {
    return {STX, code, DLE, ACK, DLE, ACK};
}

Bytes ClosingBytes() {
    return {DLE, ACK, DLE, ACK, DLE, ACK};
}

std::vector<std::uint16_t> ByteParams() {
    std::vector<std::uint16_t> p(22, 0);
    p[0] = 0xF000;  // PEW
    p[1] = 0xF100;
    p[2] = 0xF200;
    p[3] = 0xF280;
    p[4] = 0xF300;  // flags
    p[5] = 0xF400;
    p[6] = 0xF500;
    p[7] = 0xF600;  // system data, class 0
    for (int t = 0; t < 7; ++t)
        p[11 + t] = 512;
    p[12] = 0;  // no SB
    p[19] = 0x0001;
    p[20] = 10;
    return p;
}

std::vector<std::uint16_t> WordParams() {
    std::vector<std::uint16_t> p = ByteParams();
    for (int t = 0; t < 7; ++t)
        p[11 + t] = 256;
    p[19] = 0x0002;
    p[20] = 5;
    return p;
}

void Describe(ConnectionRecord& r, const std::vector<std::uint16_t>& params) {
    for (std::size_t i = 0; i < params.size() && i < 22; ++i)
        r.area.s5.systemParams[i] = params[i];
}

}  // namespace vaultra::s5::testing
