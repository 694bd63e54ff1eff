#include <gtest/gtest.h>

#include "app/driver_binding.h"
#include "app/recording_front_end.h"
#include "tests/engine/engine_test_support.h"

namespace vaultra::app {
namespace {

using engine_test::FakeDir;
using engine_test::FakeDriver;

CElement Entry(uint16_t interfaceBit, std::array<uint8_t, 6> address) {
    CElement e;
    e.name = "PLC";
    e.flags = static_cast<uint16_t>(interfaceBit | static_cast<uint16_t>(IntervalKind::Never));
    e.address = address;
    return e;
}

std::vector<NetworkAdapter> TwoAdapters() {
    return {{"eth0", "eth0", "192.168.1.20", "255.255.255.0"}, {"lo", "lo", "127.0.0.1", "255.0.0.0"}};
}

class DriverBindingTest : public ::testing::Test {
protected:
    Station station;
    RecordingFrontEnd ui;
};

TEST(S7ExportNames, RfcLibraryUsesS5NamesExceptPasswordAndLanRegistration) {
    EXPECT_EQ(S7ExportName(S7Slot::Init, false), "S7Init");
    EXPECT_EQ(S7ExportName(S7Slot::Init, true), "S5Init");
    EXPECT_EQ(S7ExportName(S7Slot::ClearAll, true), "S5ClearAll");
    EXPECT_EQ(S7ExportName(S7Slot::DoPassword, true), "S7DoPassword");
    EXPECT_EQ(S7ExportName(S7Slot::NewMPILanCom, true), "NewMPILanCom");
    EXPECT_EQ(S7ExportName(S7Slot::NewMPILanCom, false), "NewMPILanCom");
    EXPECT_EQ(S7ExportName(S7Slot::RdZW, false), "S7RdZW");
}

TEST_F(DriverBindingTest, RfcEntryConnectsThroughTheS5NamesWithSlotOfByteFour) {
    FakeDriver fake("full", "libTARN7RFC.so");
    ASSERT_TRUE(fake.Loaded());
    DriverBinding drivers(station, ui, {FakeDir("full")},
                          CNetworkCard([] { return std::vector<NetworkAdapter>{}; }));
    CElement e = Entry(flag::kS7Rfc1006, {127, 0, 0, 1, 3, 9});
    station.record.port = 0;

    ASSERT_EQ(drivers.ConnectS7(e), 1);
    EXPECT_EQ(fake->calls, (std::vector<std::string>{"NewMPILanCom", "SetBlockPause 0", "SetTimeOut 81",
                                                     "SetRepeat 3", "SetFlags 0", "Init 0"}));
    EXPECT_EQ(fake->lanTarget, "127.0.0.1");
    EXPECT_EQ(fake->lanKind, 3);
    // No adapter at all: any local address, no mask.
    EXPECT_EQ(fake->lanLocalAddress, 0xFFFFFFFFu);
    EXPECT_EQ(fake->lanNetMask, 0u);
    EXPECT_EQ(+fake->initRecord.port, 200);
    EXPECT_EQ(+fake->initRecord.plcAddress, 0);
    EXPECT_EQ(fake->initRecord.rackSlot, 3);
    EXPECT_EQ(fake->initRecord.busSpeed, 2);
    EXPECT_EQ(drivers.S7().Exit(&station.record, 0), 1);
}

TEST_F(DriverBindingTest, MpiEntryUsesAddressBytesZeroAndOneAndKeepsTheSerialPort) {
    FakeDriver fake("full", "libTARN7.so");
    ASSERT_TRUE(fake.Loaded());
    DriverBinding drivers(station, ui, {FakeDir("full")}, CNetworkCard(TwoAdapters));
    CElement e = Entry(flag::kS7Mpi, {2, 0, 0, 0, 0, 0});
    station.settings.comPort = 3;
    station.ApplyComPort();

    ASSERT_EQ(drivers.ConnectS7(e), 1);
    EXPECT_EQ(fake->calls.front(), "SetBlockPause 0");  // no LAN endpoint for a serial adapter
    EXPECT_EQ(+fake->initRecord.port, 2);
    EXPECT_EQ(+fake->initRecord.plcAddress, 2);
    EXPECT_EQ(fake->initRecord.rackSlot, 0);
    EXPECT_EQ(fake->initRecord.busSpeed, 2);
    drivers.S7().Exit(&station.record, 0);
}

TEST_F(DriverBindingTest, LanEntryUsesTheChosenAdapterAndKeepsTheOldPortWhenRegistrationFails) {
    FakeDriver fake("full", "libTARN7IP.so");
    ASSERT_TRUE(fake.Loaded());
    DriverBinding drivers(station, ui, {FakeDir("full")}, CNetworkCard(TwoAdapters));
    CElement e = Entry(flag::kS7Lan, {10, 0, 0, 7, 4, 2});
    station.settings.adapterName = "lo";
    station.record.port = 5;
    fake->lanPort = -2;

    ASSERT_EQ(drivers.ConnectS7(e), 1);
    EXPECT_EQ(fake->lanTarget, "10.0.0.7");
    EXPECT_EQ(fake->lanKind, 2);
    EXPECT_EQ(fake->lanLocalAddress, ParseDottedAddress("127.0.0.1").value());
    EXPECT_EQ(fake->lanNetMask, ParseDottedAddress("255.0.0.0").value());
    EXPECT_EQ(+fake->initRecord.port, 5);
    EXPECT_EQ(+fake->initRecord.plcAddress, 4);
    EXPECT_EQ(fake->initRecord.rackSlot, 2);
    drivers.S7().Exit(&station.record, 0);

    // An adapter name that is gone selects the first adapter.
    station.settings.adapterName = "eth9";
    fake->lanPort = 130;
    ASSERT_EQ(drivers.ConnectS7(e), 1);
    EXPECT_EQ(fake->lanLocalAddress, ParseDottedAddress("192.168.1.20").value());
    EXPECT_EQ(+station.record.port, 130);
    drivers.S7().Exit(&station.record, 0);
}

TEST_F(DriverBindingTest, SerialEntryAfterALanEntryConnectsOnTheComPortAgain) {
    FakeDriver lan("full", "libTARN7IP.so");
    FakeDriver serial("full", "libTARN7.so");
    ASSERT_TRUE(lan.Loaded() && serial.Loaded());
    DriverBinding drivers(station, ui, {FakeDir("full")}, CNetworkCard(TwoAdapters));
    station.settings.comPort = 4;
    station.ApplyComPort();
    CElement lanEntry = Entry(flag::kS7Lan, {10, 0, 0, 7, 4, 2});
    CElement mpiEntry = Entry(flag::kS7Mpi, {2, 0, 0, 0, 0, 0});
    lan->lanPort = 131;

    for (int round = 0; round < 2; ++round) {
        ASSERT_EQ(drivers.ConnectS7(lanEntry), 1);
        EXPECT_EQ(+lan->initRecord.port, 131);
        drivers.S7().Exit(&station.record, 0);
        ASSERT_EQ(drivers.ConnectS7(mpiEntry), 1);
        EXPECT_EQ(+serial->initRecord.port, 3) << "round " << round;
        drivers.S7().Exit(&station.record, 0);
    }
}

TEST_F(DriverBindingTest, MissingLibraryIsReportedAndEveryCallFailsWithoutCrashing) {
    engine_test::TempDir empty;
    DriverBinding drivers(station, ui, {empty.path()}, CNetworkCard());
    // A later call through the table must not reach a library of an earlier connect either.
    CElement e = Entry(flag::kS7Rfc1006, {127, 0, 0, 1, 0, 0});
    EXPECT_EQ(drivers.ConnectS7(e), 0);
    ASSERT_EQ(ui.Messages(), std::vector<std::string>{"libTARN7RFC.so nicht gefunden!"});
    EXPECT_EQ(drivers.S7().Init(&station.record, 0), 0);
    EXPECT_EQ(drivers.S7().RdDir(&station.record, 0, nullptr, nullptr), 0);
    EXPECT_TRUE(e.libraryRefs.empty());
}

TEST_F(DriverBindingTest, EachEntryKeepsOneReferencePerLibraryFile) {
    FakeDriver fake("full", "libTARN7RFC.so");
    DriverBinding drivers(station, ui, {FakeDir("full")},
                          CNetworkCard([] { return std::vector<NetworkAdapter>{}; }));
    CElement a = Entry(flag::kS7Rfc1006, {127, 0, 0, 1, 0, 0});
    CElement b = Entry(flag::kS7Mpi, {2, 0, 0, 0, 0, 0});
    ASSERT_EQ(drivers.ConnectS7(a), 1);
    drivers.S7().Exit(&station.record, 0);
    ASSERT_EQ(drivers.ConnectS7(a), 1);
    drivers.S7().Exit(&station.record, 0);
    ASSERT_EQ(drivers.ConnectS7(b), 1);
    drivers.S7().Exit(&station.record, 0);
    EXPECT_EQ(a.libraryRefs.size(), 1u);
    EXPECT_EQ(a.libraryRefs.count("libTARN7RFC.so"), 1u);
    EXPECT_EQ(b.libraryRefs.count("libTARN7.so"), 1u);
    EXPECT_EQ(a.libraryRefs.at("libTARN7RFC.so").use_count(), 1);
}

TEST_F(DriverBindingTest, ExportsALibraryLacksLeaveEmptySlots) {
    FakeDriver fake("partial", "libTARN7RFC.so");
    DriverBinding drivers(station, ui, {FakeDir("partial")},
                          CNetworkCard([] { return std::vector<NetworkAdapter>{}; }));
    CElement e = Entry(flag::kS7Rfc1006, {127, 0, 0, 1, 0, 0});
    ASSERT_EQ(drivers.ConnectS7(e), 1);
    EXPECT_TRUE(drivers.S7().Has(S7Slot::RdDir));
    EXPECT_FALSE(drivers.S7().Has(S7Slot::RdBst));
    EXPECT_FALSE(drivers.S7().Has(S7Slot::ClearAll));
    BlockRecord block{};
    EXPECT_EQ(drivers.S7().RdBst(&station.record, &block, 0, 1), 0);
    drivers.S7().Exit(&station.record, 0);
}

TEST_F(DriverBindingTest, EveryDriverCallGoesThroughTheCallRunnerOnceAndItsResultCounts) {
    FakeDriver fake("partial", "libTARN7RFC.so");
    DriverBinding drivers(station, ui, {FakeDir("partial")},
                          CNetworkCard([] { return std::vector<NetworkAdapter>{}; }));
    // Each run of the runner must make exactly one call into the library.
    std::vector<std::size_t> callsPerRun;
    bool failInit = false;
    drivers.callRunner = [&](const std::function<int32_t()>& call) {
        const std::size_t before = fake->calls.size();
        const int32_t result = call();
        callsPerRun.push_back(fake->calls.size() - before);
        const bool isInit = !fake->calls.empty() && fake->calls.back().rfind("Init", 0) == 0;
        return failInit && isInit ? 0 : result;
    };
    CElement e = Entry(flag::kS7Rfc1006, {127, 0, 0, 1, 0, 0});
    ASSERT_EQ(drivers.ConnectS7(e), 1);
    // The LAN registration, four settings and the connect.
    EXPECT_EQ(callsPerRun, std::vector<std::size_t>(6, 1));
    drivers.S7().Exit(&station.record, 0);
    EXPECT_EQ(callsPerRun.size(), 7u);
    // An export the library lacks is not run at all.
    BlockRecord block{};
    EXPECT_EQ(drivers.S7().RdBst(&station.record, &block, 0, 1), 0);
    EXPECT_EQ(callsPerRun.size(), 7u);
    // What the runner returns is the call's result.
    failInit = true;
    EXPECT_EQ(drivers.ConnectS7(e), 0);
}

}  // namespace
}  // namespace vaultra::app
