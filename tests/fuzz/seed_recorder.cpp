// Writes the seed corpus of the S7 fuzz targets: runs their scenarios against the driver tests' simulated
// adapter and ISO-on-TCP peer, and records what the peer answered to each write of the driver (the
// driver-side seeds) and what the driver sent (the seeds of plcsim's request handling).
//
//   seed_recorder OUTPUT_DIR     (writes OUTPUT_DIR/<target>/<name>)
#include <cstdio>

#include "app/backup_set_file.h"
#include "s5file/program_file.h"
#include "tests/drivers/s7/peers.h"
#include "tests/fuzz/s7_scenarios.h"

namespace {

using namespace vaultra;
using fuzz::Bytes;

// Passes everything to the peer and keeps, per write of the driver, the pieces it read afterwards.
class RecordingLink : public link::ByteLink, public link::Clock {
public:
    explicit RecordingLink(s7::testing::PeerBase& peer) : peer_(peer) {}

    std::vector<std::vector<Bytes>> answers;  // per write: the pieces read after it
    std::vector<Bytes> writes;

    int OpenShared(link::Port p, std::int32_t b, std::uint8_t d, char a, std::int32_t s) override {
        return peer_.OpenShared(p, b, d, a, s);
    }
    int Release(link::Port p) override { return peer_.Release(p); }
    int Close(link::Port p) override { return peer_.Close(p); }
    void CloseAll() override { peer_.CloseAll(); }
    bool IsOpen(link::Port p) override { return peer_.IsOpen(p); }
    int ReadByte(link::Port p, std::uint8_t* out) override { return Keep(peer_.ReadByte(p, out), out); }
    int ReadByteTimed(link::Port p, std::uint8_t* out, std::int32_t t) override {
        return Keep(peer_.ReadByteTimed(p, out, t), out);
    }
    int HasInput(link::Port p) override { return peer_.HasInput(p); }
    std::int32_t ReadPacket(link::Port p, std::uint8_t* buffer, std::int32_t capacity) override {
        const std::int32_t n = peer_.ReadPacket(p, buffer, capacity);
        if (n > 0 && !answers.empty()) {
            answers.back().emplace_back(buffer, buffer + n);
        }
        return n;
    }
    int WriteByte(link::Port p, std::uint8_t value) override {
        Written(&value, 1);
        return peer_.WriteByte(p, value);
    }
    int Write(link::Port p, const std::uint8_t* data, std::int32_t n) override {
        Written(data, static_cast<std::size_t>(n));
        return peer_.Write(p, data, n);
    }
    int Flush(link::Port p) override { return peer_.Flush(p); }
    int Break(link::Port p, std::int32_t t) override { return peer_.Break(p, t); }
    int PulseBreak(link::Port p) override { return peer_.PulseBreak(p); }
    void* Handle(link::Port p) override { return peer_.Handle(p); }
    std::uint64_t NowMs() override { return peer_.NowMs(); }
    void SleepMs(std::uint32_t ms) override { peer_.SleepMs(ms); }

private:
    int Keep(int result, const std::uint8_t* out) {
        if (result == 1 && !answers.empty()) {
            if (answers.back().empty()) {
                answers.back().emplace_back();
            }
            answers.back().back().push_back(*out);
        }
        return result;
    }
    void Written(const std::uint8_t* data, std::size_t n) {
        answers.emplace_back();
        writes.emplace_back(data, data + n);
    }
    s7::testing::PeerBase& peer_;
};

void Put16(Bytes& out, std::size_t n) {
    out.push_back(static_cast<std::uint8_t>(n >> 8));
    out.push_back(static_cast<std::uint8_t>(n));
}

Bytes DriverSeed(const RecordingLink& recorded) {
    Bytes seed;
    for (const auto& pieces : recorded.answers) {
        const std::size_t count = std::min<std::size_t>(pieces.size(), fuzz::kMaxPieces);
        seed.push_back(static_cast<std::uint8_t>(count));
        for (std::size_t i = 0; i < count; ++i) {
            Put16(seed, pieces[i].size());
            seed.insert(seed.end(), pieces[i].begin(), pieces[i].end());
        }
    }
    return seed;
}

// plcsim input: the transport byte, then per write of the driver a piece and a pause byte.
Bytes SimSeed(const RecordingLink& recorded, std::uint8_t transport) {
    Bytes seed{transport};
    for (const Bytes& write : recorded.writes) {
        Bytes piece;
        if (transport == 0) {  // the link frames every ISO-on-TCP write in a TPKT
            piece = {0x03, 0x00};
            Put16(piece, write.size() + 4);
        }
        piece.insert(piece.end(), write.begin(), write.end());
        Put16(seed, piece.size());
        seed.insert(seed.end(), piece.begin(), piece.end());
        seed.push_back(0);
    }
    return seed;
}

void Save(const std::filesystem::path& dir, const std::string& target, const std::string& name,
          const Bytes& seed) {
    std::filesystem::create_directories(dir / target);
    fuzz::WriteFile(dir / target / name, seed);
    std::printf("%s/%s: %zu bytes\n", target.c_str(), name.c_str(), seed.size());
}

template <typename Peer, typename ChannelType, typename... Args>
RecordingLink Record(void (*scenario)(s7::Channel&, ConnectionRecord&), Args... args) {
    Peer peer;
    for (int area = 0; area < 256; area += 16) {
        peer.plc.areas[static_cast<std::uint8_t>(area)].assign(65536, 0x11);
    }
    peer.plc.blocks[{'A', 1}] = s7::testing::MiniPlc::MakeBlock(0x0A, 1, 300);
    peer.plc.blocks[{'A', 2}] = s7::testing::MiniPlc::MakeBlock(0x0A, 2, 60);
    peer.plc.blocks[{'C', 4}] = s7::testing::MiniPlc::MakeBlock(0x0C, 4, 80);
    RecordingLink recorder(peer);
    link::ScopedLinkOverride guard(recorder, recorder);
    fuzz::ResetDriverSettings();
    ChannelType channel(args...);
    ConnectionRecord record = fuzz::FreshRecord();
    scenario(channel, record);
    return recorder;
}

void MpiBoth(s7::Channel& channel, ConnectionRecord& record) {
    fuzz::SmallServices(channel, record);
    fuzz::DirectoryAndUpload(channel, record);
}

// A set with one entry per S7 interface and an S5 one, in the current format.
Bytes BackupSetSeed() {
    app::StationSettings settings;
    settings.comPort = 2;
    app::EntryList entries;
    const std::uint16_t kinds[] = {app::flag::kS7Mpi, app::flag::kS7Lan, app::flag::kS7Rfc1006, 0};
    int n = 0;
    for (const std::uint16_t kind : kinds) {
        app::CElement e;
        e.name = "PLC" + std::to_string(++n);
        e.flags = static_cast<std::uint16_t>(kind | static_cast<std::uint16_t>(app::IntervalKind::Never));
        e.address = {127, 0, 0, 1, 2, static_cast<std::uint8_t>(n)};
        e.fileName = e.name + ".S7P";
        e.blockList = "DB 10,OB 1";
        entries.Append(std::move(e));
    }
    const std::string bytes = app::EncodeBackupSet(settings, entries);
    return Bytes(bytes.begin(), bytes.end());
}

// Steering bytes (the key written, the block deleted), then a file with two groups and a documentation
// block.
Bytes S5FileSeed() {
    auto store = std::make_unique<qrf::MemoryStore>();
    qrf::MemoryStore* raw = store.get();
    auto opened = qrf::ProgramFile::Open(std::move(store), "SEED", qrf::ProgramFile::Mode::kUpdateOrCreate);
    const BlockKey keys[] = {
        {1, 1, 0, 60, 0, {}}, {1, 2, 0, 200, 0, {}}, {8, 3, 0, 40, 0, {}}, {4, 12, 1, 30, 0, {}}};
    for (const BlockKey& key : keys) {
        opened.file->WriteBlock(key, Bytes(key.length, static_cast<std::uint8_t>(key.number)));
    }
    Bytes seed = {1, 5, 0, 0, 80, 0, 1};
    seed.resize(16, 0);
    seed.insert(seed.end(), raw->bytes().begin(), raw->bytes().end());
    return seed;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: seed_recorder OUTPUT_DIR\n");
        return 2;
    }
    const std::filesystem::path out = argv[1];
    using s7::testing::AdapterPeer;
    using s7::testing::IsoPeer;
    const auto answers = Record<IsoPeer, s7::IsoChannel>(fuzz::DirectoryAndUpload);
    Save(out, "s7_answers", "directory_and_upload", DriverSeed(answers));
    Save(out, "plcsim", "iso_directory_and_upload", SimSeed(answers, 0));
    const auto services = Record<IsoPeer, s7::IsoChannel>(fuzz::SmallServices);
    Save(out, "iso_packets", "small_services", DriverSeed(services));
    Save(out, "plcsim", "iso_small_services", SimSeed(services, 0));
    const auto mpi = Record<AdapterPeer, s7::AdapterChannel>(MpiBoth, true);
    Save(out, "mpi_frames", "services_directory_upload", DriverSeed(mpi));
    Save(out, "plcsim", "mpi_services_directory_upload", SimSeed(mpi, 1));
    Save(out, "backup_set", "four_entries", BackupSetSeed());
    Save(out, "s5_program_file", "two_groups_and_documentation", S5FileSeed());
    return 0;
}
