#include "tests/drivers/s7/peers.h"

#include <algorithm>

namespace vaultra::s7::testing {

using sim::line::kDle;
using sim::line::kNak;
using sim::line::kStx;

namespace {

// Byte 4 of the adapter's data telegram header: last telegram of an answer, or more follows.
constexpr uint8_t kAnswerFinal = 0xF1;
constexpr uint8_t kAnswerMore = 0xF0;
constexpr size_t kConnectTelegramSize = 20;

}  // namespace

int PeerBase::OpenShared(link::Port, std::int32_t, std::uint8_t, char, std::int32_t) {
    if (failOpen)
        return 0;
    ++opens;
    return 1;
}

int PeerBase::Release(link::Port) {
    if (opens <= releases)
        return 0;
    ++releases;
    return 1;
}

int PeerBase::Flush(link::Port) {
    ++flushes;
    return 1;
}

// ---- adapter ----

int AdapterPeer::Take(std::uint8_t* out, std::uint64_t waitMs) {
    if (out_.empty()) {
        nowMs_ += cut ? 1 : waitMs;  // a dead connection answers a read at once
        return 0;
    }
    *out = out_.front();
    out_.pop_front();
    return 1;
}

void AdapterPeer::Consume(uint8_t value) {
    written.push_back(value);
    if (!cut)
        Feed(value);
}

void AdapterPeer::Cut() {
    cut = true;
    queue_.clear();
    pieces_.clear();
}

void AdapterPeer::Reconnect() {
    cut = false;
    out_.clear();
    queue_.clear();
    pieces_.clear();
    state_ = State::kIdle;
}

int AdapterPeer::WriteByte(link::Port, std::uint8_t value) {
    writeCalls.push_back({value});
    Consume(value);
    return 1;
}

int AdapterPeer::Write(link::Port, const std::uint8_t* data, std::int32_t n) {
    writeCalls.emplace_back(data, data + n);
    for (std::int32_t i = 0; i < n; ++i)
        Consume(data[i]);
    return 1;
}

void AdapterPeer::Queue(const Bytes& content, bool hold) {
    queue_.push_back({content, hold});
    if (state_ == State::kIdle && !hold && queue_.size() == 1)
        StartNext();
}

void AdapterPeer::StartNext() {
    if (queue_.empty() || queue_.front().hold || silent || cut)
        return;
    Emit({kStx});
    state_ = State::kAwaitGrant;
}

void AdapterPeer::Feed(uint8_t b) {
    if (silent)
        return;
    switch (state_) {
        case State::kIdle:
            if (b != kStx)
                return;
            if (stxCollisions > 0) {
                --stxCollisions;
                queue_.push_front({{0x00, 0x0C, 0x03, 0x03, 0x44, 0x01}, false});
                StartNext();
                return;
            }
            Emit({kDle});
            receiver_.Restart();
            state_ = State::kReceiving;
            return;
        case State::kReceiving:
            Receive(b);
            return;
        case State::kAwaitGrant:
            if (b == kDle) {
                const Bytes framed = sim::line::FrameBlock(queue_.front().content);
                out_.insert(out_.end(), framed.begin(), framed.end());
                state_ = State::kAwaitAccept;
            }
            return;  // an STX of the driver here is a collision: the adapter keeps its turn
        case State::kAwaitAccept:
            if (b == kDle) {
                queue_.pop_front();
                state_ = State::kIdle;
                StartNext();
            } else if (b == kNak) {
                Emit({kStx});
                state_ = State::kAwaitGrant;
            }
            return;
    }
}

void AdapterPeer::Receive(uint8_t b) {
    using Result = sim::line::BlockReceiver::Result;
    const Result result = receiver_.Take(b);
    if (result == Result::kMore)
        return;
    state_ = State::kIdle;
    if (result != Result::kGood || nakTelegrams > 0) {
        if (nakTelegrams > 0)
            --nakTelegrams;
        Emit({kNak});
        return;
    }
    Emit({kDle});
    TelegramDone(Bytes(receiver_.Content()));
}

void AdapterPeer::TelegramDone(const Bytes& c) {
    telegrams.push_back(c);
    if (onTelegram)
        onTelegram(c);
    for (auto& item : queue_) {
        if (item.hold) {
            item.hold = false;
            if (&item == &queue_.front())
                StartNext();
            break;
        }
    }
    auto is = [&](std::initializer_list<uint8_t> prefix) {
        return c.size() >= prefix.size() && std::equal(prefix.begin(), prefix.end(), c.begin());
    };
    if (is({0x01, 0x03, 0x02})) {
        Queue(busReply);
    } else if (is({0x01, 0x07, 0x02})) {
        Bytes reply(133, 0x10);
        reply[6 + 2] = 0x30;  // station 2 active
        Queue(reply);
    } else if (c.size() == 3 && c[0] == 0x01) {
        Queue(c[1] == 0x04 ? Bytes{0x01, 0x04, 0x20} : Bytes{0x01, c[1], 0x20, 0x00, 0x00, 0x00, 0x00});
    } else if (is({0x00, 0x0D, 0x00, 0x03, 0xE0})) {
        if (refuseConnect) {
            Queue({0x00, 0x0D, 0x00, 0x05});
        } else if (echoConnect) {
            Queue(c);
        } else {
            // The connect confirm: D0 under the data telegram header, 20 bytes in all.
            Bytes confirm{0x00, 0x0C, 0x03, 0x03, 0xD0};
            confirm.insert(confirm.end(), c.begin() + 5, c.end());
            confirm.resize(kConnectTelegramSize);
            Queue(confirm);
        }
    } else if (is({0x00, 0x0C, 0x03, 0x03, 0x05, 0x01})) {
        if (pieces_.empty()) {
            Queue({0x00, 0x0C, 0x03, 0x03, 0x07, 0x01});
        } else {
            ++pieces;
            Queue(pieces_.front());
            pieces_.pop_front();
        }
    } else if (is({0x00, 0x0C, 0x03, 0x03, 0x80})) {
        Queue({0x00, 0x0C, 0x03, 0x03, 0x81});
    } else if (is({0x00, 0x0C, 0x03, 0x03, 0xF1})) {
        sequences.push_back(c[5]);
        if (onDataTelegram)
            onDataTelegram(c);
        Queue({0x00, 0x0C, 0x03, 0x03, 0xB0, 0x01, c[5]});
        const bool late = !lateAnswers.empty();
        for (size_t i = 0; i < lateAnswers.size(); ++i) {
            const uint8_t head[6] = {0x00, 0x0C, 0x03, 0x03, kAnswerFinal, answerSequence_++};
            Bytes telegram(head, head + 6);
            telegram.resize(6 + lateAnswers[i].size());
            std::copy(lateAnswers[i].begin(), lateAnswers[i].end(), telegram.begin() + 6);
            Queue(telegram, i > 0);
        }
        lateAnswers.clear();
        const auto answers = plc.Handle(Bytes(c.begin() + 6, c.end()));
        for (size_t i = 0; i < answers.size(); ++i) {
            const bool hold = i > 0 || late;  // a further answer waits for the driver's acknowledgement
            Bytes first(6 + answers[i].size());
            const uint8_t head[6] = {0x00, 0x0C, 0x03, 0x03, kAnswerFinal, answerSequence_++};
            std::copy(head, head + 6, first.begin());
            std::copy(answers[i].begin(), answers[i].end(), first.begin() + 6);
            if (first.size() > telegramLimit) {
                Bytes rest(first.begin() + static_cast<long>(telegramLimit), first.end());
                first.resize(telegramLimit);
                first[4] = kAnswerMore;
                for (size_t at = 0; at < rest.size(); at += 250) {
                    const bool last = at + 250 >= rest.size();
                    const size_t end = std::min(rest.size(), at + 250);
                    Bytes piece(6 + end - at);
                    const uint8_t head[6] = {
                        0x00, 0x0C, 0x03, 0x03, last ? kAnswerFinal : kAnswerMore, answerSequence_++};
                    std::copy(head, head + 6, piece.begin());
                    std::copy(rest.begin() + static_cast<long>(at), rest.begin() + static_cast<long>(end),
                              piece.begin() + 6);
                    pieces_.push_back(piece);
                }
            }
            Queue(first, hold);
        }
    }
    // acknowledgements (B0 01 seq) need no reply
}

// ---- ISO-on-TCP ----

std::int32_t IsoPeer::ReadPacket(link::Port, std::uint8_t* buffer, std::int32_t capacity) {
    if (cut) {
        in_.clear();
        nowMs_ += 1000;  // as long as a read on a live connection would wait
        return 0;
    }
    if (in_.empty()) {
        nowMs_ += 1000;
        return 0;
    }
    const Bytes p = in_.front();
    in_.pop_front();
    const size_t n = std::min(p.size(), static_cast<size_t>(capacity));
    std::copy_n(p.begin(), n, buffer);
    return static_cast<std::int32_t>(n);
}

int IsoPeer::Write(link::Port, const std::uint8_t* data, std::int32_t n) {
    const Bytes p(data, data + n);
    packets.push_back(p);
    written.insert(written.end(), p.begin(), p.end());
    if (silent || p.size() < 2)
        return 1;
    if (p[1] == 0xE0) {
        Bytes cc(18, 0);
        cc[0] = 0x11;
        cc[1] = refuseConnect ? 0x80 : 0xD0;
        cc[4] = 0x44;
        cc[5] = 0x31;
        Push(cc);
        return 1;
    }
    if (p[1] != 0xF0 || p.size() < 3)
        return 1;
    for (const Bytes& pdu : lateAnswers) {
        Bytes packet{0x02, 0xF0, 0x80};
        packet.insert(packet.end(), pdu.begin(), pdu.end());
        Push(packet);
    }
    lateAnswers.clear();
    for (const Bytes& answer : plc.Handle(Bytes(p.begin() + 3, p.end()))) {
        if (splitAbove == 0 || answer.size() <= splitAbove) {
            Bytes packet{0x02, 0xF0, 0x80};
            packet.insert(packet.end(), answer.begin(), answer.end());
            Push(packet);
            continue;
        }
        for (size_t at = 0; at < answer.size(); at += (at == 0 ? splitAbove : 250)) {
            const size_t len = at == 0 ? splitAbove : 250;
            const bool last = at + len >= answer.size();
            Bytes packet{0x02, 0xF0, static_cast<uint8_t>(last ? 0x80 : 0x00)};
            packet.insert(packet.end(), answer.begin() + static_cast<long>(at),
                          answer.begin() + static_cast<long>(std::min(answer.size(), at + len)));
            Push(packet);
        }
    }
    return 1;
}

}  // namespace vaultra::s7::testing
