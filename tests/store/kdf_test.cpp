#include "store/kdf.h"

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <numeric>
#include <string>
#include <vector>

#include "common/faulty_file_system.h"
#include "common/temp_folder.h"

namespace tarnwick {
namespace {

using testing::TFaultyFileSystem;

using testing::Slurp;
using testing::TempFolder;

constexpr std::uint32_t kReadWrite = kKdfReadAccess | kKdfWriteAccess | kKdfShareRead;

std::uint32_t LE32(const std::string& bytes, std::size_t at) {
    std::uint32_t v = 0;
    for (int k = 3; k >= 0; --k) {
        v = v << 8 | static_cast<unsigned char>(bytes.at(at + static_cast<std::size_t>(k)));
    }
    return v;
}

void PutLE32(std::string& bytes, std::size_t at, std::uint32_t v) {
    for (std::size_t k = 0; k < 4; ++k) {
        bytes.at(at + k) = static_cast<char>(v >> (8 * k));
    }
}

class KdfTest : public ::testing::Test {
protected:
    std::string Record(CKdf& kdf, const CKdfKey& key) {
        std::string buffer(100000, '\0');
        buffer.resize(kdf.ReadData(key, buffer.data(), buffer.size()));
        return buffer;
    }

    // Writes keys 1..count with records "r<key>" of varying length, replacing every tenth one
    // with a longer record, so that the file holds dead space before Close.
    void WriteMany(CKdf& kdf, int count) {
        for (int key = 1; key <= count; ++key) {
            kdf.WriteString(key, "r" + std::to_string(key));
        }
        for (int key = 10; key <= count; key += 10) {
            kdf.WriteString(key, "longer record " + std::to_string(key));
        }
    }

    static std::string Expected(int key) {
        return key % 10 == 0 ? "longer record " + std::to_string(key) : "r" + std::to_string(key);
    }

    // Header and index of the file on disk agree, and the records are packed in index order
    // right behind the index.
    void ExpectPacked(const std::string& bytes, std::uint32_t capacity) {
        ASSERT_EQ(LE32(bytes, 84), capacity);
        const std::uint32_t count = LE32(bytes, 88);
        std::size_t offset = 356 + capacity * 12;
        std::uint32_t previousKey = 0;
        for (std::uint32_t i = 0; i < count; ++i) {
            const std::size_t entry = 356 + i * 12;
            EXPECT_GT(LE32(bytes, entry), previousKey);
            previousKey = LE32(bytes, entry);
            ASSERT_EQ(LE32(bytes, entry + 4), offset) << "entry " << i;
            offset += LE32(bytes, entry + 8);
        }
        EXPECT_EQ(bytes.size(), offset);
    }

