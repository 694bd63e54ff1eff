// A scripted stand-in for the link, for protocol tests (target vaultra_link_fake; link it together with
// one of the vaultra_link_* flavours). It runs on a virtual clock: waits and sleeps advance the clock
// instead of taking time, so late and silent answers cost nothing.
//
//   FakeLinkScope fake;                      // installs itself for the scope
//   fake.link.OnWrite({0x02}, {0x10});       // the peer answers STX with DLE
//   fake.link.OnWrite({0x10, 0x03}, {}, {}); // ... and stays silent after DLE ETX
//   ... run the protocol on any port ...
//   EXPECT_EQ(fake.link.Written(), (Bytes{...}));
//
// Every delivered chunk is also one packet for ComReadPacket (bytes beyond the capacity are dropped).
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <vector>

#include "drivers/link/byte_link.h"

namespace vaultra::link::testing {

using Bytes = std::vector<std::uint8_t>;

// Part of an answer: its bytes become readable delayMs after the previous chunk of the same answer
// (after the triggering write for the first chunk).
struct Chunk {
    Bytes bytes;
    std::uint32_t delayMs = 0;
};

struct WriteCall {
    Port port;
    Bytes bytes;  // as handed to ComWriteByte / ComWrite, without any framing
};

class FakeLink : public ByteLink, public Clock {
public:
    // --- the peer's side ---
    // Bytes readable delayMs after now.
    void Deliver(const Bytes& bytes, std::uint32_t delayMs = 0);
    // When the bytes written since the previous rule fired contain trigger (an empty trigger matches any
    // write), the answer is scheduled. Rules fire one after the other in the order given.
    FakeLink& OnWrite(const Bytes& trigger, const Bytes& answer, std::uint32_t delayMs = 0);
    // The same with an answer in parts (split or late answers).
    FakeLink& OnWriteChunks(const Bytes& trigger, std::vector<Chunk> answer);
    // The next opens (all ports) fail while set.
    void FailOpen(bool fail) { failOpen_ = fail; }
    // Writes return 0 while set (they are still recorded).
    void FailWrites(bool fail) { failWrites_ = fail; }
    // Wait of ComReadByte and ComReadPacket when nothing is readable (default 1000 ms).
    void SetReadWaitMs(std::uint32_t ms) { readWaitMs_ = ms; }

    // --- what the protocol did ---
    const Bytes& Written() const { return written_; }
    Bytes TakeWritten();
    const std::vector<WriteCall>& WriteCalls() const { return writeCalls_; }
    int OpenCount(Port port) const { return openCount_[port]; }
    int Opens() const { return opens_; }
    int Flushes() const { return flushes_; }
    int Breaks() const { return breaks_; }
    int PulseBreaks() const { return pulseBreaks_; }
    std::size_t RulesLeft() const { return rules_.size(); }
    // Bytes scheduled but not yet read (readable now or later).
    std::size_t BytesLeft() const;

    // --- ByteLink ---
    int OpenShared(Port port, std::int32_t baud, std::uint8_t dataBits, char parity,
                   std::int32_t stopBits) override;
    int Release(Port port) override;
    int Close(Port port) override;
    void CloseAll() override;
    bool IsOpen(Port port) override { return openCount_[port] > 0; }
    int ReadByte(Port port, std::uint8_t* out) override;
    int ReadByteTimed(Port port, std::uint8_t* out, std::int32_t timeoutTicks) override;
    int HasInput(Port port) override;
    std::int32_t ReadPacket(Port port, std::uint8_t* buffer, std::int32_t capacity) override;
    int WriteByte(Port port, std::uint8_t value) override;
    int Write(Port port, const std::uint8_t* data, std::int32_t n) override;
    int Flush(Port port) override;
    int Break(Port port, std::int32_t ticks) override;
    int PulseBreak(Port port) override;
    void* Handle(Port port) override;

    // --- Clock (virtual time, starts at 1'000'000 ms) ---
    std::uint64_t NowMs() override { return nowMs_; }
    void SleepMs(std::uint32_t ms) override { nowMs_ += ms; }

private:
    struct Pending {
        std::uint64_t readyAtMs;
        Bytes bytes;
        std::size_t offset = 0;
    };
    struct Rule {
        Bytes trigger;
        std::vector<Chunk> answer;
    };

    void Schedule(const std::vector<Chunk>& answer);
    void RecordWrite(Port port, Bytes bytes);
    void FireRules();
    bool WaitForByte(std::uint64_t waitMs);
    bool TakeByte(std::uint8_t* out);

    std::deque<Pending> incoming_;
    std::deque<Rule> rules_;
    Bytes written_;
    Bytes sinceLastRule_;
    std::vector<WriteCall> writeCalls_;
    int openCount_[kPortCount] = {};
    int opens_ = 0;
    int flushes_ = 0;
    int breaks_ = 0;
    int pulseBreaks_ = 0;
    bool failOpen_ = false;
    bool failWrites_ = false;
    std::uint32_t readWaitMs_ = 1000;
    std::uint64_t nowMs_ = 1'000'000;
};

// A FakeLink installed as the active link and clock for the scope.
struct FakeLinkScope {
    FakeLink link;
    ScopedLinkOverride guard{link, link};
};

}  // namespace vaultra::link::testing
