// A set with S5 and S7 entries run by the engine: list order, and the quiet time after every S5 close
// before the next S5 connect.
#include <gtest/gtest.h>

#include "app/run_loop.h"
#include "platform/clock.h"
#include "s7project/s7project.h"
#include "tests/engine/s5_test_support.h"

namespace vaultra::app {
namespace {

namespace fs = std::filesystem;
using s5_test::S5Station;
using s5_test::S5Trace;

class FixedClock : public WallClock {
public:
    int64_t Now() override { return 1'000'000; }
};

// When each connect and close reached a library, in milliseconds.
struct Timeline {
    static inline std::vector<std::pair<std::string, uint64_t>> events;
    static inline Tarn7InitFn s7Init = nullptr;
    static inline Tarn5S5InitFn s5Init = nullptr;
    static inline Tarn5S5ExitFn s5Exit = nullptr;
    static int32_t S7Init(ConnectionRecord* r, int32_t m) {
        events.emplace_back("S7 connect", platform::MonotonicMs());
        return s7Init(r, m);
    }
    static int32_t S5Init(ConnectionRecord* r, int32_t m) {
        events.emplace_back("S5 connect", platform::MonotonicMs());
        return s5Init(r, m);
    }
    static int32_t S5Exit(ConnectionRecord* r, int32_t m) {
        const int32_t result = s5Exit(r, m);
        events.emplace_back("S5 close", platform::MonotonicMs());
        return result;
    }
};

TEST(S5MixedSet, EntriesRunInListOrderWithTheQuietTimeBetweenS5Connections) {
    S5Station s(s5_test::kDirect);
    ASSERT_TRUE(s.StartSim({"--demo-blocks", "20"}));
    // The same PLC also behind the LAN adapter, for the S5-LAN entry.
    std::string error;
    auto lanSim =
        sim::testing::PlcsimProcess::Start({"s5", "--demo-blocks", "20", "--lan-raw-port", "0"}, &error);
    ASSERT_TRUE(lanSim) << error;
    setenv("VAULTRA_LAN_RAW_PORT", std::to_string(*lanSim->LanRawPort()).c_str(), 1);
    auto s7Sim = sim::testing::PlcsimProcess::Start({"s7", "--demo", "--iso-port", "0"}, &error);
    ASSERT_TRUE(s7Sim) << error;
    setenv("VAULTRA_ISO_TCP_PORT", std::to_string(*s7Sim->IsoPort()).c_str(), 1);

    constexpr uint32_t kQuietMs = 300;
    s.drivers->s5CloseWaitMs = kQuietMs;
    Timeline::events.clear();
    s.drivers->afterS7Bind = [](S7Table& t) {
        Timeline::s7Init = t.Get<Tarn7InitFn>(S7Slot::Init);
        t.Set(S7Slot::Init, reinterpret_cast<void*>(&Timeline::S7Init));
    };
    s.drivers->afterS5Bind = [](S5Table& t) {
        S5Trace::Install(t);
        Timeline::s5Init = t.Get<Tarn5S5InitFn>(S5Slot::Init);
        Timeline::s5Exit = t.Get<Tarn5S5ExitFn>(S5Slot::Exit);
        t.Set(S5Slot::Init, reinterpret_cast<void*>(&Timeline::S5Init));
        t.Set(S5Slot::Exit, reinterpret_cast<void*>(&Timeline::S5Exit));
    };
    const auto add = [&](const char* name, uint16_t interfaceBit, std::array<uint8_t, 6> address,
                         const char* file) {
        CElement e;
        e.name = name;
        e.flags = static_cast<uint16_t>(interfaceBit | static_cast<uint16_t>(IntervalKind::Never));
        e.address = address;
        e.fileName = file;
        ASSERT_TRUE(s.station.AddEntry(e));
        s.drivers->BindQrf(s.station.entries[s.station.entries.size() - 1]);
    };
    add("A", 0, {}, "A.S5D");
    add("B", flag::kS7Rfc1006, {127, 0, 0, 1, 2, 0}, "B.S7P");
    add("C", flag::kS5Lan, {127, 0, 0, 1, 0, 0}, "C.S5D");
    add("D", 0, {}, "D.S5D");

    FixedClock clock;
    Engine engine(s.station, s.ui, clock, *s.drivers);
    ASSERT_TRUE(engine.BackupAll()) << ::testing::PrintToString(s.ui.StatusTexts());

    std::vector<std::string> order;
    for (const auto& [what, at] : Timeline::events) {
        order.push_back(what);
    }
    EXPECT_EQ(order, (std::vector<std::string>{"S5 connect", "S5 close", "S7 connect", "S5 connect",
                                               "S5 close", "S5 connect", "S5 close"}));
    uint64_t lastClose = 0;
    for (const auto& [what, at] : Timeline::events) {
        if (what == "S5 close") {
            lastClose = at;
        } else if (what == "S5 connect" && lastClose != 0) {
            EXPECT_GE(at - lastClose, kQuietMs);
        }
    }
    for (const char* file : {"A.S5D", "C.S5D", "D.S5D"}) {
        EXPECT_TRUE(fs::exists(s.dir.path() / file)) << file;
    }
    EXPECT_TRUE(fs::exists(s.dir.path() / "B" / "B.S7P"));
    for (const CElement& e : s.station.entries) {
        EXPECT_TRUE(e.Has(flag::kLastSucceeded)) << e.name;
    }
}

}  // namespace
}  // namespace vaultra::app
