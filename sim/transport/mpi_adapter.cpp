#include "sim/transport/mpi_adapter.h"

#include <algorithm>

namespace vaultra::sim {

namespace {

using line::kDle;
using line::kNak;
using line::kStx;

constexpr std::chrono::milliseconds kByteTimeout(1000);
constexpr std::chrono::milliseconds kGrantTimeout(2000);
constexpr std::chrono::milliseconds kHoldTimeout(3000);
constexpr int kSendAttempts = 3;
constexpr std::size_t kStations = 127;
constexpr std::uint8_t kStationActive = 0x30;
constexpr std::uint8_t kStationAbsent = 0x10;

const Bytes kStationHeader = {0x00, 0x0C, 0x03, 0x03};

bool StartsWith(const Bytes& content, std::initializer_list<std::uint8_t> prefix) {
    return content.size() >= prefix.size() && std::equal(prefix.begin(), prefix.end(), content.begin());
}

}  // namespace

MpiAdapter::MpiAdapter(s7::Plc& plc, std::string name) : plc_(plc), name_(std::move(name)) {}

TransportOutput MpiAdapter::OnBytes(ByteView bytes, Clock::time_point now) {
    TransportOutput out;
    for (std::uint8_t byte : bytes) {
        OnByte(byte, now, out.bytes);
    }
    if (line_ == Line::Idle) {
        StartSending(now, out.bytes);
    }
    out.close = cut_;
    cut_ = false;
    return out;
}

TransportOutput MpiAdapter::OnTick(Clock::time_point now) {
    TransportOutput out;
    const auto waited = now - since_;
    if (line_ == Line::Receiving && waited > kByteTimeout) {
        plc_.Logger().Trace(name_ + ": telegram from the PC broke off");
        line_ = Line::Idle;
    } else if ((line_ == Line::AwaitGrant || line_ == Line::AwaitAccept) && waited > kGrantTimeout) {
        Retry(now, out.bytes);
    } else if (line_ == Line::Idle && held_ && waited > kHoldTimeout) {
        plc_.Logger().Trace(name_ + ": no acknowledgement from the PC; sending on");
        held_ = false;
    }
    if (line_ == Line::Idle) {
        StartSending(now, out.bytes);
    }
    return out;
}

void MpiAdapter::OnByte(std::uint8_t byte, Clock::time_point now, Bytes& out) {
    switch (line_) {
        case Line::Idle:
            if (byte == kStx) {
                out.push_back(kDle);
                receiver_.Restart();
                line_ = Line::Receiving;
                since_ = now;
            }
            return;
        case Line::Receiving:
            since_ = now;
            OnTelegramByte(byte, out);
            return;
        case Line::AwaitGrant:
            // An STX here is the PC starting at the same moment; it gives way and grants with DLE.
            if (byte == kDle) {
                Append(out, line::FrameBlock(queue_.front().content));
                line_ = Line::AwaitAccept;
                since_ = now;
            }
            return;
        case Line::AwaitAccept:
            if (byte == kDle) {
                held_ = queue_.front().holdsNext;
                if (plc_.Logger().Verbose()) {
                    plc_.Logger().Trace(name_ + " => " + Hex(queue_.front().content, 64));
                }
                queue_.pop_front();
                line_ = Line::Idle;
                since_ = now;
            } else if (byte == kNak) {
                Retry(now, out);
            }
            return;
    }
}

void MpiAdapter::OnTelegramByte(std::uint8_t byte, Bytes& out) {
    const line::BlockReceiver::Result result = receiver_.Take(byte);
    if (result == line::BlockReceiver::Result::kMore) {
        return;
    }
    line_ = Line::Idle;
    if (result != line::BlockReceiver::Result::kGood) {
        plc_.Logger().Trace(name_ + ": telegram broken or block check wrong, NAK");
        out.push_back(kNak);
        return;
    }
    out.push_back(kDle);
    if (plc_.Logger().Verbose()) {
        plc_.Logger().Trace(name_ + " <= " + Hex(receiver_.Content(), 64));
    }
    OnTelegram(receiver_.Content());
}

void MpiAdapter::StartSending(Clock::time_point now, Bytes& out) {
    if (queue_.empty() || held_) {
        return;
    }
    out.push_back(kStx);
    line_ = Line::AwaitGrant;
    attempts_ = 1;
    since_ = now;
}

void MpiAdapter::Retry(Clock::time_point now, Bytes& out) {
    if (attempts_ >= kSendAttempts) {
        plc_.Logger().Note(name_ + ": PC does not take the telegram; dropped");
        queue_.pop_front();
        line_ = Line::Idle;
        since_ = now;
        return;
    }
    ++attempts_;
    out.push_back(kStx);
    line_ = Line::AwaitGrant;
    since_ = now;
}

void MpiAdapter::Queue(Bytes content, bool holdsNext) {
    queue_.push_back({std::move(content), holdsNext});
}

void MpiAdapter::OnTelegram(const Bytes& content) {
    // Whatever the PC sends next shows it has taken the last answer.
    const bool was_held = held_;
    held_ = false;
    if (StartsWith(content, {0x01})) {
        OnAdapterCommand(content);
    } else if (StartsWith(content, {0x00, 0x0D})) {
        OnConnect(content);
    } else if (StartsWith(content, {0x00, 0x0C, 0x03, 0x03}) && content.size() >= 5) {
        OnStationTelegram(content, was_held);
    } else {
        plc_.Logger().Trace(name_ + ": telegram not understood, ignored");
    }
}

void MpiAdapter::OnAdapterCommand(const Bytes& content) {
    const std::uint8_t command = content.size() >= 2 ? content[1] : 0;
    Bytes reply = {0x01, command, 0x20};
    switch (command) {
        case 0x03:
            if (content.size() > 16) {
                localAddress_ = content[16];
            }
            // On request the adapter asks for the extra 01 0C 02 step first.
            AppendText(reply, plc_.Options().faults.adapterE0330 && !busParametersOk_ ? "E=0330" : "V01.00");
            busParametersOk_ = !plc_.Options().faults.adapterE0330;
            break;
        case 0x0C:
            busParametersOk_ = true;
            break;
        case 0x08:
            AppendZeros(reply, 4);
            break;
        case 0x07: {
            AppendZeros(reply, 3);
            for (std::size_t station = 0; station < kStations; ++station) {
                const bool active = station == plc_.Options().mpiAddress || station == localAddress_;
                reply.push_back(active ? kStationActive : kStationAbsent);
            }
            break;
        }
        case 0x04:
            session_.reset();
            queue_.clear();
            held_ = false;
            break;
        default:
            break;
    }
    Queue(std::move(reply));
}

void MpiAdapter::OnConnect(const Bytes& content) {
    // 00 0D 00 03 E0 04 00 80 00 02 01 06 01 00 00 01 02, station, then two routing bytes. The station
    // ends them with 02 and its rack/slot byte (0 when no slot is given); other clients send 01 00. A
    // rack/slot byte of 0 means the CPU of the station, any other value must name this one.
    const bool station_ok = content.size() >= 18 && content[17] == plc_.Options().mpiAddress;
    const std::uint8_t slot = content.size() >= 20 ? content[19] : 0;
    const bool slot_ok = slot == 0 || slot == plc_.Options().rackSlot;
    if (!station_ok || !slot_ok) {
        plc_.Logger().Note(name_ + ": connect refused (no such station or rack/slot)");
        Queue({0x00, 0x0D, 0x00, 0x03, 0xE0, 0x85});
        return;
    }
    session_ = std::make_unique<s7::Session>(plc_, name_);
    sequence_ = 0;
    // The adapter confirms under the data telegram header with D0 and the station's own parameters.
    Queue({0x00, 0x0C,
           0x03, 0x03,
           0xD0, 0x04,
           0x00, 0x80,
           0x00, 0x02,
           0x01, 0x06,
           0x01, 0x00,
           0x00, 0x01,
           0x02, plc_.Options().mpiAddress,
           0x02, plc_.Options().rackSlot});
}

void MpiAdapter::OnStationTelegram(const Bytes& content, bool wasHeld) {
    const std::uint8_t kind = content[4];
    if (kind == 0xB0 || kind == 0x05) {
        // Acknowledgement of an answer, or the request for the next segment of a long one; outside a
        // segmented answer the continue request is answered in kind.
        if (kind == 0x05 && !wasHeld) {
            Queue({0x00, 0x0C, 0x03, 0x03, 0x05, 0x01});
        }
        return;
    }
    if (kind == 0x80) {
        session_.reset();
        Queue({0x00, 0x0C, 0x03, 0x03, 0x80});
        return;
    }
    if ((kind != 0xF1 && kind != 0xF0) || content.size() < 6) {
        plc_.Logger().Trace(name_ + ": station telegram not understood, ignored");
        return;
    }
    Queue({0x00, 0x0C, 0x03, 0x03, 0xB0, 0x01, content[5]});
    if (!session_) {
        plc_.Logger().Note(name_ + ": data telegram without a connected station, ignored");
        return;
    }
    const s7::Session::Reply reply = session_->Handle(ByteView(content).subspan(6));
    if (reply.cut) {
        // On TCP the connection goes; on a serial line the station simply falls silent.
        session_.reset();
        queue_.clear();
        cut_ = true;
        return;
    }
    for (const Bytes& pdu : reply.pdus) {
        QueuePdu(pdu);
    }
}

void MpiAdapter::QueuePdu(ByteView pdu) {
    std::size_t offset = 0;
    do {
        const std::size_t limit = offset == 0 ? kFirstSegment : kLaterSegment;
        const std::size_t length = std::min(limit, pdu.size() - offset);
        const bool last = offset + length == pdu.size();
        sequence_ = sequence_ == 0xFF ? 1 : static_cast<std::uint8_t>(sequence_ + 1);
        Bytes telegram = kStationHeader;
        Put8(telegram, last ? 0xF1 : 0xF0);
        Put8(telegram, sequence_);
        Append(telegram, pdu.subspan(offset, length));
        Queue(std::move(telegram), true);
        offset += length;
    } while (offset < pdu.size());
}

}  // namespace vaultra::sim
