#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <iterator>

#include "common/temp_folder.h"
#include "platform/file_system.h"

namespace tarnwick {
namespace {

using testing::Slurp;
using testing::TempFolder;

TEST(FileWriterTest, ReplacesALongerOldFile) {
    TempFolder temp;
    const std::string path = temp.Write("out.txt", std::string(5000, 'x'));
    TFileWriter writer(path);
    writer.Write("short");
    writer.Write(std::string(3 << 20, 'y'));  // larger than the buffer
    writer.Write("end");
    writer.Close();
    const std::string bytes = Slurp(path);
    EXPECT_EQ(bytes.size(), 5u + (3u << 20) + 3u);
    EXPECT_EQ(bytes.substr(0, 6), "shorty");
    EXPECT_EQ(bytes.substr(bytes.size() - 4), "yend");
}

TEST(FileWriterTest, FullDiskIsAWriteErrorNotSuccess) {
    TFileWriter writer("/dev/full");
    writer.Write("some bytes");
    EXPECT_THROW(writer.Close(), EWriteError);
}

// What a kill or a crash leaves: a writer that never reaches Close puts nothing in place, and the
// temporary file it leaves is removed by the next write of the same file - unless a live writer
// still holds it.
TEST(FileWriterTest, AnInterruptedWriteLeavesTheOldFileAndIsCleanedUpLater) {
    TempFolder temp;
    const std::string path = temp.Write("list.txt", "old\r\n");
    {
        TFileWriter writer(path);
        writer.Write(std::string(3 << 20, 'n'));
    }
    EXPECT_EQ(Slurp(path), "old\r\n");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(temp.Path()), {}), 1);

    const std::string leftover = temp.Write(".list.txt.tarnwick-Ab3xYz", "half");
    const std::string other = temp.Write(".other.txt.tarnwick-Ab3xYz", "half");
    const std::string live = temp.Write(".list.txt.tarnwick-Live00", "busy");
    const std::string unrelated = temp.Write(".list.txt.tarnwick-toolong", "mine");
    const int liveFd = ::open(live.c_str(), O_RDONLY);
    ASSERT_EQ(::flock(liveFd, LOCK_EX), 0);
    TFileWriter writer(path);
    writer.Write("new\r\n");
    writer.Close();
    EXPECT_EQ(Slurp(path), "new\r\n");
    EXPECT_FALSE(std::filesystem::exists(leftover));
    EXPECT_TRUE(std::filesystem::exists(other));  // another file's: left to its own next write
    EXPECT_TRUE(std::filesystem::exists(live));
    EXPECT_TRUE(std::filesystem::exists(unrelated));
    ::close(liveFd);
    EXPECT_EQ(RemoveLeftoverTemporaries(temp.Path().string()), 2);
    EXPECT_TRUE(std::filesystem::exists(unrelated));
}

// The new file takes the old one's permissions (a read-only list stays read-only); a symbolic link
// at the path is followed and stays a link.
TEST(FileWriterTest, ReplacementKeepsPermissionsAndLinks) {
    TempFolder temp;
    const std::string path = temp.Write("words.txt", "old");
    ASSERT_EQ(::chmod(path.c_str(), 0440), 0);
    const std::string link = temp.File("link.txt");
    ASSERT_EQ(::symlink("words.txt", link.c_str()), 0);
    TFileWriter writer(link);
    writer.Write("new");
    writer.Close();
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(Slurp(path), "new");
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0440u);
    EXPECT_TRUE(writer.BackupPath().empty());
}

