#include "drivers/link/fake_link.h"

#include <algorithm>

namespace vaultra::link::testing {

void FakeLink::Deliver(const Bytes& bytes, std::uint32_t delayMs) {
    Schedule({Chunk{bytes, delayMs}});
}

FakeLink& FakeLink::OnWrite(const Bytes& trigger, const Bytes& answer, std::uint32_t delayMs) {
    return OnWriteChunks(trigger, std::vector<Chunk>{Chunk{answer, delayMs}});
}

FakeLink& FakeLink::OnWriteChunks(const Bytes& trigger, std::vector<Chunk> answer) {
    rules_.push_back(Rule{trigger, std::move(answer)});
    return *this;
}

void FakeLink::Schedule(const std::vector<Chunk>& answer) {
    // Chunks of one answer follow each other, and never overtake what is already on its way.
    std::uint64_t at = nowMs_;
    if (!incoming_.empty()) {
        at = std::max(at, incoming_.back().readyAtMs);
    }
    for (const Chunk& chunk : answer) {
        at += chunk.delayMs;
        if (!chunk.bytes.empty()) {
            incoming_.push_back(Pending{at, chunk.bytes});
        }
    }
}

Bytes FakeLink::TakeWritten() {
    Bytes taken;
    taken.swap(written_);
    return taken;
}

std::size_t FakeLink::BytesLeft() const {
    std::size_t left = 0;
    for (const Pending& pending : incoming_) {
        left += pending.bytes.size() - pending.offset;
    }
    return left;
}

void FakeLink::RecordWrite(Port port, Bytes bytes) {
    written_.insert(written_.end(), bytes.begin(), bytes.end());
    sinceLastRule_.insert(sinceLastRule_.end(), bytes.begin(), bytes.end());
    writeCalls_.push_back(WriteCall{port, std::move(bytes)});
    FireRules();
}

void FakeLink::FireRules() {
    while (!rules_.empty()) {
        const Bytes& trigger = rules_.front().trigger;
        const auto match =
            std::search(sinceLastRule_.begin(), sinceLastRule_.end(), trigger.begin(), trigger.end());
        if (trigger.empty() ? sinceLastRule_.empty() : match == sinceLastRule_.end()) {
            return;
        }
        sinceLastRule_.erase(sinceLastRule_.begin(),
                             trigger.empty() ? sinceLastRule_.end() : match + trigger.size());
        const std::vector<Chunk> answer = std::move(rules_.front().answer);
        rules_.pop_front();
        Schedule(answer);
    }
}

bool FakeLink::WaitForByte(std::uint64_t waitMs) {
    if (incoming_.empty() || incoming_.front().readyAtMs > nowMs_ + waitMs) {
        nowMs_ += waitMs;
        return false;
    }
    nowMs_ = std::max(nowMs_, incoming_.front().readyAtMs);
    return true;
}

bool FakeLink::TakeByte(std::uint8_t* out) {
    Pending& front = incoming_.front();
    *out = front.bytes[front.offset++];
    if (front.offset == front.bytes.size()) {
        incoming_.pop_front();
    }
    return true;
}

int FakeLink::OpenShared(Port port, std::int32_t, std::uint8_t, char, std::int32_t) {
    if (failOpen_) {
        return 0;
    }
    ++opens_;
    ++openCount_[port];
    return 1;
}

int FakeLink::Release(Port port) {
    if (openCount_[port] <= 0) {
        return 0;
    }
    --openCount_[port];
    return 1;
}

int FakeLink::Close(Port port) {
    openCount_[port] = 0;
    return 1;
}

void FakeLink::CloseAll() {
    std::fill(std::begin(openCount_), std::end(openCount_), 0);
}

int FakeLink::ReadByte(Port, std::uint8_t* out) {
    return WaitForByte(readWaitMs_) && TakeByte(out) ? 1 : 0;
}

int FakeLink::ReadByteTimed(Port, std::uint8_t* out, std::int32_t timeoutTicks) {
    const std::uint64_t waitMs = timeoutTicks > 0 ? static_cast<std::uint64_t>(timeoutTicks) * kTickMs : 0;
    return WaitForByte(waitMs) && TakeByte(out) ? 1 : 0;
}

int FakeLink::HasInput(Port) {
    return !incoming_.empty() && incoming_.front().readyAtMs <= nowMs_ ? 1 : 0;
}

std::int32_t FakeLink::ReadPacket(Port, std::uint8_t* buffer, std::int32_t capacity) {
    if (!WaitForByte(readWaitMs_)) {
        return 0;
    }
    Pending packet = std::move(incoming_.front());
    incoming_.pop_front();
    const std::size_t left = packet.bytes.size() - packet.offset;
    const std::size_t count = std::min(left, static_cast<std::size_t>(capacity));
    std::copy_n(packet.bytes.begin() + static_cast<std::ptrdiff_t>(packet.offset), count, buffer);
    return static_cast<std::int32_t>(count);
}

int FakeLink::WriteByte(Port port, std::uint8_t value) {
    RecordWrite(port, Bytes{value});
    return failWrites_ ? 0 : 1;
}

int FakeLink::Write(Port port, const std::uint8_t* data, std::int32_t n) {
    RecordWrite(port, Bytes(data, data + n));
    return failWrites_ ? 0 : 1;
}

int FakeLink::Flush(Port) {
    ++flushes_;
    while (!incoming_.empty() && incoming_.front().readyAtMs <= nowMs_) {
        incoming_.pop_front();
    }
    return 1;
}

int FakeLink::Break(Port, std::int32_t ticks) {
    ++breaks_;
    nowMs_ += ticks > 0 ? static_cast<std::uint64_t>(ticks) * kTickMs : 0;
    return 1;
}

int FakeLink::PulseBreak(Port) {
    ++pulseBreaks_;
    nowMs_ += 5;
    return 1;
}

void* FakeLink::Handle(Port port) {
    return openCount_[port] > 0 ? this : nullptr;
}

}  // namespace vaultra::link::testing
