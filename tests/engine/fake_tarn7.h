// A scripted stand-in for the S7 driver libraries, built as libTARN7.so, libTARN7IP.so and libTARN7RFC.so
// into a test directory. The test reaches the library's state through the extra export FakeTarn7Control.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <vaultra/records.h>

namespace vaultra::engine_test {

struct FakeBlock {
    int type = 0;
    int number = 0;
    std::vector<uint8_t> image;
};

struct FakeDriverState {
    // Every call, in order, e.g. "Init 0", "SetTimeOut 81", "RdDir 4", "RdBst 0 1", "AGStop", "Exit 0".
    std::vector<std::string> calls;
    std::vector<FakeBlock> blocks;

    bool initFails = false;
    int failDirectoryType = -1;  // RdDir of this type fails
    int failBlockType = -1;      // RdBst of this block fails
    int failBlockNumber = -1;
    bool refusePassword = false;
    uint16_t passwordPlcError = 0;  // left in plcError by a successful password call
    int32_t lanPort = 200;          // result of NewMPILanCom

    // What the driver saw.
    ConnectionRecord initRecord{};
    std::vector<uint8_t> password;
    std::string lanTarget;
    int16_t lanKind = 0;
    uint32_t lanLocalAddress = 0;
    uint32_t lanNetMask = 0;
    int openConnections = 0;  // successful Init minus Exit while open
    bool plcRunning = true;
};

using FakeTarn7ControlFn = FakeDriverState* (*)();

}  // namespace vaultra::engine_test
