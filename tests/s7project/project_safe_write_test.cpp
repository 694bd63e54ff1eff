// A project update that fails, fills the disk or is killed part-way leaves the stored project whole and
// byte-identical; repeated backups of one program do not make the project grow.
#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <set>

#include "fault_io.h"
#include "platform/subprocess.h"
#include "s7project/s7project.h"
#include "test_support.h"

namespace vaultra::s7project {
namespace {

using testing::FaultIo;
using testing::ReadBytes;
using testing::TempDir;
using testing::UpdateProgram;
using Bytes = std::vector<std::uint8_t>;
// Every file below a folder by relative path, folders as entries without bytes.
using Tree = std::map<std::string, std::optional<Bytes>>;

Tree Snapshot(const std::filesystem::path& dir) {
    Tree tree;
    for (const auto& e : std::filesystem::recursive_directory_iterator(dir)) {
        const std::string name = e.path().lexically_relative(dir).string();
        tree[name] = e.is_regular_file() ? std::optional<Bytes>(ReadBytes(e.path())) : std::nullopt;
    }
    return tree;
}

void Restore(const std::filesystem::path& dir, const Tree& tree) {
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    for (const auto& [name, bytes] : tree) {
        if (!bytes) {
            std::filesystem::create_directories(dir / name);
        } else {
            testing::WriteBytes(dir / name, *bytes);
        }
    }
}

std::set<std::string> Entries(const std::filesystem::path& dir) {
    std::set<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(dir)) {
        names.insert(e.path().filename().string());
    }
    return names;
}

std::uint64_t TreeSize(const std::filesystem::path& dir) {
    std::uint64_t size = 0;
    for (const auto& e : std::filesystem::recursive_directory_iterator(dir)) {
        size += e.is_regular_file() ? e.file_size() : 0;
    }
    return size;
}

// The blocks as the reader returns them; nothing when the project cannot be read.
std::optional<BlockList> ReadBack(const std::filesystem::path& projectFile) {
    BlockList blocks;
    ProjectFolders folders;
    ProjectInfo info;
    if (!ReadS7Project(projectFile, blocks, folders, &info) || info.unreadableBlocks != 0) {
        return std::nullopt;
    }
    return blocks;
}

// A project holding generation 1, the result generation 2 must give, and the bytes of the stored one.
class ProjectUpdate : public ::testing::Test {
protected:
    void SetUp() override {
        FaultIo io;
        ProjectFolders folders;
        ASSERT_TRUE(WriteS7Project(given(), UpdateProgram(1), folders, io));
        stored_ = Snapshot(dir_.path());
        storedBlocks_ = ReadBack(projectFile());
        ASSERT_TRUE(storedBlocks_);
        ASSERT_TRUE(Update());
        updatedBlocks_ = ReadBack(projectFile());
        ASSERT_TRUE(updatedBlocks_);
        ASSERT_NE(*updatedBlocks_, *storedBlocks_);
        Restore(dir_.path(), stored_);
    }
    std::filesystem::path given() const { return dir_ / "P.S7P"; }
    std::filesystem::path projectFile() const { return dir_ / "P" / "P.S7P"; }
    bool Update(ProjectIo& io) {
        ProjectFolders folders;
        return WriteS7Project(given(), UpdateProgram(2), folders, io);
    }
    bool Update() {
        FaultIo io;
        return Update(io);
    }
    // The stored project byte-identical (a leftover staging folder beside it is allowed).
    void ExpectStoredProject() {
        Tree now = Snapshot(dir_.path());
        std::erase_if(now, [](const auto& e) { return e.first.starts_with("P.vaultra-"); });
        EXPECT_TRUE(now == stored_);
        EXPECT_EQ(ReadBack(projectFile()), storedBlocks_);
    }
    // The next update with room succeeds and cleans up whatever a failed one left.
    void ExpectNextUpdateSucceeds() {
        ASSERT_TRUE(Update());
        EXPECT_EQ(ReadBack(projectFile()), updatedBlocks_);
        EXPECT_EQ(Entries(dir_.path()), std::set<std::string>{"P"});
    }
    // Fails operation n = 1, 2, ... of an update until one runs out of operations; returns how many
    // operations an update has.
    std::size_t FailEveryOperation(bool diskFull) {
        for (std::size_t n = 1;; ++n) {
            Restore(dir_.path(), stored_);
            FaultIo io;
            io.failAt = n;
            io.diskFull = diskFull;
            const bool written = Update(io);
            if (!io.Failed()) {
                EXPECT_TRUE(written);
                return n - 1;
            }
            SCOPED_TRACE("operation " + std::to_string(n));
            if (written) {
                // only a clean-up after the swap failed: the new project is in place
                EXPECT_EQ(ReadBack(projectFile()), updatedBlocks_);
            } else {
                ExpectStoredProject();
            }
            ExpectNextUpdateSucceeds();
            if (::testing::Test::HasFailure()) {
                return n;
            }
        }
    }

