// Built once per prefix: FAKE_PREFIX S7 (libTARN7.so, libTARN7IP.so) or S5 (libTARN7RFC.so).
// FAKE_WITHOUT_UPLOAD leaves out the block upload export.
#include "tests/engine/fake_tarn7.h"

#include <algorithm>
#include <cstring>

#include <vaultra/export.h>

using vaultra::engine_test::FakeDriverState;

namespace {

FakeDriverState& State() {
    static FakeDriverState state;
    return state;
}

void Log(std::string text) {
    State().calls.push_back(std::move(text));
}

// The connect leaves the status area as the real drivers do: 22 zero bytes, seven selection values
// 0x0100, then 0, 0, 10, 0.
void ResetStatusArea(ConnectionRecord* r) {
    std::memset(r->area.statusArea, 0, 22);
    for (int i = 0; i < 7; ++i) {
        r->area.statusArea[22 + 2 * i] = 0x00;
        r->area.statusArea[23 + 2 * i] = 0x01;
    }
    const uint16_t tail[4] = {0, 0, 10, 0};
    for (int i = 0; i < 4; ++i) {
        r->area.statusArea[36 + 2 * i] = static_cast<uint8_t>(tail[i] & 0xFF);
        r->area.statusArea[37 + 2 * i] = static_cast<uint8_t>(tail[i] >> 8);
    }
}

}  // namespace

#define FAKE_CAT2(a, b) a##b
#define FAKE_CAT(a, b) FAKE_CAT2(a, b)
#define FAKE_NAME(name) FAKE_CAT(FAKE_PREFIX, name)

VAULTRA_API FakeDriverState* FakeTarn7Control() {
    return &State();
}

VAULTRA_API int32_t FAKE_NAME(Init)(ConnectionRecord* r, int32_t mode) {
    Log("Init " + std::to_string(mode));
    State().initRecord = *r;
    if (State().initFails) {
        r->status = 0x8000;
        r->connected = 0;
        return 0;
    }
    ResetStatusArea(r);
    r->status = 0;
    r->connected = 1;
    ++State().openConnections;
    return 1;
}

VAULTRA_API int32_t FAKE_NAME(Exit)(ConnectionRecord* r, int32_t mode) {
    Log("Exit " + std::to_string(mode));
    if (r->connected == 1) {
        --State().openConnections;
    }
    r->connected = 0;
    return 1;
}

VAULTRA_API int32_t FAKE_NAME(SetTimeOut)(int32_t v) {
    Log("SetTimeOut " + std::to_string(v));
    return 136;
}
VAULTRA_API int32_t FAKE_NAME(SetBlockPause)(int32_t v) {
    Log("SetBlockPause " + std::to_string(v));
    return 5;
}
VAULTRA_API int32_t FAKE_NAME(SetRepeat)(int32_t v) {
    Log("SetRepeat " + std::to_string(v));
    return 2;
}
VAULTRA_API int32_t FAKE_NAME(SetFlags)(int32_t v) {
    Log("SetFlags " + std::to_string(v));
    return 2;
}

VAULTRA_API int32_t FAKE_NAME(AGStop)(ConnectionRecord*) {
    Log("AGStop");
    State().plcRunning = false;
    return 1;
}
VAULTRA_API int32_t FAKE_NAME(AGStart)(ConnectionRecord*) {
    Log("AGStart");
    State().plcRunning = true;
    return 1;
}

VAULTRA_API int32_t FAKE_NAME(RdDir)(ConnectionRecord* r, int32_t type, int16_t* presence, void*) {
    Log("RdDir " + std::to_string(type) + (State().plcRunning ? " running" : " stopped"));
    if (type == State().failDirectoryType) {
        r->status = 1;
        return 0;
    }
    bool any = false;
    for (const auto& b : State().blocks) {
        if (b.type == type) {
            presence[b.number & 0xFFFF] = -1;
            any = true;
        }
    }
    if (!any) {
        std::fill(presence, presence + 65536, int16_t{0});
    }
    return 1;
}

#ifndef FAKE_WITHOUT_UPLOAD
VAULTRA_API int32_t FAKE_NAME(RdBst)(ConnectionRecord* r, BlockRecord* block, int32_t type, int32_t number,
                                     int32_t) {
    Log("RdBst " + std::to_string(type) + " " + std::to_string(number) +
        (State().plcRunning ? " running" : " stopped"));
    if (type == State().failBlockType && number == State().failBlockNumber) {
        r->status = 0x4000;
        r->plcError = 0xD209;
        return 0;
    }
    for (const auto& b : State().blocks) {
        if (b.type == type && b.number == number) {
            std::memcpy(block->image, b.image.data(), b.image.size());
            block->marker[0] = block->marker[1] = 0x70;
            block->type = static_cast<uint8_t>(type);
            block->number = static_cast<uint8_t>(number);
            block->mark = 0x84;
            block->length = static_cast<uint16_t>(b.image.size());
            return 1;
        }
    }
    r->status = 0x4000;
    return 0;
}
#endif

VAULTRA_API int32_t S7DoPassword(ConnectionRecord* r, const uint8_t* password) {
    Log("DoPassword");
    State().password.assign(password, password + 8);
    if (State().refusePassword) {
        r->status = 0x4000;
        return 0;
    }
    r->plcError = State().passwordPlcError;
    return 1;
}

VAULTRA_API int32_t NewMPILanCom(const char* address, int32_t, int32_t, int32_t, int16_t kind, uint32_t local,
                                 uint32_t mask) {
    Log("NewMPILanCom");
    State().lanTarget = address;
    State().lanKind = kind;
    State().lanLocalAddress = local;
    State().lanNetMask = mask;
    return State().lanPort;
}
