// Common set-up of the protocol tests: a peer installed as the link, saved driver settings.
#pragma once

#include <gtest/gtest.h>

#include "drivers/link/com.h"
#include "drivers/s7/adapter_channel.h"
#include "drivers/s7/iso_channel.h"
#include "drivers/s7/requests.h"
#include "drivers/s7/services.h"
#include "drivers/s7/settings.h"
#include "tests/drivers/s7/peers.h"

namespace vaultra::s7::testing {

template <typename Peer, typename ChannelType>
class SessionTest : public ::testing::Test {
protected:
    void SetUp() override {
        saved_ = DriverSettings();
        link::ComSetCharTimeoutFactor(16);
        record.plcAddress = 2;
        record.rackSlot = 2;
        record.port = 4;
    }
    void TearDown() override { DriverSettings() = saved_; }

    void AddBlocks(uint8_t type, uint8_t code, int count, size_t length, uint16_t first = 1) {
        for (int i = 0; i < count; ++i) {
            const uint16_t number = static_cast<uint16_t>(first + i);
            peer.plc.blocks[{type, number}] = MiniPlc::MakeBlock(code, number, length);
        }
    }

    PeerScope<Peer> scope;
    Peer& peer = scope.peer;
    ChannelType channel;
    ConnectionRecord record{};

private:
    Settings saved_;
};

}  // namespace vaultra::s7::testing
