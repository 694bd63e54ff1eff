// Memory, run/stop, stacks and output forcing of the simulated S5 PLC.
#include "sim/s5/session.h"

namespace vaultra::sim::s5 {
namespace {

constexpr std::size_t kMaxWrite = 0x2000;
constexpr std::uint32_t kMaxRead = 0x10000;

std::uint32_t Address(ByteView p, std::size_t at, bool wide) {
    return wide ? bytes::LoadBe32(p, at) : bytes::LoadBe16(p, at);
}

void PutAddress(Bytes& out, std::uint32_t a, bool wide) {
    if (wide) {
        bytes::AppendBe32(out, a);
    } else {
        bytes::AppendBe16(out, static_cast<std::uint16_t>(a));
    }
}

}  // namespace

// Start and end address (inclusive); the answer repeats them when the range is refused.
void Session::ReadMemory() {
    const bool wide = plc_.Cpu().longAddresses;
    const auto p = Request(wide ? 8u : 4u);
    if (!p) {
        return;
    }
    const std::uint32_t start = Address(*p, 0, wide);
    const std::uint32_t end = Address(*p, wide ? 4 : 2, wide);
    Bytes reply{0x00};
    if (end < start || end - start >= kMaxRead || !plc_.InMemory(start, end - start + 1)) {
        PutAddress(reply, start, wide);
        PutAddress(reply, end, wide);
    } else {
        PutAddress(reply, 0, wide);
        PutAddress(reply, 0, wide);
        Append(reply, plc_.ReadUnits(start, end - start + 1));
    }
    Answer(reply);
}

// 32-bit PLCs name start and end, the others only the start; the data follow to the end mark.
void Session::WriteMemory() {
    const bool wide = plc_.Cpu().longAddresses;
    const auto p = Accept() ? Parameters(kMaxWrite) : std::nullopt;
    const std::size_t head = wide ? 8 : 2;
    if (!p || p->size() < head) {
        return;
    }
    const std::uint32_t start = Address(*p, 0, wide);
    const ByteView data = ByteView(*p).subspan(head);
    const std::uint32_t units = static_cast<std::uint32_t>(data.size() / (plc_.Cpu().wordAddressed ? 2 : 1));
    if (plc_.InMemory(start, units)) {
        plc_.WriteUnits(start, data);
    } else {
        plc_.Logger().Note(name_ + ": write outside the memory ignored");
    }
    Closing();
}

void Session::StartStop() {
    const auto p = Request(1);
    if (!p) {
        return;
    }
    const std::uint8_t mode = (*p)[0];
    if (mode == 0) {
        plc_.SetRunning(false);
        line_.SendTelegram(Bytes{static_cast<std::uint8_t>(plc_.Cpu().cpuClass == 4 ? 0x26 : 0x12)});
        return;
    }
    const bool known = mode <= 3;
    if (known) {
        plc_.SetRunning(true);
    }
    Answer(Bytes{static_cast<std::uint8_t>(known ? 0x25 : 0x01)});
}

// Free block memory and the number of blocks.
void Session::TwoValues() {
    if (!Accept() || !Parameters()) {
        return;
    }
    Bytes reply{0x00};
    // Most 32-bit word-addressed PLCs send both values in two words; those of the 0xD10A and x8 kind in one.
    const std::uint16_t id = plc_.Cpu().identification;
    const bool wide = plc_.Cpu().cpuClass == 3 && (id & 0xF) != 8 && id != 0xD10A;
    PutAddress(reply, plc_.FreeUnits(), wide);
    PutAddress(reply, static_cast<std::uint32_t>(plc_.BlockCount()), wide);
    Answer(reply);
}

// A stopped PLC keeps the blocks it was in: OB 1 and PB 1 when they exist.
void Session::BlockStack() {
    if (!Accept() || !Parameters()) {
        return;
    }
    Bytes reply{0x00};
    if (!plc_.Running()) {
        for (std::uint8_t code : {std::uint8_t{0x10}, std::uint8_t{0x04}}) {
            if (const Plc::Entry* e = plc_.Find(code, 1)) {
                bytes::AppendBe16(reply, plc_.Cpu().LineAddress(e->address));
            }
        }
    }
    Answer(reply);
}

// One interrupt entry: in PB 1, three words in, with DB 1 open.
void Session::InterruptStack() {
    if (!Accept() || !Parameters()) {
        return;
    }
    const Plc::Entry* db = plc_.Find(0x01, 1);
    const Plc::Entry* pb = plc_.Find(0x04, 1);
    Bytes reply{0x00};
    bytes::AppendBe16(reply, 0x0001);
    if (pb != nullptr) {
        bytes::AppendBe16(reply, 0x0001);
        bytes::AppendBe16(reply, 0x0002);
        Append(reply, Bytes{1, 2, 3, 4, 5, 6, 7, 0xFF});
        bytes::AppendBe16(reply, db != nullptr ? plc_.Cpu().LineAddress(db->address) : 0);
        bytes::AppendBe16(reply, 0);
        bytes::AppendBe16(reply, static_cast<std::uint16_t>(plc_.Cpu().LineAddress(pb->address) + 3));
        bytes::AppendBe16(reply, 0);
        bytes::AppendBe16(reply, 0);
        bytes::AppendBe16(reply, 0);
    }
    Answer(reply);
}

void Session::ForcePrepare() {
    if (Accept() && line_.ExpectPair(kEot) && line_.SendAck()) {
        line_.SendTelegram(Bytes{kDle});
    }
}

// The forced values go to the output image, one byte per address unit.
void Session::ForceRequest() {
    const auto data = Accept() ? line_.ReceiveData(256) : std::nullopt;
    if (!data) {
        return;
    }
    Bytes image;
    for (std::uint8_t b : *data) {
        if (plc_.Cpu().wordAddressed) {
            image.push_back(0);
        }
        image.push_back(b);
    }
    plc_.WriteUnits(plc_.Cpu().outputs, image);
    line_.SendTelegram(Bytes{0x12});
}

}  // namespace vaultra::sim::s5
