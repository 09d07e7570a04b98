#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

#include "common/temp_folder.h"
#include "support/file_stream.h"

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

TEST(FileWriterTest, FaultAfterBytesStopsTheWrite) {
    TempFolder temp;
    TFileWriter::SetFaultAfterBytes(4);
    TFileWriter writer(temp.File("f"));
    writer.Write("123456");
    EXPECT_THROW(writer.Close(), EWriteError);
    TFileWriter::SetFaultAfterBytes(-1);
    EXPECT_EQ(Slurp(temp.File("f")), "1234");
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
    EXPECT_THROW(ReadFileBytes(temp.File("none")), EFOpenError);
    EXPECT_THROW(ReadFileBytes(temp.Path().string()), EFOpenError);
}

TEST(FileWriterTest, AFileLockedByAnotherWriterIsReportedAsInUse) {
    TempFolder temp;
    const std::string path = temp.Write("locked.hhk", "old");
    const int fd = ::open(path.c_str(), O_RDONLY);
    ASSERT_EQ(::flock(fd, LOCK_EX), 0);  // flock locks are per open file, so this competes
    EXPECT_THROW(TFileWriter(path, 100), EFCreateError);
    EXPECT_EQ(Slurp(path), "old");  // not truncated while someone else holds it
    ::close(fd);
    TFileWriter writer(path, 100);
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
        // Left without Close, as after an exception: the same.
        TFileWriter writer(path);
        writer.Reserve(64 << 20);
        writer.Write(std::string(3 << 20, 'z'));
    }
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_size, 3 << 20);
    EXPECT_LT(st.st_blocks * 512, 8 << 20);
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
    EXPECT_THROW(TFileWriter(path, 100), EFCreateError);

    // With a reader it is written as usual.
    const int reader = ::open(path.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    {
        TFileWriter writer(path, 100);
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