    TempDir dir_{testing::MemoryTempBase()};
    Tree stored_;
    std::optional<BlockList> storedBlocks_;
    std::optional<BlockList> updatedBlocks_;
};

TEST_F(ProjectUpdate, WriteErrorAtAnyOperationLeavesTheStoredProjectByteIdentical) {
    const std::size_t operations = FailEveryOperation(false);
    RecordProperty("operations", static_cast<int>(operations));
    EXPECT_GT(operations, 100u);
}

TEST_F(ProjectUpdate, DiskFullFromAnyOperationOnLeavesTheStoredProjectByteIdentical) {
    const std::size_t operations = FailEveryOperation(true);
    EXPECT_GT(operations, 100u);
}

TEST_F(ProjectUpdate, SwapLeftoversOfAKilledRunAreRecognised) {
    // killed after the stored project was moved aside, before the new one moved in
    ASSERT_TRUE(Update());
    const Tree updated = Snapshot(dir_ / "P");
    Restore(dir_.path(), stored_);
    std::filesystem::rename(dir_ / "P", dir_ / "P.vaultra-old");
    Restore(dir_ / "P.vaultra-new", updated);
    ASSERT_TRUE(RecoverS7Project(given()));
    EXPECT_TRUE(Snapshot(dir_ / "P") == updated);
    EXPECT_EQ(Entries(dir_.path()), std::set<std::string>{"P"});

    // the same without a staging folder: the stored project comes back
    Restore(dir_.path(), stored_);
    std::filesystem::rename(dir_ / "P", dir_ / "P.vaultra-old");
    ASSERT_TRUE(RecoverS7Project(given()));
    ExpectStoredProject();
    EXPECT_EQ(Entries(dir_.path()), std::set<std::string>{"P"});

    // a half-built staging folder is never taken for the project
    Restore(dir_.path(), stored_);
    Restore(dir_ / "P.vaultra-new", {{"HRS", std::nullopt}});
    ASSERT_TRUE(RecoverS7Project(given()));
    ExpectStoredProject();
    EXPECT_EQ(Entries(dir_.path()), std::set<std::string>{"P"});
}

// Kills a child process that writes the update at operation k = 1, 2, ...: afterwards (and after the
// recovery the next write does) the project is the stored one, byte-identical, or the updated one.
TEST_F(ProjectUpdate, KilledAtAnyOperationLeavesAWholeProject) {
    std::size_t killed = 0;
    for (std::size_t k = 1;; ++k) {
        SCOPED_TRACE("operation " + std::to_string(k));
        Restore(dir_.path(), stored_);
        std::string error;
        auto child = platform::Subprocess::Start(VAULTRA_PROJECT_WRITE_CHILD,
                                                 {given().string(), std::to_string(k)}, &error);
        ASSERT_NE(child, nullptr) << error;
        const auto line = child->ReadLine(std::chrono::seconds(30));
        ASSERT_TRUE(line);
        if (line->starts_with("done")) {
            EXPECT_TRUE(line->starts_with("done 1"));
            ASSERT_EQ(child->Wait(std::chrono::seconds(30)), 0);
            break;
        }
        ASSERT_EQ(*line, "reached " + std::to_string(k));
        ASSERT_TRUE(child->Signal(platform::ProcessSignal::Kill));
        ASSERT_TRUE(child->Wait(std::chrono::seconds(30)));
        ++killed;
        ASSERT_TRUE(RecoverS7Project(given()));
        const auto back = ReadBack(projectFile());
        if (back != updatedBlocks_) {
            ExpectStoredProject();
        }
        EXPECT_EQ(Entries(dir_.path()), std::set<std::string>{"P"});
        ExpectNextUpdateSucceeds();
        if (HasFailure()) {
            break;
        }
    }
    RecordProperty("killed", static_cast<int>(killed));
    EXPECT_GT(killed, 100u);
}

TEST(ProjectSize, TenBackupsOfOneProgramStayAboutTheSizeOfOne) {
    TempDir dir(testing::MemoryTempBase());
    const BlockList program = UpdateProgram(2, 600);
    std::uint64_t first = 0;
    for (int i = 0; i < 10; ++i) {
        FaultIo io;
        ProjectFolders folders;
        ASSERT_TRUE(WriteS7Project(dir / "BIG.S7P", program, folders, io));
        if (i == 0) {
            first = TreeSize(dir / "BIG");
            const auto folder = dir / "BIG" / "OMBSTX" / "OFFLINE" / "00000001";
            // what each backup appended before the memo files were compacted
            RecordProperty("memo_bytes", static_cast<int>(std::filesystem::file_size(folder / "SUBBLK.DBT") +
                                                          std::filesystem::file_size(folder / "BAUSTEIN.DBT")));
        }
    }
    const std::uint64_t last = TreeSize(dir / "BIG");
    RecordProperty("first", static_cast<int>(first));
    RecordProperty("tenth", static_cast<int>(last));
    EXPECT_LE(last, first + first / 10);
    const auto back = ReadBack(dir / "BIG" / "BIG.S7P");
    ASSERT_TRUE(back);
    EXPECT_EQ(back->size(), program.size());
    EXPECT_EQ(Entries(dir.path()), std::set<std::string>{"BIG"});
}

// Unmounts the small file system at the end of the test.
class SmallDisk {
public:
    explicit SmallDisk(std::filesystem::path at) : at_(std::move(at)) {
        std::filesystem::create_directories(at_);
        int status = -1;
        message_ = testing::RunCommand("mount -t tmpfs -o size=1m tmpfs '" + at_.string() + "' 2>&1", status);
        mounted_ = status == 0;
    }
    ~SmallDisk() {
        if (mounted_) {
            int status = -1;
            testing::RunCommand("umount '" + at_.string() + "' 2>&1", status);
        }
    }
    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;
    bool Mounted() const { return mounted_; }
    const std::string& Message() const { return message_; }
    // Fills the disk up to `room` free bytes.
    void LeaveRoom(std::uint64_t room) {
        const auto filler = at_ / "filler";
        std::filesystem::remove(filler);
        const std::uint64_t available = std::filesystem::space(at_).available;
        testing::WriteBytes(filler, Bytes(available > room ? available - room : 0, 0xAA));
    }
    void Free() { std::filesystem::remove(at_ / "filler"); }

private:
    std::filesystem::path at_;
    bool mounted_ = false;
    std::string message_;
};

TEST(ProjectOnFullDisk, DiskFillingAtEveryStageOfTheWriteKeepsTheStoredProject) {
    TempDir dir;
    SmallDisk disk(dir / "disk");
    if (!disk.Mounted()) {
        GTEST_SKIP() << "a small tmpfs cannot be mounted here: " << disk.Message();
    }
    const auto root = dir / "disk" / "P";
    ProjectFolders folders;
    ASSERT_TRUE(WriteS7Project(dir / "disk" / "P.S7P", UpdateProgram(1), folders));
    const Tree stored = Snapshot(root);
    const auto storedBlocks = ReadBack(root / "P.S7P");
    ASSERT_TRUE(storedBlocks);
    int failures = 0;
    for (std::uint64_t room = 0;; room += 4096) {
        SCOPED_TRACE("room " + std::to_string(room));
        disk.LeaveRoom(room);
        const bool written = WriteS7Project(dir / "disk" / "P.S7P", UpdateProgram(2), folders);
        disk.Free();
        if (written) {
            break;
        }
        ++failures;
        EXPECT_TRUE(Snapshot(root) == stored);
        EXPECT_EQ(ReadBack(root / "P.S7P"), storedBlocks);
        ASSERT_LT(room, 1u << 20);
    }
    EXPECT_GT(failures, 5);
    const auto updated = ReadBack(root / "P.S7P");
    ASSERT_TRUE(updated);
    EXPECT_NE(updated, storedBlocks);
    EXPECT_EQ(Entries(dir / "disk"), (std::set<std::string>{"P"}));
}

}  // namespace
}  // namespace vaultra::s7project
