// The container when a write is cut short or a file was left inconsistent: Close replaces the
// file as a whole or not at all, and an index out of order is put in order rather than searched
// wrongly.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <atomic>
#include <cstring>
#include <filesystem>
#include <iterator>
#include <string>
#include <thread>

#include "common/faulty_file_system.h"
#include "common/temp_folder.h"
#include "store/kdf.h"

namespace tarnwick {
namespace {

using testing::TFaultyFileSystem;

using testing::Slurp;
using testing::TempFolder;

constexpr std::uint32_t kReadWrite = kKdfReadAccess | kKdfWriteAccess | kKdfShareRead;

void PutLE32(std::string& bytes, std::size_t at, std::uint32_t v) {
    for (std::size_t k = 0; k < 4; ++k) {
        bytes.at(at + k) = static_cast<char>(v >> (8 * k));
    }
}

std::uint32_t LE32(const std::string& bytes, std::size_t at) {
    std::uint32_t v = 0;
    for (int k = 3; k >= 0; --k) {
        v = v << 8 | static_cast<unsigned char>(bytes.at(at + static_cast<std::size_t>(k)));
    }
    return v;
}

ino_t Inode(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? st.st_ino : 0;
}

class KdfRobustnessTest : public ::testing::Test {
protected:
    // A file of key type 1 holding keys 10, 20 and 30 ("ten", "twenty", "thirty").
    void WriteThree() {
        CKdf kdf;
        ASSERT_TRUE(kdf.Open(path_, 1, kKdfOpenAlways, kReadWrite));
        kdf.WriteString(10, "ten");
        kdf.WriteString(20, "twenty");
        kdf.WriteString(30, "thirty");
        kdf.Close();
    }

    TempFolder temp_;
    const std::string path_ = temp_.File("data.kdf");
};

TEST_F(KdfRobustnessTest, AFailedCloseLeavesTheOldFileAsItWas) {
    WriteThree();
    const std::string before = Slurp(path_);
    // Stopped in the copy of the records, in the header, in the index, at its end.
    for (const long long budget : {0LL, 10LL, 100LL, 400LL, 12644LL}) {
        SCOPED_TRACE(budget);
        TFaultyFileSystem faulty;
        CKdf kdf(faulty);
        ASSERT_TRUE(kdf.Open(path_, 1, kKdfOpenAlways, kReadWrite));
        kdf.WriteString(5, "five");  // a new key in front of the others
        ASSERT_TRUE(kdf.DeleteKey(20));
        faulty.FailAfterBytes = budget;
        EXPECT_THROW(kdf.Close(), CKdfException);
        faulty.FailAfterBytes = -1;
        EXPECT_FALSE(kdf.IsOpen());
        // Header, index and records are the old ones; only the record written since lies
        // behind them, as dead space.
        EXPECT_EQ(Slurp(path_).substr(0, before.size()), before);
        ASSERT_TRUE(kdf.Open(path_, 1, kKdfOpenExisting, kReadWrite));
        EXPECT_EQ(kdf.ReadString(5, 100), "");
        EXPECT_EQ(kdf.ReadString(20, 100), "twenty");
        kdf.Close();
    }
    // No temporary file is left behind.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(temp_.Path()),
                            std::filesystem::directory_iterator()),
              1);
}

