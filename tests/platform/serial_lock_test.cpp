#include "platform/serial_lock.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>

#include "platform/clock.h"
#include "platform/pty.h"
#include "platform/serial.h"
#include "tests/app/temp_dir.h"

namespace vaultra::platform {
namespace {

namespace fs = std::filesystem;

class SerialClaim : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        pty = PseudoTerminal::Create(dir / "port", &error);
        ASSERT_TRUE(pty) << error;
        fs::create_directories(dir / "lock");
        options.lockDirectory = (dir / "lock").string();
        lockFile = dir / "lock" / SerialLockFileName(Port());
    }

    std::string Port() const { return (dir / "port").string(); }

    void WriteLock(int pid) {
        std::ofstream(lockFile) << std::string(10 - std::to_string(pid).size(), ' ') << pid << "\n";
    }

    vaultra::testing::TempDir dir;
    std::unique_ptr<PseudoTerminal> pty;
    SerialOpenOptions options;
    fs::path lockFile;
};

TEST(SerialLockFileName, NamesTheDeviceTheLinkLeadsTo) {
    EXPECT_EQ(SerialLockFileName("/dev/ttyS0"), "LCK..ttyS0");
    vaultra::testing::TempDir dir;
    std::string error;
    auto pty = PseudoTerminal::Create(dir / "port", &error);
    ASSERT_TRUE(pty) << error;
    std::string device = pty->DevicePath().substr(5);  // "pts/N"
    EXPECT_EQ(SerialLockFileName((dir / "port").string()), "LCK.." + device.replace(3, 1, "_"));
}

TEST_F(SerialClaim, SecondOpenWaitsBoundedlyWithAReasonAndGetsThePortOnceItIsFree) {
    auto first = SerialDevice::Open(Port(), options);
    ASSERT_TRUE(first);
    EXPECT_EQ(SerialLockOwner(lockFile.string()), getpid());

    options.lockWaitMs = 200;
    std::string reason;
    const auto start = MonotonicMs();
    EXPECT_FALSE(SerialDevice::Open(Port(), options, &reason));
    EXPECT_GE(MonotonicMs() - start, 200u);
    EXPECT_EQ(reason, "Schnittstelle " + Port() + " ist belegt (Prozess " + std::to_string(getpid()) + ").");

    first.reset();
    EXPECT_FALSE(fs::exists(lockFile));
    EXPECT_TRUE(SerialDevice::Open(Port(), options));
}

TEST_F(SerialClaim, LockOfALiveProcessIsRespectedAndOneOfADeadProcessIsTakenOver) {
    WriteLock(getppid());
    std::string reason;
    EXPECT_FALSE(SerialDevice::Open(Port(), options, &reason));
    EXPECT_NE(reason.find("(Prozess " + std::to_string(getppid()) + ")"), std::string::npos) << reason;
    EXPECT_EQ(SerialLockOwner(lockFile.string()), getppid());

    WriteLock((1 << 30) - 1);  // above any PID the kernel hands out
    auto device = SerialDevice::Open(Port(), options);
    ASSERT_TRUE(device);
    EXPECT_EQ(SerialLockOwner(lockFile.string()), getpid());

    // A lock file without a PID is no claim either.
    device.reset();
    std::ofstream(lockFile) << "garbage\n";
    EXPECT_TRUE(SerialDevice::Open(Port(), options));
}

TEST_F(SerialClaim, WithoutAWritableLockDirectoryAFlockOnTheDeviceClaimsIt) {
    for (const std::string& directory : {std::string(), (dir / "missing").string()}) {
        SCOPED_TRACE(directory);
        options.lockDirectory = directory;
        auto first = SerialDevice::Open(Port(), options);
        ASSERT_TRUE(first);
        std::string reason;
        EXPECT_FALSE(SerialDevice::Open(Port(), options, &reason));
        EXPECT_EQ(reason, "Schnittstelle " + Port() + " ist belegt.");
        first.reset();
        EXPECT_TRUE(SerialDevice::Open(Port(), options));
    }
}

TEST_F(SerialClaim, MissingDeviceFailsAtOnceWithoutLeavingALock) {
    options.lockWaitMs = 5000;
    std::string reason;
    const auto start = MonotonicMs();
    EXPECT_FALSE(SerialDevice::Open((dir / "nothing").string(), options, &reason));
    EXPECT_LT(MonotonicMs() - start, 1000u);
    EXPECT_NE(reason.find("nothing"), std::string::npos);
    EXPECT_TRUE(fs::is_empty(dir / "lock"));
}

}  // namespace
}  // namespace vaultra::platform
