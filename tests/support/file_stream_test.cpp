#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

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

}  // namespace
}  // namespace tarnwick
