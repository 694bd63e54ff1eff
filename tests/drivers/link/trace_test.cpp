// The line trace "RS232DMP.TXT", driven through the scripted fake so that gaps are exact.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "drivers/link/com.h"
#include "drivers/link/fake_link.h"
#include "link_test_support.h"

namespace vaultra::link {
namespace {

using testing::Bytes;
using testing::FakeLinkScope;

const std::string kClosingLine = "\n" + std::string(54, '-') + "\n";

class TraceTest : public ::testing::Test {
protected:
    void SetUp() override { ComSetTraceEnabled(true); }
    void TearDown() override { ComSetTraceEnabled(false); }
    std::string Trace() const { return testsupport::ReadFile(dir.File("RS232DMP.TXT")); }

    testsupport::ScopedWorkingDirectory dir;
    FakeLinkScope fake;
};

TEST_F(TraceTest, SentThenReceivedAfterAPauseGivesTheDocumentedText) {
    ASSERT_EQ(ComOpenShared(0, 9600, 8, 'e', 2), 1);
    fake.link.OnWrite({0x10, 0x02}, {0x10, 0x06}, 40);
    ComWriteByte(0, 0x10);
    ComWriteByte(0, 0x02);
    std::uint8_t value = 0;
    ASSERT_EQ(ComReadByte(0, &value), 1);
    ASSERT_EQ(ComReadByteTimed(0, &value, 1), 1);
    ComRelease(0);
    EXPECT_EQ(Trace(), "\nT:10 02 \nR:[0040] 10 06 " + kClosingLine);
}

TEST_F(TraceTest, GapsAboveThirtyMillisecondsOnlyAndPauseDirection) {
    ASSERT_EQ(ComOpenShared(0, 9600, 8, 'e', 2), 1);
    ComWriteByte(0, 0xAA);
    SleepMs(30);
    ComWriteByte(0, 0xBB);  // exactly 30 ms: no gap
    SleepMs(31);
    ComWriteByte(0, 0xCC);
    ComTrace(kTracePause, 0x05);  // the S5 block pause
    SleepMs(1234);
    ComWriteByte(0, 0x01);
    ComTraceClose();
    EXPECT_EQ(Trace(), "\nT:AA BB [0031] CC \n?:05 \nT:[1234] 01 " + kClosingLine);
}

TEST_F(TraceTest, FailedBlockWritesAreNotTracedButFailedByteWritesAre) {
    ASSERT_EQ(ComOpenShared(0, 9600, 8, 'e', 2), 1);
    fake.link.FailWrites(true);
    const std::uint8_t block[] = {1, 2, 3};
    EXPECT_EQ(ComWrite(0, block, 3), 0);
    EXPECT_EQ(ComWriteByte(0, 0x04), 0);
    fake.link.FailWrites(false);
    EXPECT_EQ(ComWrite(0, block, 3), 1);
    ComCloseAll();
    EXPECT_EQ(Trace(), "\nT:04 01 02 03 " + kClosingLine);
}

TEST_F(TraceTest, ReleaseClosesTheFileAndLaterBytesAreAppended) {
    ASSERT_EQ(ComOpenShared(0, 9600, 8, 'e', 2), 1);
    ComWriteByte(0, 0x01);
    ComRelease(0);
    ComWriteByte(0, 0x02);
    ComTrace(kTraceReceived, 0x03);
    ComTraceClose();
    EXPECT_EQ(Trace(), "\nT:01 " + kClosingLine + "02 \nR:03 " + kClosingLine);
}

TEST_F(TraceTest, NothingIsWrittenWhileTheSwitchIsOff) {
    ComSetTraceEnabled(false);
    ASSERT_EQ(ComOpenShared(0, 9600, 8, 'e', 2), 1);
    ComWriteByte(0, 0x01);
    ComRelease(0);
    EXPECT_FALSE(std::filesystem::exists(dir.File("RS232DMP.TXT")));
}

}  // namespace
}  // namespace vaultra::link