TEST_F(KdfRobustnessTest, CloseReplacesTheFileOnlyWhenSomethingChanged) {
    WriteThree();
    const ino_t first = Inode(path_);
    {
        CKdf kdf;
        ASSERT_TRUE(kdf.Open(path_, 1, kKdfOpenAlways, kReadWrite));
        EXPECT_EQ(kdf.ReadString(20, 100), "twenty");
        kdf.Close();
    }
    EXPECT_EQ(Inode(path_), first);  // a burst of reads writes nothing
    ::chmod(path_.c_str(), 0640);
    {
        CKdf kdf;
        ASSERT_TRUE(kdf.Open(path_, 1, kKdfOpenAlways, kReadWrite));
        kdf.WriteString(40, "forty");
        kdf.Close();
    }
    EXPECT_NE(Inode(path_), first);
    struct stat st {};
    ASSERT_EQ(::stat(path_.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);  // the replacement keeps the permissions
    CKdf kdf;
    ASSERT_TRUE(kdf.Open(path_, 1, kKdfOpenExisting, kReadWrite));
    EXPECT_EQ(kdf.ReadString(40, 100), "forty");
    EXPECT_EQ(kdf.ReadString(10, 100), "ten");
}

TEST_F(KdfRobustnessTest, WithoutATemporaryFileCloseWritesInPlace) {
    WriteThree();
    const ino_t first = Inode(path_);
    {
        TFaultyFileSystem faulty;
        CKdf kdf(faulty);
        faulty.TemporaryError = EACCES;
        ASSERT_TRUE(kdf.Open(path_, 1, kKdfOpenAlways, kReadWrite));
        kdf.WriteString(25, "twenty-five");
        kdf.Close();
    }
    EXPECT_EQ(Inode(path_), first);
    CKdf kdf;
    ASSERT_TRUE(kdf.Open(path_, 1, kKdfOpenExisting, kReadWrite));
    EXPECT_EQ(kdf.ReadString(25, 100), "twenty-five");
    EXPECT_EQ(kdf.Header().Count, 4);
}

TEST_F(KdfRobustnessTest, EntriesPastTheCountAreWrittenAsZero) {
    // Whatever lies in the unused entries of a file (here what a torn write or another program
    // might leave), every way of writing the file back leaves them zero and the entries in use
    // as they were.
    enum Way { kByCopy, kInPlace, kRebuilt };
    for (const Way way : {kByCopy, kInPlace, kRebuilt}) {
        SCOPED_TRACE(way);
        WriteThree();
        std::string bytes = Slurp(path_);
        const std::string used = bytes.substr(356, 3 * 12);
        for (std::size_t at = 356 + 3 * 12; at < 356 + 1024 * 12; ++at) {
            bytes[at] = static_cast<char>(0xA5);
        }
        temp_.Write("data.kdf", bytes);
        {
            TFaultyFileSystem faulty;
            CKdf kdf(faulty);
            faulty.TemporaryError = way == kInPlace ? EACCES : 0;
            ASSERT_TRUE(kdf.Open(path_, 1, kKdfOpenExisting, kReadWrite));
            EXPECT_EQ(kdf.Header().Count, 3);
            kdf.SetApplicationName("Changed");  // a change that touches no entry
            if (way == kRebuilt) {
                for (int key = 100; key < 100 + 1100; ++key) {
                    kdf.WriteInteger(key, key);
                }
            }
            kdf.Close();
        }
        const std::string after = Slurp(path_);
        const std::uint32_t capacity = way == kRebuilt ? 1280 : 1024;
        const std::uint32_t count = way == kRebuilt ? 1103 : 3;
        ASSERT_GT(after.size(), 356 + capacity * 12);
        ASSERT_EQ(LE32(after, 84), capacity);
        ASSERT_EQ(LE32(after, 88), count);
        EXPECT_EQ(after.substr(356 + count * 12, (capacity - count) * 12),
                  std::string((capacity - count) * 12, '\0'));
        if (way != kRebuilt) {
            EXPECT_EQ(after.substr(356, 3 * 12), used);  // key, offset and length unchanged
        }
        CKdf kdf;
        ASSERT_TRUE(kdf.Open(path_, 1, kKdfOpenExisting, kReadWrite));
        EXPECT_EQ(kdf.ReadString(20, 100), "twenty");
        std::filesystem::remove(path_);
    }
}

TEST_F(KdfRobustnessTest, ACleanUpAlongsideWritesNeverTakesAWritersTemporaryFile) {
    // Another start clears away leftover temporary files while this process writes the file
    // back again and again: a write-back whose temporary file were taken would fail to rename
    // it, and a leftover one is still removed.
    WriteThree();
    const std::string leftover = temp_.Write("KDFleft01", "what a crash left");
    std::atomic<bool> done{false};
    std::atomic<int> removed{0};
    std::thread cleaner([&] {
        while (!done) {
            removed += CKdf::RemoveLeftoverTemporaryFiles(temp_.Path().string());
        }
    });
    int failures = 0;
    for (int round = 0; round < 150; ++round) {
        CKdf kdf;
        try {
            kdf.Open(path_, 1, kKdfOpenExisting, kReadWrite);
            kdf.WriteInteger(40, round);
            kdf.Close();
        } catch (const CKdfException& e) {
            ++failures;
            ADD_FAILURE() << e.Message();
        }
    }
    done = true;
    cleaner.join();
    EXPECT_EQ(failures, 0);
    // The leftover, and any temporary file caught between its creation and its lock, for which
    // the writer then made another.
    EXPECT_GE(removed, 1);
    EXPECT_FALSE(std::filesystem::exists(leftover));
    CKdf kdf;
    ASSERT_TRUE(kdf.Open(path_, 1, kKdfOpenExisting, kReadWrite));
    EXPECT_EQ(kdf.ReadInteger(40, -1), 149);
}

TEST_F(KdfRobustnessTest, AnIndexOutOfOrderIsPutInOrderKeepingTheFirstOfEqualKeys) {
    WriteThree();
    // As a tear in the middle of an index write leaves it: entries swapped, one repeated with
    // another record, and a zero entry inside the count.
    std::string bytes = Slurp(path_);
    const std::string ten = bytes.substr(356, 12);
    const std::string twenty = bytes.substr(368, 12);
    const std::string thirty = bytes.substr(380, 12);
    std::string staleTwenty = thirty;
    PutLE32(staleTwenty, 0, 20);  // key 20 naming the record of key 30
    const std::string index = thirty + ten + twenty + staleTwenty + std::string(12, '\0');
    bytes.replace(356, index.size(), index);
    PutLE32(bytes, 88, 5);
    temp_.Write("data.kdf", bytes);

    CKdf kdf;
    ASSERT_TRUE(kdf.Open(path_, 1, kKdfOpenExisting, kReadWrite));
    EXPECT_EQ(kdf.Header().Count, 4);  // 0, 10, 20, 30
    EXPECT_EQ(kdf.ReadString(10, 100), "ten");
    EXPECT_EQ(kdf.ReadString(20, 100), "twenty");
    EXPECT_EQ(kdf.ReadString(30, 100), "thirty");
    EXPECT_EQ(kdf.ReadString(0, 100), "");
    kdf.WriteString(15, "fifteen");
    kdf.Close();
    // Written back in order.
    const std::string fixed = Slurp(path_);
    EXPECT_EQ(fixed[88], 5);
    for (std::size_t i = 0; i < 5; ++i) {
        const std::uint32_t expected[] = {0, 10, 15, 20, 30};
        EXPECT_EQ(static_cast<unsigned char>(fixed[356 + i * 12]), expected[i]);
    }
}

TEST_F(KdfRobustnessTest, TextKeysOutOfOrderAreSortedByTheWordComparison) {
    {
        CKdf kdf;
        ASSERT_TRUE(kdf.Open(path_, 4, kKdfOpenAlways, kReadWrite));
        kdf.WriteString("alpha", "a");
        kdf.WriteString("Beta", "b");
        kdf.WriteString("gamma", "g");
        kdf.Close();
    }
    std::string bytes = Slurp(path_);
    const std::size_t entry = 24;
    const std::string first = bytes.substr(356, entry);
    bytes.replace(356, entry, bytes.substr(356 + 2 * entry, entry));
    bytes.replace(356 + 2 * entry, entry, first);  // gamma, Beta, alpha
    temp_.Write("data.kdf", bytes);
    CKdf kdf;
    ASSERT_TRUE(kdf.Open(path_, 0, kKdfOpenExisting, kReadWrite));
    EXPECT_EQ(kdf.ReadString("ALPHA", 10), "a");
    EXPECT_EQ(kdf.ReadString("beta", 10), "b");
    EXPECT_EQ(kdf.ReadString("Gamma", 10), "g");
}

}  // namespace
}  // namespace tarnwick
