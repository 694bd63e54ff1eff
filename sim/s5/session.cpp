#include "sim/s5/session.h"

#include <algorithm>

namespace vaultra::sim::s5 {
namespace {

constexpr std::uint8_t kAbsent = 0x07;  // status byte: no such block
constexpr std::uint8_t kRoom = 0x09;    // a new block fits
constexpr std::uint8_t kNoRoom = 0x04;  // it does not: memory full, which a station answers by compressing
constexpr std::uint8_t kDone = 0x12;    // end of a function
constexpr std::chrono::milliseconds kIdlePoll{200};

std::string HexByte(std::uint8_t b) {
    const char* digits = "0123456789ABCDEF";
    return std::string{digits[b >> 4], digits[b & 0xF]};
}

}  // namespace

Session::Session(Plc& plc, Wire& wire, std::string name, const std::atomic<bool>& stop)
    : plc_(plc),
      line_(wire, kByteWait),
      name_(std::move(name)),
      stop_(stop),
      selected_(plc.PgBusStation() == 0) {}

void Session::Run() {
    while (!stop_ && !closed_) {
        std::uint8_t b = 0;
        const Wire::Got got = line_.Next(b, kIdlePoll);
        if (got == Wire::Got::Closed) {
            return;
        }
        if (got == Wire::Got::Timeout || silent_) {
            continue;
        }
        if (b >= 0x80) {
            OnSelect(b);
        } else if (b == kStx && selected_) {
            line_.SendAck();
            ServeFunction();
        }
    }
}

// A PG-bus multiplexer passes the line to the station whose number follows the break.
void Session::OnSelect(std::uint8_t b) {
    const unsigned station = b & 0x7Fu;
    if (plc_.PgBusStation() == 0) {
        return;
    }
    selected_ = station == plc_.PgBusStation();
    if (selected_) {
        line_.Send(Bytes{static_cast<std::uint8_t>(station)});
        plc_.Logger().Trace(name_ + ": selected as PG-bus station " + std::to_string(station));
    }
}

void Session::ServeFunction() {
    std::uint8_t code = 0;
    if (line_.Next(code, kByteWait) != Wire::Got::Byte) {
        return;
    }
    ++functions_;
    const Faults& faults = plc_.FaultOptions();
    if (faults.silentAfter && functions_ > *faults.silentAfter) {
        silent_ = true;
        plc_.Logger().Trace(name_ + ": silent from now on");
        return;
    }
    if (faults.cutAfter && functions_ == *faults.cutAfter + 1) {
        plc_.Logger().Trace(name_ + ": function " + HexByte(code) + " cut off");
        closed_ = line_.Raw().Cut();
        if (!closed_) {
            line_.Send(Bytes{kStx});  // a serial line just breaks off mid-answer
        }
        return;
    }
    std::lock_guard lock(plc_.Mutex());
    plc_.Logger().Trace(name_ + ": function " + HexByte(code));
    const auto& refused = faults.refused;
    if (faults.busy || std::find(refused.begin(), refused.end(), code) != refused.end()) {
        Refuse();
        return;
    }
    Dispatch(code);
}

void Session::Dispatch(std::uint8_t code) {
    switch (code) {
        case 0x03:
            return WriteMemory();
        case 0x04:
            return ReadMemory();
        case 0x06:
            return ReadBlock();
        case 0x07:
            return Simple(&Plc::Compress);
        case 0x08:
            return CreateBlock();
        case 0x09:
            return DeleteBlock();
        case 0x11:
            // The overall reset is taken in STOP only.
            return plc_.Running() ? Refuse() : Simple(&Plc::ClearAll);
        case 0x13:
            return ForceRequest();
        case 0x17:
            return ForcePrepare();
        case 0x18:
            return SystemParameters();
        case 0x19:
            return TwoValues();
        case 0x1A:
            return BlockInfo();
        case 0x1B:
            return Directory();
        case 0x1C:
            return BlockStack();
        case 0x1D:
            return InterruptStack();
        case 0x1E:
            return StartStop();
        default:
            return Refuse();
    }
}

// The PLC's refusal: a short telegram, the PC's end of transfer, and the end of the function.
void Session::Refuse() {
    const Bytes refusal{0x00, 0x05, kDle, kEtx};
    if (line_.Send(Bytes{kStx}) && line_.ExpectPair(kAck) && line_.Send(refusal) && line_.ExpectPair(kAck) &&
        line_.ExpectPair(kEot) && line_.SendAck()) {
        Closing();
    }
}

void Session::Simple(void (Plc::*action)()) {
    if (Accept() && Parameters()) {
        (plc_.*action)();
        Closing();
    }
}

std::optional<Bytes> Session::Request(std::size_t size) {
    auto p = Accept() ? Parameters() : std::nullopt;
    return p && p->size() == size ? p : std::nullopt;
}

const Plc::Entry* Session::FindBlock(ByteView p, Bytes& reply) {
    const Plc::Entry* entry = plc_.Find(p[0], p[1]);
    reply.push_back(entry != nullptr ? std::uint8_t{0} : kAbsent);
    return entry;
}

void Session::SystemParameters() {
    if (!Accept() || !Parameters()) {
        return;
    }
    Bytes reply{0x00};
    for (std::uint16_t w : plc_.Cpu().SystemParameters()) {
        bytes::AppendBe16(reply, w);
    }
    Answer(reply);
}

void Session::Directory() {
    const auto p = Request(1);
    if (!p) {
        return;
    }
    Bytes reply{0x00};
    if (TypePosition((*p)[0])) {
        for (std::uint16_t w : plc_.Directory((*p)[0])) {
            bytes::AppendBe16(reply, w);
        }
    }
    Answer(reply);
}

void Session::BlockInfo() {
    const auto p = Request(2);
    if (!p) {
        return;
    }
    Bytes reply;
    if (const Plc::Entry* entry = FindBlock(*p, reply)) {
        bytes::AppendBe16(reply, plc_.Cpu().LineAddress(entry->address));
        Append(reply, plc_.Header(*entry));
        bytes::AppendBe16(reply, entry->lengthWords);
    }
    Answer(reply);
}

void Session::ReadBlock() {
    const auto p = Request(2);
    if (!p) {
        return;
    }
    Bytes reply;
    if (const Plc::Entry* entry = FindBlock(*p, reply)) {
        Append(reply, plc_.Header(*entry));
        bytes::AppendBe16(reply, entry->lengthWords);
        Append(reply, plc_.Body(*entry));
    }
    Answer(reply);
}

void Session::CreateBlock() {
    const auto p = Request(4);
    if (!p) {
        return;
    }
    const std::uint16_t length = bytes::LoadBe16(*p, 2);
    const auto& answers = plc_.FaultOptions().loadAnswers;
    if (const auto it = answers.find({(*p)[0], (*p)[1]}); it != answers.end()) {
        Answer(Bytes{it->second});
        return;
    }
    const bool room = !plc_.FaultOptions().memoryFull && length >= 5 &&
                      plc_.FreeUnits() >= length * plc_.Cpu().UnitsPerWord() + 16;
    if (!room) {
        Answer(Bytes{kNoRoom});
        return;
    }
    if (!line_.SendTelegram(Bytes{kRoom}) || !line_.Expect(kStx) || !line_.SendAck()) {
        return;
    }
    const auto data = line_.ReceiveData(std::size_t{length} * 2 + 16);
    if (!data || data->size() != 1u + 8u + 2u + (length - 5u) * 2u || bytes::LoadBe16(*data, 9) != length) {
        plc_.Logger().Note(name_ + ": block telegram does not match its announced length");
        return;
    }
    BlockImage block;
    std::copy_n(data->begin() + 1, 8, block.header.begin());
    block.header[2] = (*p)[0];
    block.header[3] = (*p)[1];
    block.lengthWords = length;
    block.body.assign(data->begin() + 11, data->end());
    plc_.Load(block);
    Closing();
}

void Session::DeleteBlock() {
    const auto p = Request(2);
    if (!p) {
        return;
    }
    if (plc_.Delete((*p)[0], (*p)[1])) {
        line_.SendTelegram(Bytes{kDone});  // the answer itself ends the function
    } else {
        Answer(Bytes{kAbsent});
    }
}

}  // namespace vaultra::sim::s5