TEST(FileWriterTest, CreateAndOpenErrorsNameTheFile) {
    TempFolder temp;
    try {
        TFileWriter writer(temp.File("missing/out.txt"));
        FAIL();
    } catch (const EFCreateError& e) {
        EXPECT_NE(std::string(e.what()).find("Cannot create file \"" +
                                             temp.File("missing/out.txt") + "\". No such file"),
                  std::string::npos);
    }
    EXPECT_THROW(ReadRegularFile(temp.File("none"), 100, "a list"), EFOpenError);
    EXPECT_THROW(ReadRegularFile(temp.Path().string(), 100, "a list"), EFOpenError);
    const std::string big = temp.Write("big", std::string(101, 'b'));
    EXPECT_EQ(ReadRegularFile(big, 101, "a list").size(), 101u);
    try {
        ReadRegularFile(big, 100, "a list");
        FAIL();
    } catch (const EFOpenError& e) {
        EXPECT_STREQ(e.what(), ("Cannot open file \"" + big +
                                "\". It is larger than 100 bytes, too large for a list.")
                                   .c_str());
    }
}

TEST(FileWriterTest, AFileLockedByAnotherWriterIsReportedAsInUse) {
    TempFolder temp;
    const std::string path = temp.Write("locked.hhk", "old");
    const int fd = ::open(path.c_str(), O_RDONLY);
    ASSERT_EQ(::flock(fd, LOCK_EX), 0);  // flock locks are per open file, so this competes
    EXPECT_THROW(TFileWriter(path, {.LockWaitMs = 100}), EFCreateError);
    EXPECT_EQ(Slurp(path), "old");  // not replaced while someone else holds it
    ::close(fd);
    TFileWriter writer(path, {.LockWaitMs = 100});
    writer.Close();
    EXPECT_EQ(Slurp(path), "");
}

// A reservation sets space aside but never shows in the file: a run that stops early (a cancel, a
// failed write) leaves exactly the bytes written, and the space it did not use is given back.
TEST(FileWriterTest, ReservedSpaceNeverChangesTheFileOrOutlivesIt) {
    TempFolder temp;
    const std::string path = temp.Write("index.hhk", std::string(70000, 'o'));
    {
        TFileWriter writer(path);
        writer.Reserve(64 << 20);
        writer.Write("head");
        std::memcpy(writer.Room(5), "12345", 5);
        writer.Close();
    }
    EXPECT_EQ(Slurp(path), "head12345");
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_LT(st.st_blocks * 512, 1 << 20);

    {
        // Left without Close, as after an exception: the file is not replaced.
        TFileWriter writer(path);
        writer.Reserve(64 << 20);
        writer.Write(std::string(3 << 20, 'z'));
    }
    EXPECT_EQ(Slurp(path), "head12345");
}

TEST(FileWriterTest, RoomFillsTheBufferInOrderAcrossFlushes) {
    TempFolder temp;
    TFileWriter writer(temp.File("f"));
    std::string expected;
    // Pieces that do not divide the buffer's size, so that some land right at its end.
    for (int i = 0; i < 3000; ++i) {
        const std::string piece(1000 + i % 7, static_cast<char>('a' + i % 26));
        std::memcpy(writer.Room(piece.size()), piece.data(), piece.size());
        writer.Write("|");
        expected += piece + "|";
    }
    EXPECT_THROW(writer.Room(TFileWriter::kBufferSize + 1), EWriteError);
    writer.Close();
    EXPECT_EQ(Slurp(temp.File("f")), expected);
}

// A named pipe that nobody reads would block the open for ever.
TEST(FileWriterTest, APipeWithoutReaderIsAnErrorNotAHang) {
    TempFolder temp;
    const std::string path = temp.File("fifo");
    ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
    EXPECT_THROW(TFileWriter(path, {.LockWaitMs = 100}), EFCreateError);

    // With a reader it is written as usual.
    const int reader = ::open(path.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    {
        TFileWriter writer(path, {.LockWaitMs = 100});
        writer.Write("through the pipe");
        writer.Close();
    }
    char bytes[64] = {};
    EXPECT_EQ(::read(reader, bytes, sizeof bytes), 16);
    EXPECT_STREQ(bytes, "through the pipe");
    ::close(reader);
}

}  // namespace
}  // namespace tarnwick
