// The backup set loader on arbitrary file bytes: it must never read past the end, and what it loaded
// must survive a save and a load unchanged.
#include "app/backup_set_file.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

constexpr int64_t kNow = 1'700'000'000;

std::string Reencode(std::string_view bytes) {
    vaultra::app::StationSettings settings;
    vaultra::app::EntryList entries;
    vaultra::app::DecodeBackupSet(bytes, settings, entries, kNow);
    return vaultra::app::EncodeBackupSet(settings, entries);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const std::string saved = Reencode(bytes);
    if (Reencode(saved) != saved) {
        vaultra::fuzz::Fail("a saved set loads back differently");
    }
    return 0;
}
