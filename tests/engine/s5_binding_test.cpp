// Binding the S5 driver libraries: the function table by name, the connect sequence on the direct line
// and the LAN adapter, the H1 interface this station cannot reach, and the quiet time after every close.
#include <gtest/gtest.h>

#include "platform/clock.h"
#include "platform/dynlib.h"
#include "tests/engine/s5_test_support.h"

namespace vaultra::app {
namespace {

using s5_test::S5Station;
using s5_test::S5Trace;

TEST(S5Table, BindsEveryStationFunctionOfBothLibrariesByNameAndNoPathOperation) {
    for (const char* file : {"libTARN5.so", "libTARN5IP.so"}) {
        auto library = platform::DynamicLibrary::Open({S5Station::LibraryDir()}, file);
        ASSERT_TRUE(library) << file;
        S5Table table;
        table.Resolve(*library);
        for (int i = 0; i < kS5BasicSlotCount; ++i) {
            EXPECT_TRUE(table.Has(static_cast<S5Slot>(i)))
                << file << " " << S5ExportName(static_cast<S5Slot>(i));
        }
        EXPECT_FALSE(table.HasH1Path()) << file;
    }
    EXPECT_EQ(kS5BasicSlotCount, 61);
    EXPECT_EQ(S5ExportName(S5Slot::Init), "S5Init");
    EXPECT_EQ(S5ExportName(S5Slot::RdASW), "S5RdASW");
    EXPECT_EQ(S5ExportName(S5Slot::NewMPILanCom), "NewMPILanCom");
    EXPECT_EQ(S5ExportName(S5Slot::DeleteCPPath), "S5DeleteCPPath");
}

TEST(S5Table, AnEmptySlotFailsTheCallInsteadOfJumping) {
    S5Table table;
    ConnectionRecord record{};
    EXPECT_EQ(table.Init(&record, 0), 0);
    EXPECT_EQ(table.AGStop(&record), 0);
    EXPECT_EQ(table.Call<S5PathFn>(S5Slot::InitForPath, &record), 0);
}

TEST(S5Connect, DirectLineOnTheComPortWithTheStationSettingsAndNoPgBusStation) {
    S5Station s(s5_test::kDirect);
    ASSERT_TRUE(s.StartSim({"--demo"}));
    // An S7 connect before left its MPI address and a LAN port in the shared record.
    s.station.record.plcAddress = 2;
    s.station.record.port = 140;
    s.station.record.area.s5.recoveryState = 0xFF;

    ASSERT_NE(s.drivers->ConnectS5(s.entry), 0) << ::testing::PrintToString(s.ui.StatusTexts());
    EXPECT_EQ(S5Trace::settings,
              (std::vector<std::string>{"BlockPause 7", "TimeOut 1091", "Repeat 3", "Flags 2"}));
    EXPECT_EQ(+s.station.record.port, static_cast<int>(s5_test::kComPort - 1));
    EXPECT_EQ(+s.station.record.plcAddress, 0);
    EXPECT_EQ(s.station.record.connected, 1);
    // The connect read the PLC's description: block list lengths of the demonstration program.
    EXPECT_NE(+s.station.record.area.s5.systemParams[11], 0);
    EXPECT_EQ(s.drivers->CloseS5(s.entry), 1);
    EXPECT_EQ(s.station.record.connected, 0);
    EXPECT_EQ(s.entry.libraryRefs.count("libTARN5.so"), 1u);
}

TEST(S5Connect, LanAdapterIsRegisteredThroughTheS5LibraryWithLinkKindOne) {
    S5Station s(s5_test::kLan);
    ASSERT_TRUE(s.StartSim({"--demo"}));
    ASSERT_NE(s.drivers->ConnectS5(s.entry), 0) << ::testing::PrintToString(s.ui.StatusTexts());
    EXPECT_EQ(S5Trace::lanTarget, "127.0.0.1");
    EXPECT_EQ(S5Trace::lanKind, 1);
    EXPECT_GE(+s.station.record.port, 128);
    EXPECT_EQ(s.entry.libraryRefs.count("libTARN5IP.so"), 1u);
    EXPECT_EQ(s.drivers->CloseS5(s.entry), 1);
}

TEST(S5Connect, H1EntryFailsWithATextAndNeverReachesTheDriver) {
    S5Station s({"h1", flag::kS5H1, {8, 0, 6, 1, 2, 3}});
    EXPECT_EQ(s.drivers->ConnectS5(s.entry), 0);
    EXPECT_TRUE(s.ui.SawStatus("Presse: Die Schnittstelle S5 H1-Bus ist in dieser Station nicht verfügbar."))
        << ::testing::PrintToString(s.ui.StatusTexts());
    EXPECT_EQ(s.drivers->ConnectProblem(),
              "Presse: Die Schnittstelle S5 H1-Bus ist in dieser Station nicht verfügbar.");
    EXPECT_TRUE(S5Trace::calls.empty()) << ::testing::PrintToString(S5Trace::calls);
    EXPECT_EQ(s.station.record.connected, 0);
}

TEST(S5Connect, MissingLibraryIsNamedAndTheTableLeftEmpty) {
    testing::TempDir empty;
    Station station;
    RecordingFrontEnd ui;
    DriverBinding drivers(station, ui, {empty.path()},
                          CNetworkCard([] { return std::vector<NetworkAdapter>{}; }));
    CElement e;
    e.name = "X";
    e.flags = flag::kS5Lan;
    EXPECT_EQ(drivers.ConnectS5(e), 0);
    EXPECT_EQ(ui.Messages(), (std::vector<std::string>{"libTARN5IP.so nicht gefunden!"}));
    EXPECT_FALSE(drivers.S5().Has(S5Slot::Init));
}

TEST(S5Close, KeepsTheLineQuietBeforeTheNextConnectAndAQuitRequestEndsTheWait) {
    S5Station s(s5_test::kDirect);
    ASSERT_TRUE(s.StartSim({"--demo"}));
    s.drivers->s5CloseWaitMs = 400;
    ASSERT_NE(s.drivers->ConnectS5(s.entry), 0);
    uint64_t before = platform::MonotonicMs();
    EXPECT_EQ(s.drivers->CloseS5(s.entry), 1);
    const uint64_t closed = platform::MonotonicMs();
    EXPECT_GE(closed - before, 400u);
    ASSERT_NE(s.drivers->ConnectS5(s.entry), 0);
    EXPECT_EQ(S5Trace::calls, (std::vector<std::string>{"Init=1", "Exit=1", "Init=1"}));

    // A signal during the wait: the close returns at once, and no connect follows within the quiet time.
    s.drivers->s5CloseWaitMs = 60'000;
    s.ui.onPoll = [](int) { return AbortRequest::Quit; };
    before = platform::MonotonicMs();
    EXPECT_EQ(s.drivers->CloseS5(s.entry), 1);
    EXPECT_LT(platform::MonotonicMs() - before, 5'000u);
    EXPECT_EQ(s.drivers->ConnectS5(s.entry), 0);
    EXPECT_EQ(S5Trace::calls.back(), "Exit=1");
}

}  // namespace
}  // namespace vaultra::app
