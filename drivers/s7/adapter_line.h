// Block framing of the MPI adapter over one link port (serial or LAN): the DLE/STX send grant, DLE
// doubling, the block check character, NAK and repeat, and unsolicited telegrams from the adapter.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include <vaultra/records.h>

#include "drivers/link/com.h"
#include "drivers/s7/answer_body.h"
#include "drivers/s7/progress.h"
#include "drivers/s7/wire/block_framing.h"

namespace vaultra::s7 {

// No telegram of the adapter is longer than this; a longer one is refused.
inline constexpr size_t kMaxTelegram = 1024;

// Reads the content of one telegram after the PC answered its STX with DLE.
class TelegramReader {
public:
    using Result = ReadResult;

    TelegramReader(link::Port port, int32_t charTicks) : port_(port), charTicks_(charTicks) {}

    // The next content byte (doubling undone), the end (DLE ETX), or a failure (time-out, lone DLE,
    // content longer than kMaxTelegram).
    Result Next(uint8_t& byte);
    // Reads `n` content bytes into `out` (may be null to drop them); stops early at the end.
    Result Read(uint8_t* out, size_t n, size_t& got) { return ReadBytes(*this, out, n, got); }
    // Reads up to the end, dropping the content (bounded by the telegram limit).
    bool SkipToEnd();
    // Reads the block check character after the end and compares it.
    bool CheckTrailer();
    bool Ended() const { return ended_; }

private:
    link::Port port_;
    int32_t charTicks_;
    s7wire::DleDecoder decoder_;
    size_t raw_ = 0;
    size_t content_ = 0;
    bool ended_ = false;
};

class AdapterLine {
public:
    enum class Form { kExact, kAtMost, kAny };

    link::Port port = 0;

    // Waits up to `ticks` for one byte. With a sink, waits in slices and reports each slice; a sink that
    // answers false ends the wait (cancelled is then set).
    bool WaitByte(uint8_t& byte, int32_t ticks, ProgressSink* progress = nullptr, bool* cancelled = nullptr);

    // Sends one telegram: STX and the grant, then head and body (both DLE doubled), DLE ETX BCC in one
    // write, then waits for DLE. Every attempt after the first purges the port. Failure leaves status 1, 2,
    // 4 (connection lost) or 0x8000.
    bool SendTelegram(ConnectionRecord& record, std::span<const uint8_t> head, std::span<const uint8_t> body);
    bool SendTelegram(ConnectionRecord& record, std::span<const uint8_t> content) {
        return SendTelegram(record, content, {});
    }

    // Receives one telegram: exactly n content bytes, at most n, or any length keeping the first n.
    bool ReceiveTelegram(ConnectionRecord& record, Form form, size_t n, std::vector<uint8_t>& content,
                         int32_t timeoutTicks);

    // After STX arrived unasked: takes the whole telegram and discards it.
    void AbsorbTelegram();
    // Absorbs a telegram that the adapter has started, waiting up to `waitMs` for its STX.
    void AbsorbPending(uint32_t waitMs);

    // Answers DLE (accepted) or NAK; false when the port cannot be written.
    bool Answer(uint8_t control);
    // Accepts the telegram just received with a DLE that goes out in one write with the STX of the next
    // SendTelegram: the adapter sends nothing before that DLE, so nothing can come in between, and the
    // two control characters cost one wake-up of the adapter instead of two. Any other operation of the
    // line sends a pending accept first.
    void AcceptWithNextTelegram() { acceptPending_ = true; }

    // Begins a new session with the adapter (its initialisation).
    void Restart();
    // A read found the LAN connection gone after the adapter had answered, taking the adapter's session
    // with it (never on a serial line). Kept until Restart: every operation fails at once with status 4
    // instead of waiting for an answer that a new connection could never carry.
    bool Lost() const { return lost_; }
    // Before an operation and after a failed read: true (status 4) when the connection is gone rather than
    // silent.
    bool FailIfLost(ConnectionRecord& record);

    int32_t CharTicks() const;
    int32_t Attempts() const;
    int32_t TimeoutTicks() const;

private:
    // After a failed read: notes a lost connection (see Lost).
    bool SeesLoss();
    // Sends a DLE left pending by AcceptWithNextTelegram; false when the port cannot be written.
    bool SendPendingAccept();
    // STX, preceded by a pending accept; a failed write of the accept leaves status 0x8000 (fatal).
    bool RequestToSend(ConnectionRecord& record, bool& fatal);

    bool acceptPending_ = false;
    bool lost_ = false;
    bool live_ = false;  // the adapter answered since Restart
};

}  // namespace vaultra::s7
