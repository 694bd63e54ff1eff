#include "drivers/link/lan_connection.h"

#include <algorithm>
#include <array>

#include <vaultra/byte_order.h>

#include "drivers/link/lan.h"
#include "drivers/link/tpkt.h"
#include "platform/clock.h"

namespace vaultra::link {
namespace {

// Bounds for the values a caller may leave open (-1 would leave the system default: no bound at all).
constexpr std::uint32_t kDefaultReceiveWaitMs = 5000;
constexpr std::uint32_t kDefaultSendTimeoutMs = 10000;
constexpr std::uint32_t kDefaultConnectTimeoutMs = 5000;
constexpr int kDiscardChunk = 256;
constexpr int kDiscardChunksMax = 4096;  // 1 MB: a flush never spins on a peer that keeps sending

std::uint32_t OrDefault(std::int32_t ms, std::uint32_t fallback) {
    return ms > 0 ? static_cast<std::uint32_t>(ms) : fallback;
}

bool BindsToAny(std::uint32_t localAddress) {
    return localAddress == 0 || localAddress == 0xFFFFFFFFu;
}

}  // namespace

std::uint32_t LanConnection::ReceiveWaitMs() const {
    return OrDefault(settings_.receiveTimeoutMs, kDefaultReceiveWaitMs);
}

bool LanConnection::EnsureConnected() {
    if (socket_ != nullptr) {
        return true;
    }
    std::unique_ptr<platform::TcpClient> socket = platform::TcpClient::Create();
    if (socket == nullptr) {
        return false;
    }
    if (!BindsToAny(settings_.localAddress) && !socket->Bind(settings_.localAddress)) {
        return false;
    }
    if (!socket->SetOptions(/*dontRoute=*/true)) {
        return false;
    }
    bool timedOut = false;
    if (!socket->Connect(settings_.address, settings_.tcpPort,
                         OrDefault(settings_.connectTimeoutMs, kDefaultConnectTimeoutMs), &timedOut)) {
        return false;  // the socket closes on the way out
    }
    socket_ = std::move(socket);
    return true;
}

void LanConnection::Close() {
    if (socket_ != nullptr) {
        socket_->CloseWithReset();
        socket_.reset();
    }
}

std::size_t LanConnection::ReceiveOnce(std::uint32_t waitMs, bool* broken) {
    *broken = false;
    const auto [space, length] = ring_.FreeSpace();
    if (length == 0) {
        return 0;
    }
    int got = 0;
    switch (socket_->Receive(space, static_cast<int>(length), waitMs, &got)) {
        case platform::ReceiveResult::kData:
            ring_.Commit(static_cast<std::size_t>(got));
            return ring_.Count();
        case platform::ReceiveResult::kNothing:
            return 0;
        default:
            *broken = true;
            return 0;
    }
}

std::size_t LanConnection::Fill(std::uint32_t waitMs, bool mayConnect) {
    lost_ = true;
    if ((socket_ == nullptr && !mayConnect) || !EnsureConnected()) {
        return 0;
    }
    // A connection that breaks ends the read at once and is not made anew here: a new one could never
    // carry the answer to what was sent on the old one, and the caller would wait out its time for
    // nothing. The next write connects again.
    bool broken = false;
    const std::size_t before = ring_.Count();
    ReceiveOnce(waitMs, &broken);
    if (broken) {
        Close();
    }
    const std::size_t added = ring_.Count() - before;
    lost_ = broken && added == 0;
    return added;
}

int LanConnection::ReadByte(std::uint8_t* out, std::uint32_t waitMs) {
    if (ring_.Empty()) {
        Fill(waitMs, true);
    }
    if (ring_.Empty()) {
        return 0;
    }
    *out = ring_.Take();
    return 1;
}

int LanConnection::HasInput() {
    if (ring_.Empty()) {
        Fill(0, true);
    }
    return ring_.Empty() ? 0 : 1;
}

std::size_t LanConnection::ReadExact(std::uint8_t* dst, std::size_t n, std::uint64_t deadlineMs,
                                     bool mayConnect) {
    std::size_t done = 0;
    while (done < n) {
        if (ring_.Empty()) {
            const std::uint64_t now = platform::MonotonicMs();
            const std::uint32_t left = now < deadlineMs ? static_cast<std::uint32_t>(deadlineMs - now) : 0;
            if (Fill(left, mayConnect && done == 0) == 0 && (now >= deadlineMs || socket_ == nullptr)) {
                return done;
            }
            continue;
        }
        const std::uint8_t value = ring_.Take();
        if (dst != nullptr) {
            dst[done] = value;
        }
        ++done;
    }
    return done;
}

std::int32_t LanConnection::ReadTpkt(std::uint8_t* buffer, std::int32_t capacity, std::uint32_t waitMs) {
    const std::uint64_t deadline = platform::MonotonicMs() + waitMs;
    std::uint8_t header[kTpktHeaderSize];
    // An ISO connection exists only after the client's own connect request: a TCP connection made anew
    // here could never carry the packet awaited, so a broken one ends the read at once.
    const std::size_t got = ReadExact(header, kTpktHeaderSize, deadline, false);
    if (got == 0) {
        return 0;
    }
    std::size_t length = 0;
    bool whole = got == kTpktHeaderSize && ParseTpktHeader(header, length);
    std::size_t kept = 0;
    if (whole) {
        const std::size_t payload = length - kTpktHeaderSize;
        kept = std::min(payload, static_cast<std::size_t>(capacity));
        whole = ReadExact(buffer, kept, deadline, false) == kept &&
                ReadExact(nullptr, payload - kept, deadline, false) == payload - kept;
    }
    if (!whole) {
        // The stream lost its packet boundaries: start over on a new connection.
        Close();
        ring_.Clear();
        lost_ = true;
        return 0;
    }
    return static_cast<std::int32_t>(kept);
}

std::int32_t LanConnection::ReadPacket(std::uint8_t* buffer, std::int32_t capacity, std::uint32_t waitMs) {
    if (settings_.framing == kFramingTpkt) {
        return ReadTpkt(buffer, capacity, waitMs);
    }
    if (ring_.Empty()) {
        Fill(waitMs, true);
    }
    std::int32_t count = 0;
    while (count < capacity && !ring_.Empty()) {
        buffer[count++] = ring_.Take();
    }
    return count;
}

bool LanConnection::SendFramed(const std::uint8_t* header, std::size_t headerLength, const std::uint8_t* data,
                               std::int32_t n) {
    std::array<std::uint8_t, kLanMaxWrite + kTpktHeaderSize> frame;
    if (n < 0 || headerLength + static_cast<std::size_t>(n) > frame.size()) {
        return false;
    }
    std::copy_n(header, headerLength, frame.begin());
    std::copy_n(data, n, frame.begin() + static_cast<std::ptrdiff_t>(headerLength));
    const int total = static_cast<int>(headerLength) + n;
    if (!EnsureConnected()) {
        return false;
    }
    if (!socket_->Send(frame.data(), total, OrDefault(settings_.sendTimeoutMs, kDefaultSendTimeoutMs))) {
        Close();  // a broken connection is made again by the next operation
        return false;
    }
    return true;
}

int LanConnection::Write(const std::uint8_t* data, std::int32_t n) {
    if (n < 0) {
        return 0;
    }
    if (settings_.framing == kFramingLengthPrefixed) {
        std::uint8_t header[2];
        bytes::StoreLe16(header, 0, static_cast<std::uint16_t>(n));
        return n <= kLanMaxWrite - 2 && SendFramed(header, sizeof header, data, n) ? 1 : 0;
    }
    if (settings_.framing == kFramingTpkt) {
        const std::int32_t total = n + static_cast<std::int32_t>(kTpktHeaderSize);
        const auto header = TpktHeader(static_cast<std::size_t>(n));
        return total <= kLanMaxWrite && SendFramed(header.data(), header.size(), data, n) ? 1 : 0;
    }
    return n <= kLanMaxWrite && SendFramed(nullptr, 0, data, n) ? 1 : 0;
}

int LanConnection::WriteByte(std::uint8_t value) {
    return Write(&value, 1);
}

void LanConnection::Discard() {
    if (socket_ != nullptr) {
        std::uint8_t sink[kDiscardChunk];
        for (int chunk = 0; chunk < kDiscardChunksMax && socket_->Pending() > 0; ++chunk) {
            int got = 0;
            if (socket_->Receive(sink, kDiscardChunk, 0, &got) != platform::ReceiveResult::kData) {
                break;
            }
        }
    }
    ring_.Clear();
}

}  // namespace vaultra::link
