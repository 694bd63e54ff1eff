// What the S7 fuzz targets make the driver do, shared with the seed recorder so that a recorded peer
// conversation replays as a seed. The link (scripted fake or test peer) is installed by the caller.
//
// The fuzz input scripts the peer: a list of answers, each released by the driver's next write: a count
// byte (0..3 pieces), then per piece a 16-bit length and its bytes (one piece is one packet on ISO-on-TCP).
#pragma once

#include <algorithm>
#include <vector>

#include <vaultra/records.h>

#include "drivers/link/fake_link.h"
#include "drivers/s7/adapter_channel.h"
#include "drivers/s7/iso_channel.h"
#include "drivers/s7/services.h"
#include "drivers/s7/settings.h"
#include "tests/fuzz/fuzz_support.h"

namespace vaultra::fuzz {

inline constexpr int kMaxAnswers = 64;
inline constexpr int kMaxPieces = 3;

inline ConnectionRecord FreshRecord() {
    ConnectionRecord record{};
    record.plcAddress = 2;
    record.rackSlot = 2;
    record.port = 4;
    return record;
}

// The same settings for every run: two attempts, the usual time-out (the fake's clock is virtual).
inline void ResetDriverSettings() {
    s7::DriverSettings() = s7::Settings{};
    s7::SetRepeat(1);
}

// A whole DB and FC directory read, then the upload of DB 1 into a buffer of 64 KiB.
inline void DirectoryAndUpload(s7::Channel& channel, ConnectionRecord& record) {
    static std::vector<int16_t> presence(s7::kPresenceEntries);
    static std::vector<std::uint8_t> image(65536);
    channel.Initialise(record);
    s7::ReadDirectory(channel, record, 0, presence.data(), nullptr);
    s7::ReadDirectory(channel, record, 5, presence.data(), nullptr);
    BlockRecord block{};
    block.image = image.data();
    s7::ReadBlock(channel, record, &block, 0, 1, image.size());
    channel.DisconnectAndRelease(record);
}

// Connect, stop, start, a system status list, a few memory bytes and the password.
inline void SmallServices(s7::Channel& channel, ConnectionRecord& record) {
    std::uint8_t buffer[512] = {};
    channel.Initialise(record);
    s7::Stop(channel, record);
    s7::Start(channel, record);
    s7::ReadSystemStatusList(channel, record, 0x01320004, buffer, sizeof buffer);
    s7::ReadArea(channel, record, 0x83, 2, 10, 8, 0, buffer);
    const std::uint8_t password[8] = {0x15, 0x10, 1, 2, 3, 4, 5, 6};
    s7::Password(channel, record, password);
    channel.DisconnectAndRelease(record);
}

// Turns the fuzz input into the fake peer's answers.
inline void ScriptAnswers(link::testing::FakeLink& fake, Input& in) {
    for (int answer = 0; answer < kMaxAnswers && !in.Empty(); ++answer) {
        std::vector<link::testing::Chunk> pieces;
        const int count = in.Byte() % (kMaxPieces + 1);
        for (int i = 0; i < count; ++i) {
            pieces.push_back({in.Chunk(), 0});
        }
        fake.OnWriteChunks({}, pieces);
    }
    fake.SetReadWaitMs(200);
}

template <typename ChannelType, typename... Args>
int RunScripted(const std::uint8_t* data, std::size_t size, void (*scenario)(s7::Channel&, ConnectionRecord&),
                Args... channelArgs) {
    Input in(data, size);
    link::testing::FakeLinkScope fake;
    ScriptAnswers(fake.link, in);
    ResetDriverSettings();
    ChannelType channel(channelArgs...);
    ConnectionRecord record = FreshRecord();
    scenario(channel, record);
    return 0;
}

}  // namespace vaultra::fuzz