    TempFolder temp_;
    const std::string path_ = temp_.File("data.kdf");
};

TEST_F(KdfTest, NewIntegerFileHasItsFieldsAtTheirOffsets) {
    CKdf kdf;
    ASSERT_TRUE(kdf.Open(path_, 1, kKdfOpenAlways, kReadWrite));
    kdf.Close();
    const std::string bytes = Slurp(path_);
    ASSERT_EQ(bytes.size(), 12644u);
    EXPECT_EQ(bytes.substr(0, 44), std::string(44, '\0'));  // reserved, signature, reserved
    EXPECT_EQ(bytes.substr(44, 32), std::string("KDF_FILE 2.0") + std::string(20, '\0'));
    EXPECT_EQ(bytes.substr(76, 4), std::string("\x01\0\0\0", 4));  // key type and padding
    EXPECT_EQ(LE32(bytes, 80), 12u);
    EXPECT_EQ(LE32(bytes, 84), 1024u);
    EXPECT_EQ(LE32(bytes, 88), 0u);
    EXPECT_EQ(LE32(bytes, 92), 0u);
    EXPECT_EQ(LE32(bytes, 96), 0u);
    EXPECT_EQ(bytes.substr(100), std::string(12644 - 100, '\0'));
}

TEST_F(KdfTest, RecordsAndIndexAreLittleEndianAndFlagged) {
    CKdf kdf;
    ASSERT_TRUE(kdf.Open(path_, 1, kKdfOpenAlways, kReadWrite));
    kdf.WriteData(0x01020304, "abc", 3);
    ASSERT_TRUE(kdf.SetApplicationName("An application name of more than 31 characters"));
    kdf.Close();
    EXPECT_FALSE(kdf.SetApplicationName("closed"));
    const std::string bytes = Slurp(path_);
    EXPECT_EQ(bytes.substr(44, 32), std::string("An application name of more tha") + '\0');
    EXPECT_EQ(LE32(bytes, 88), 1u);
    EXPECT_EQ(LE32(bytes, 92), 3u);
    EXPECT_EQ(LE32(bytes, 96), 1u);
    EXPECT_EQ(bytes.substr(356, 4), "\x04\x03\x02\x01");
    EXPECT_EQ(LE32(bytes, 360), 12644u);
    EXPECT_EQ(LE32(bytes, 364), 3u);
    EXPECT_EQ(bytes.substr(12644), "abc");
}

TEST_F(KdfTest, GrowingPastTheCapacityRebuildsAPackedFile) {
    {
        CKdf kdf;
        ASSERT_TRUE(kdf.Open(path_, 1, kKdfOpenAlways, kReadWrite));
        WriteMany(kdf, 1000);
        for (int key = 1001; key <= 1024; ++key) {
            kdf.WriteString(key, Expected(key));
        }
        EXPECT_EQ(kdf.Header().Capacity, 1024);
        EXPECT_FALSE(kdf.NeedsRebuild());
        kdf.WriteString(1025, Expected(1025));
        EXPECT_EQ(kdf.Header().Capacity, 1280);
        EXPECT_TRUE(kdf.NeedsRebuild());
        kdf.Close();
    }
    const std::string bytes = Slurp(path_);
    ExpectPacked(bytes, 1280);
    EXPECT_EQ(LE32(bytes, 88), 1025u);
    for (const auto& entry : std::filesystem::directory_iterator(temp_.Path())) {
        EXPECT_EQ(entry.path().filename(), "data.kdf");  // no temporary file left behind
    }
    CKdf kdf;
    ASSERT_TRUE(kdf.Open(path_, 1, kKdfOpenExisting, kReadWrite));
    for (int key = 1; key <= 1025; ++key) {
        ASSERT_EQ(kdf.ReadString(key, 100), Expected(key)) << key;
    }
}

TEST_F(KdfTest, WithoutATemporaryFileCloseGrowsTheIndexInPlace) {
    {
        TFaultyFileSystem faulty;
        CKdf kdf(faulty);
        ASSERT_TRUE(kdf.Open(path_, 1, kKdfOpenAlways, kReadWrite));
        WriteMany(kdf, 1000);
        kdf.Close();
        ASSERT_TRUE(kdf.Open(path_, 1, kKdfOpenAlways, kReadWrite));
        WriteMany(kdf, 1300);
        faulty.TemporaryError = EACCES;
        kdf.Close();
    }
    const std::string bytes = Slurp(path_);
    ASSERT_EQ(LE32(bytes, 84), 1536u);  // two growths, both on disk
    ASSERT_EQ(LE32(bytes, 88), 1300u);
    for (std::uint32_t i = 0; i < 1300; ++i) {
        EXPECT_GE(LE32(bytes, 356 + i * 12 + 4), 356u + 1536u * 12u);  // no record in the index
    }
    CKdf kdf;
    ASSERT_TRUE(kdf.Open(path_, 1, kKdfOpenExisting, kReadWrite));
    for (int key = 1; key <= 1300; ++key) {
        ASSERT_EQ(kdf.ReadString(key, 100), Expected(key)) << key;
    }
}

TEST_F(KdfTest, LongerRewritesAppendShorterOnesOverwrite) {
    CKdf kdf;
    ASSERT_TRUE(kdf.Open(path_, 1, kKdfOpenAlways, kReadWrite));
    kdf.WriteData(7, "abcd", 4);
    EXPECT_EQ(std::filesystem::file_size(path_), 12644u + 4);
    kdf.WriteData(7, "abcdefgh", 8);  // appended: the old four bytes stay as dead space
    EXPECT_EQ(std::filesystem::file_size(path_), 12644u + 12);
    EXPECT_EQ(Record(kdf, 7), "abcdefgh");
    kdf.WriteData(7, "xyz", 3);  // in place
    EXPECT_EQ(std::filesystem::file_size(path_), 12644u + 12);
    EXPECT_EQ(Record(kdf, 7), "xyz");
    kdf.Close();
    const std::string bytes = Slurp(path_);
    EXPECT_EQ(LE32(bytes, 360), 12644u + 4);
    EXPECT_EQ(LE32(bytes, 364), 3u);
    EXPECT_EQ(LE32(bytes, 92), 8u);  // largest record: an upper bound
    EXPECT_EQ(bytes.substr(12644), "abcdxyzdefgh");
}

TEST_F(KdfTest, IntegerKeysSortUnsigned) {
    CKdf kdf;
    ASSERT_TRUE(kdf.Open(path_, 1, kKdfOpenAlways, kReadWrite));
    kdf.WriteInteger(0xFFFFFFFFu, 3);
    kdf.WriteInteger(1, 1);
    kdf.WriteInteger(0x80000000u, 2);
    EXPECT_EQ(kdf.ReadInteger(-1, 0), 3);  // the same key as 0xFFFFFFFF
    kdf.Close();
    const std::string bytes = Slurp(path_);
    EXPECT_EQ(LE32(bytes, 356), 1u);
    EXPECT_EQ(LE32(bytes, 368), 0x80000000u);
    EXPECT_EQ(LE32(bytes, 380), 0xFFFFFFFFu);
}

TEST_F(KdfTest, TextKeysFitTheirKeySizeAndIgnoreCase) {
    for (std::int16_t type = 2; type <= 10; ++type) {
        SCOPED_TRACE(type);
        const std::string file = temp_.File("type" + std::to_string(type));
        CKdf kdf;
        ASSERT_TRUE(kdf.Open(file, type, kKdfCreateNew, kReadWrite));
        const std::size_t keySize = static_cast<std::size_t>(CKdf::KeySizeOf(type));
        EXPECT_EQ(kdf.Header().EntrySize, static_cast<int>(keySize + 8));
        const std::string longest(keySize - 1, 'k');
        kdf.WriteString(longest, "fits");
        EXPECT_EQ(kdf.ReadString(std::string(keySize - 1, 'K'), 10), "fits");
        try {
            kdf.WriteString(longest + "k", "too long");
            ADD_FAILURE() << "a key of key size characters was accepted";
        } catch (const CKdfException& e) {
            EXPECT_EQ(e.Code(), kKdfKeyTypeMismatch);
            EXPECT_EQ(e.Message(), file + "\r\nThe index key type does not match");
        }
        EXPECT_THROW(kdf.WriteString(5, "an integer key"), CKdfException);
        kdf.Close();
        EXPECT_EQ(std::filesystem::file_size(file), 356 + 1024 * (keySize + 8) + 5);
    }
}

TEST_F(KdfTest, TextKeysSortByTheWordComparison) {
    CKdf kdf;
    ASSERT_TRUE(kdf.Open(path_, 5, kKdfOpenAlways, kReadWrite));
    for (const char* key : {"beta", "Alpha", "\xC9tude", "alpha"}) {  // alpha replaces Alpha
        kdf.WriteString(key, key);
    }
    EXPECT_EQ(kdf.Header().Count, 3);
    EXPECT_EQ(kdf.ReadString("ALPHA", 10), "alpha");
    EXPECT_EQ(kdf.ReadString("Etude", 10), "");  // accents matter: not the same key
    EXPECT_EQ(kdf.ReadString("\xC9TUDE", 10), "\xC9tude");
    kdf.Close();
    const std::string bytes = Slurp(path_);
    EXPECT_EQ(std::string(bytes.c_str() + 356), "alpha");
    EXPECT_EQ(std::string(bytes.c_str() + 396), "beta");
    EXPECT_EQ(std::string(bytes.c_str() + 436), "\xC9tude");
}

TEST_F(KdfTest, IntegerAndStringHelpers) {
    CKdf kdf;
    ASSERT_TRUE(kdf.Open(path_, 1, kKdfOpenAlways, kReadWrite));
    EXPECT_EQ(kdf.ReadInteger(1, -5), -5);
    kdf.WriteInteger(1, -123456);
    EXPECT_EQ(kdf.ReadInteger(1, 0), -123456);
    kdf.WriteData(2, "\x11\x22", 2);  // a short record replaces the low bytes of the default
    EXPECT_EQ(static_cast<std::uint32_t>(kdf.ReadInteger(2, 0x7F000000)), 0x7F002211u);

    kdf.WriteString(3, "kept");
    kdf.WriteString(3, "");
    EXPECT_EQ(kdf.ReadString(3, 100), "kept");
    EXPECT_EQ(kdf.ReadString(3, 3), "ke");
    EXPECT_EQ(kdf.ReadString(3, 1), "");
    EXPECT_EQ(kdf.ReadString(3, 0), "");
    EXPECT_EQ(kdf.ReadString(99, 100), "");
    char small[2];
    EXPECT_EQ(kdf.ReadData(3, small, sizeof small), 2u);
    EXPECT_EQ(kdf.ReadData(99, small, sizeof small), 0u);
}

TEST_F(KdfTest, DeletingTheLargestRecordLowersTheLargestRecord) {
    CKdf kdf;
    ASSERT_TRUE(kdf.Open(path_, 1, kKdfOpenAlways, kReadWrite));
    kdf.WriteData(1, std::string(10, 'a').data(), 10);
    kdf.WriteData(2, std::string(30, 'b').data(), 30);
    kdf.WriteData(3, std::string(20, 'c').data(), 20);
    EXPECT_EQ(kdf.Header().LargestRecord, 30);
    EXPECT_TRUE(kdf.DeleteKey(2));
    EXPECT_EQ(kdf.Header().LargestRecord, 20);
    EXPECT_FALSE(kdf.DeleteKey(2));
    EXPECT_TRUE(kdf.DeleteKey(1));
    EXPECT_EQ(kdf.Header().LargestRecord, 20);
    kdf.Close();
    ASSERT_TRUE(kdf.Open(path_, 1, kKdfOpenAlways, kReadWrite));
    EXPECT_EQ(kdf.Header().Count, 1);
    EXPECT_EQ(Record(kdf, 3), std::string(20, 'c'));
    EXPECT_EQ(Record(kdf, 1), "");
}

TEST_F(KdfTest, ClosedContainerReadsNothingAndWritesNothing) {
    CKdf kdf;
    EXPECT_FALSE(kdf.IsOpen());
    EXPECT_FALSE(kdf.Open("", 1, kKdfOpenAlways, kReadWrite));
    kdf.WriteString(1, "ignored");
    EXPECT_EQ(kdf.ReadInteger(1, 42), 42);
    EXPECT_EQ(kdf.ReadString(1, 10), "");
    EXPECT_FALSE(kdf.DeleteKey(1));
    kdf.Close();
    EXPECT_EQ(kdf.Header().ApplicationNameText(), "KDF_FILE 2.0");
}

TEST_F(KdfTest, KeyTypeIsCheckedOnOpen) {
    {
        CKdf kdf;
        ASSERT_TRUE(kdf.Open(path_, 3, kKdfOpenAlways, kReadWrite));
        kdf.WriteString("ab", "x");
    }
    CKdf kdf;
    try {
        kdf.Open(path_, 1, kKdfOpenAlways, kReadWrite);
        ADD_FAILURE() << "another key type was accepted";
    } catch (const CKdfException& e) {
        EXPECT_EQ(e.Code(), kKdfKeyTypeMismatch);
        EXPECT_FALSE(e.IsSystemError());
        EXPECT_EQ(KdfLastErrorRecord().Code, kKdfKeyTypeMismatch);
        EXPECT_EQ(KdfLastErrorRecord().FileName, path_);
    }
    EXPECT_FALSE(kdf.IsOpen());
    ASSERT_TRUE(kdf.Open(path_, 0, kKdfOpenExisting, kReadWrite));  // any stored type
    EXPECT_EQ(kdf.Header().KeyType, 3);
    EXPECT_EQ(kdf.KeySize(), 8);
    EXPECT_EQ(kdf.ReadString("AB", 10), "x");
    kdf.Close();
    EXPECT_THROW(kdf.Open(temp_.File("new.kdf"), 0, kKdfOpenAlways, kReadWrite), CKdfException);
    EXPECT_FALSE(std::filesystem::exists(temp_.File("new.kdf")));  // no key type: not created
    EXPECT_THROW(kdf.Open(temp_.File("new.kdf"), 11, kKdfOpenAlways, kReadWrite), CKdfException);
}

TEST_F(KdfTest, DispositionsAndSystemErrors) {
    CKdf kdf;
    try {
        kdf.Open(temp_.File("missing.kdf"), 1, kKdfOpenExisting, kReadWrite);
        ADD_FAILURE();
    } catch (const CKdfException& e) {
        EXPECT_TRUE(e.IsSystemError());
        EXPECT_EQ(e.Code(), ENOENT);
        EXPECT_EQ(e.Message(), temp_.File("missing.kdf") + "\r\nNo such file or directory");
    }
    ASSERT_TRUE(kdf.Open(path_, 1, kKdfCreateNew, kReadWrite));
    kdf.WriteString(1, "old");
    kdf.Close();
    EXPECT_THROW(kdf.Open(path_, 1, kKdfCreateNew, kReadWrite), CKdfException);
    EXPECT_EQ(KdfLastErrorRecord().Code, EEXIST);
    ASSERT_TRUE(kdf.Open(path_, 1, kKdfOpenExisting, kReadWrite));  // an existing file is read
    EXPECT_EQ(kdf.ReadString(1, 10), "old");
    ASSERT_TRUE(kdf.Open(path_, 1, kKdfCreateAlways, kReadWrite));  // ... or started afresh
    EXPECT_EQ(kdf.Header().Count, 0);
    kdf.Close();
    EXPECT_EQ(std::filesystem::file_size(path_), 12644u);
    EXPECT_THROW(kdf.Open(temp_.Path().string(), 1, kKdfOpenAlways, kKdfReadAccess), CKdfException);
}

TEST_F(KdfTest, AMissingMediumIsCodeFive) {
    // Opening a socket fails with ENXIO, the error of a device that is not there.
    const std::string socketPath = temp_.File("s");
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, socketPath.c_str(), sizeof address.sun_path - 1);
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    CKdf kdf;
    try {
        kdf.Open(socketPath, 1, kKdfOpenAlways, kReadWrite);
        ADD_FAILURE();
    } catch (const CKdfException& e) {
        EXPECT_EQ(e.Code(), kKdfNotReady);
        EXPECT_EQ(e.Description(), "The drive is not ready");
    }
    ::close(fd);
}

TEST_F(KdfTest, AReadOnlyContainerRefusesChangesAndLeavesTheFileAlone) {
    {
        CKdf kdf;
        ASSERT_TRUE(kdf.Open(path_, 1, kKdfOpenAlways, kReadWrite));
        kdf.WriteString(1, "value");
    }
    const std::string before = Slurp(path_);
    CKdf reader;
    CKdf other;
    ASSERT_TRUE(reader.Open(path_, 1, kKdfOpenExisting, kKdfReadAccess | kKdfShareRead));
    ASSERT_TRUE(other.Open(path_, 1, kKdfOpenExisting, kKdfReadAccess | kKdfShareRead));
    EXPECT_EQ(reader.ReadString(1, 10), "value");
    try {
        reader.WriteString(2, "x");
        ADD_FAILURE();
    } catch (const CKdfException& e) {
        EXPECT_EQ(e.Code(), kKdfReadOnly);
    }
    EXPECT_THROW(reader.DeleteKey(1), CKdfException);
    reader.Close();
    other.Close();
    EXPECT_EQ(Slurp(path_), before);
}

TEST_F(KdfTest, AWriterLockKeepsOthersOut) {
    CKdf writer;
    ASSERT_TRUE(writer.Open(path_, 1, kKdfOpenAlways, kReadWrite));
    CKdf second;
    second.LockWaitMs = 50;
    try {
        second.Open(path_, 1, kKdfOpenAlways, kReadWrite);
        ADD_FAILURE();
    } catch (const CKdfException& e) {
        EXPECT_TRUE(e.IsSystemError());
        EXPECT_NE(e.Description().find("being used by another process"), std::string::npos);
    }
    t_KdfHeader header;
    EXPECT_FALSE(CKdf::ReadFileHeader(path_, header));  // locked: not read, no exception
    writer.Close();
    ASSERT_TRUE(second.Open(path_, 1, kKdfOpenAlways, kReadWrite));
}

TEST_F(KdfTest, ReadFileHeaderAndApplicationName) {
    t_KdfHeader header;
    std::string name;
    EXPECT_FALSE(CKdf::ReadFileHeader("", header));
    EXPECT_FALSE(CKdf::ReadFileHeader(temp_.File("missing"), header));
    EXPECT_EQ(header.SignatureText(), "Fernhollow Software Data File");  // the defaults
    EXPECT_FALSE(CKdf::ReadApplicationName(temp_.Write("empty", ""), name));
    try {
        CKdf::ReadApplicationName(temp_.Write("short", std::string(100, 'x')), name);
        ADD_FAILURE();
    } catch (const CKdfException& e) {
        EXPECT_EQ(e.Code(), kKdfDamaged);
        EXPECT_EQ(e.FileName(), temp_.File("short"));
    }
    {
        CKdf kdf;
        ASSERT_TRUE(kdf.Open(path_, 1, kKdfOpenAlways, kReadWrite));
        kdf.SetApplicationName("Tarnwick");
    }
    ASSERT_TRUE(CKdf::ReadApplicationName(path_, name));
    EXPECT_EQ(name, "Tarnwick");
    ASSERT_TRUE(CKdf::ReadFileHeader(path_, header));
    EXPECT_EQ(header.Capacity, 1024);
    EXPECT_EQ(header.SignatureText(), "");
}

// Each case breaks one field of a sound file; opening it must report the damage, not read out of
// bounds or trust the field.
struct DamageCase {
    const char* name;
    void (*breakIt)(std::string& bytes);
};

class KdfDamageTest : public KdfTest, public ::testing::WithParamInterface<DamageCase> {};

TEST_P(KdfDamageTest, IsReportedAsDamaged) {
    {
        CKdf kdf;
        ASSERT_TRUE(kdf.Open(path_, 1, kKdfOpenAlways, kReadWrite));
        kdf.WriteString(1, "first");
        kdf.WriteString(2, "second");
    }
    std::string bytes = Slurp(path_);
    GetParam().breakIt(bytes);
    temp_.Write("data.kdf", bytes);
    CKdf kdf;
    try {
        kdf.Open(path_, 0, kKdfOpenAlways, kReadWrite);
        ADD_FAILURE() << "opened";
    } catch (const CKdfException& e) {
        EXPECT_EQ(e.Code(), kKdfDamaged);
        EXPECT_EQ(e.Message().rfind(path_ + "\r\nThe data file is damaged: ", 0), 0u)
            << e.Message();
    }
    EXPECT_FALSE(kdf.IsOpen());
    EXPECT_EQ(Slurp(path_), bytes);  // a damaged file is reported, not rewritten
}

INSTANTIATE_TEST_SUITE_P(
    Fields, KdfDamageTest,
    ::testing::Values(
        DamageCase{"CutInsideHeader", [](std::string& b) { b.resize(200); }},
        DamageCase{"CutInsideIndex", [](std::string& b) { b.resize(5000); }},
        DamageCase{"CountAboveCapacity", [](std::string& b) { PutLE32(b, 88, 1025); }},
        DamageCase{"NegativeCount", [](std::string& b) { PutLE32(b, 88, 0xFFFFFFFFu); }},
        DamageCase{"HugeCapacity", [](std::string& b) { PutLE32(b, 84, 0x7FFFFFFFu); }},
        DamageCase{"EntrySizeOfAnotherType", [](std::string& b) { PutLE32(b, 80, 16); }},
        DamageCase{"UnknownKeyType", [](std::string& b) { b[76] = 42; }},
        DamageCase{"RecordPastTheEnd", [](std::string& b) { PutLE32(b, 372, 12655); }},
        DamageCase{"RecordInsideTheIndex", [](std::string& b) { PutLE32(b, 360, 400); }},
        DamageCase{"NegativeLength", [](std::string& b) { PutLE32(b, 364, 0xFFFFFFF0u); }},
        DamageCase{"NegativeOffset", [](std::string& b) { PutLE32(b, 360, 0x80000000u); }}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(KdfTest, AnUnderstatedLargestRecordIsCorrected) {
    {
        CKdf kdf;
        ASSERT_TRUE(kdf.Open(path_, 1, kKdfOpenAlways, kReadWrite));
        kdf.WriteString(1, "a record of some length");
    }
    std::string bytes = Slurp(path_);
    PutLE32(bytes, 92, 2);
    temp_.Write("data.kdf", bytes);
    CKdf kdf;
    ASSERT_TRUE(kdf.Open(path_, 1, kKdfOpenAlways, kReadWrite));
    EXPECT_EQ(kdf.Header().LargestRecord, 24);
}

TEST_F(KdfTest, AnEmptyFileStartsAsANewOne) {
    temp_.Write("data.kdf", "");
    CKdf kdf;
    ASSERT_TRUE(kdf.Open(path_, 1, kKdfOpenAlways, kReadWrite));
    kdf.Close();
    EXPECT_EQ(std::filesystem::file_size(path_), 12644u);
}

TEST_F(KdfTest, AFullDiskIsASystemError) {
    TFaultyFileSystem faulty;
    CKdf kdf(faulty);
    faulty.FailAfterBytes = 100;  // the new file's header and index do not fit
    try {
        kdf.Open(path_, 1, kKdfOpenAlways, kReadWrite);
        ADD_FAILURE();
    } catch (const CKdfException& e) {
        EXPECT_TRUE(e.IsSystemError());
        EXPECT_EQ(e.Code(), ENOSPC);
        EXPECT_EQ(e.Description(), "No space left on device");
    }
    EXPECT_FALSE(kdf.IsOpen());
    EXPECT_FALSE(std::filesystem::exists(path_));  // the half-made file is not left behind
}

TEST_F(KdfTest, ANameThatIsNoRegularFileIsRefusedAtOnce) {
    // A pipe would wait for a writer for ever and /dev/zero would never end: should either be
    // waited on or read, the alarm ends the test run instead of hanging it.
    ::alarm(20);
    ASSERT_EQ(::mkfifo(temp_.File("pipe").c_str(), 0600), 0);
    ASSERT_EQ(::symlink("/dev/zero", temp_.File("zero").c_str()), 0);
    std::filesystem::create_directory(temp_.File("folder"));
    struct Case {
        std::string path;
        int code;
        const char* description;
    };
    const Case cases[] = {
        {temp_.File("pipe"), EINVAL, "Is a named pipe, not a regular file"},
        {temp_.File("zero"), EINVAL, "Is a device, not a regular file"},
        {"/dev/full", EINVAL, "Is a device, not a regular file"},
        {temp_.File("folder"), EISDIR, "Is a directory"},
    };
    auto expectRefused = [](const Case& c, const CKdfException& e) {
        EXPECT_TRUE(e.IsSystemError());
        EXPECT_EQ(e.Code(), c.code);
        EXPECT_EQ(e.Message(), c.path + "\r\n" + c.description);
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        for (const std::uint32_t flags :
             {kReadWrite, kKdfReadAccess | kKdfShareRead, std::uint32_t{kKdfReadAccess}}) {
            for (const int disposition : {kKdfOpenAlways, kKdfOpenExisting, kKdfCreateAlways}) {
                CKdf kdf;
                try {
                    kdf.Open(c.path, 1, disposition, flags);
                    ADD_FAILURE() << "opened";
                } catch (const CKdfException& e) {
                    expectRefused(c, e);
                }
                EXPECT_FALSE(kdf.IsOpen());
            }
        }
        t_KdfHeader header;
        try {
            CKdf::ReadFileHeader(c.path, header);
            ADD_FAILURE() << "read";
        } catch (const CKdfException& e) {
            expectRefused(c, e);
        }
    }
    ::alarm(0);
    // Nothing was made of them.
    EXPECT_TRUE(std::filesystem::is_fifo(temp_.File("pipe")));
    EXPECT_EQ(std::filesystem::read_symlink(temp_.File("zero")), "/dev/zero");
    EXPECT_TRUE(std::filesystem::is_empty(temp_.File("folder")));
}

TEST_F(KdfTest, NoFileLargerThanTheLimitIsWrittenOrRead) {
    CKdf kdf;
    ASSERT_TRUE(kdf.Open(path_, 1, kKdfOpenAlways, kReadWrite));
    kdf.WriteString(1, "small");
    // One byte more than fits behind the header, the index and "small".
    const std::vector<char> big(static_cast<std::size_t>(CKdf::MaxFileSize - 12644 - 6 + 1));
    for (const int key : {1, 2}) {
        try {
            kdf.WriteData(key, big.data(), big.size());
            ADD_FAILURE() << key;
        } catch (const CKdfException& e) {
            EXPECT_TRUE(e.IsSystemError());
            EXPECT_EQ(e.Code(), EFBIG);
        }
    }
    EXPECT_EQ(kdf.Header().Count, 1);
    EXPECT_EQ(kdf.ReadString(1, 10), "small");
    kdf.Close();
    EXPECT_EQ(std::filesystem::file_size(path_), 12644u + 6);

    // A file of exactly the limit is read; one byte more is not (the tail is a hole, no data).
    std::filesystem::resize_file(path_, static_cast<std::uintmax_t>(CKdf::MaxFileSize));
    ASSERT_TRUE(kdf.Open(path_, 1, kKdfOpenExisting, kReadWrite));
    EXPECT_EQ(kdf.ReadString(1, 10), "small");
    kdf.Close();
    std::filesystem::resize_file(path_, static_cast<std::uintmax_t>(CKdf::MaxFileSize) + 1);
    try {
        kdf.Open(path_, 1, kKdfOpenExisting, kReadWrite);
        ADD_FAILURE();
    } catch (const CKdfException& e) {
        EXPECT_EQ(e.Code(), kKdfDamaged);
        EXPECT_NE(e.Description().find("more than the 64 MiB"), std::string::npos)
            << e.Description();
    }
    EXPECT_FALSE(kdf.IsOpen());
}

TEST_F(KdfTest, AFailedWriteLeavesTheIndexAsItWas) {
    TFaultyFileSystem faulty;
    CKdf kdf(faulty);
    ASSERT_TRUE(kdf.Open(path_, 1, kKdfOpenAlways, kReadWrite));
    kdf.WriteString(1, "old");
    faulty.FailAfterBytes = 3;
    EXPECT_THROW(kdf.WriteString(1, "a longer value"), CKdfException);
    EXPECT_THROW(kdf.WriteString(2, "new"), CKdfException);
    faulty.FailAfterBytes = -1;
    EXPECT_EQ(kdf.ReadString(1, 100), "old");
    EXPECT_EQ(kdf.ReadString(2, 100), "");
    EXPECT_EQ(kdf.Header().Count, 1);
    EXPECT_EQ(kdf.Header().LargestRecord, 4);
    kdf.Close();
    ASSERT_TRUE(kdf.Open(path_, 1, kKdfOpenAlways, kReadWrite));
    EXPECT_EQ(kdf.ReadString(1, 100), "old");
}

TEST_F(KdfTest, AFailedCloseIsReportedAndLeavesTheContainerClosed) {
    TFaultyFileSystem faulty;
    CKdf kdf(faulty);
    ASSERT_TRUE(kdf.Open(path_, 1, kKdfOpenAlways, kReadWrite));
    kdf.WriteString(1, "value");
    faulty.FailAfterBytes = 100;  // the header and index of Close tear
    EXPECT_THROW(kdf.Close(), CKdfException);
    EXPECT_FALSE(kdf.IsOpen());
}

TEST_F(KdfTest, ATornRebuildLeavesTheOldFile) {
    {
        CKdf kdf;
        ASSERT_TRUE(kdf.Open(path_, 1, kKdfOpenAlways, kReadWrite));
        WriteMany(kdf, 500);
    }
    const std::string before = Slurp(path_);
    TFaultyFileSystem faulty;
    CKdf kdf(faulty);
    ASSERT_TRUE(kdf.Open(path_, 1, kKdfOpenAlways, kReadWrite));
    for (int key = 501; key <= 1100; ++key) {
        kdf.WriteString(key, Expected(key));
    }
    const long long appended = static_cast<long long>(std::filesystem::file_size(path_));
    faulty.FailAfterBytes = 20000;  // inside the rebuild's temporary file
    EXPECT_THROW(kdf.Close(), CKdfException);
    faulty.FailAfterBytes = -1;
    // The old header and index still describe the file; the session's records are lost, and
    // the temporary file is gone.
    const std::string after = Slurp(path_);
    EXPECT_EQ(static_cast<long long>(after.size()), appended);
    EXPECT_EQ(after.substr(0, before.size()), before);
    ASSERT_TRUE(kdf.Open(path_, 1, kKdfOpenAlways, kReadWrite));
    EXPECT_EQ(kdf.Header().Count, 500);
    EXPECT_EQ(kdf.ReadString(500, 100), Expected(500));
    kdf.Close();
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(temp_.Path()),
                            std::filesystem::directory_iterator()),
              1);
}

TEST_F(KdfTest, AGrowingCloseTornAnywhereLeavesAReadableFile) {
    // Both ways of growing the index on disk, stopped after every few kilobytes: the file always
    // opens afterwards with the records of the earlier session, and with all of them when the
    // close got through.
    for (const bool inPlace : {false, true}) {
        for (long long budget = 0; budget < 26000; budget += 2500) {
            SCOPED_TRACE(std::to_string(inPlace) + " " + std::to_string(budget));
            std::filesystem::remove(path_);
            TFaultyFileSystem faulty;
            CKdf kdf(faulty);
            ASSERT_TRUE(kdf.Open(path_, 1, kKdfOpenAlways, kReadWrite));
            WriteMany(kdf, 600);
            kdf.Close();
            ASSERT_TRUE(kdf.Open(path_, 1, kKdfOpenAlways, kReadWrite));
            for (int key = 601; key <= 1100; ++key) {
                kdf.WriteString(key, Expected(key));
            }
            faulty.TemporaryError = inPlace ? EACCES : 0;
            faulty.FailAfterBytes = budget;
            bool closed = true;
            try {
                kdf.Close();
            } catch (const CKdfException&) {
                closed = false;
            }
            faulty.FailAfterBytes = -1;
            faulty.TemporaryError = 0;
            ASSERT_TRUE(kdf.Open(path_, 1, kKdfOpenExisting, kReadWrite));
            const int last = closed ? 1100 : 600;
            ASSERT_GE(kdf.Header().Count, last);
            for (int key = 1; key <= last; ++key) {
                ASSERT_EQ(kdf.ReadString(key, 100), Expected(key)) << key;
            }
        }
    }
}

}  // namespace
}  // namespace tarnwick
