// The keyed record container ("KDF" data file).
//
// Byte layout. Every integer is little-endian whatever the host; every text is 8-bit
// Windows-1252, NUL-terminated inside its fixed-width field and NUL-padded.
//
//   OFFSET            SIZE                   CONTENT
//   0                 356                    header (below)
//   356               capacity * entry size  index: `capacity` entries, the first `count` in use
//                                            and sorted by key, the rest all zero
//   356 + index size  any                    record data at the offsets the entries name; dead
//                                            space (replaced or deleted records) is allowed
//
// Header (t_KdfHeader):
//
//   OFFSET  SIZE  FIELD             MEANING
//   0       4     reserved          0 in files Tarnwick writes; kept as read
//   4       32    signature         text; new files carry zeros here, nothing checks it
//   36      8     reserved          0
//   44      32    application name  text, at most 31 characters: "KDF_FILE 2.0" in a new file,
//                                   replaced by the owner ("Tarnwick" for the configuration)
//   76      2     key type          signed 16-bit, 1 to 10 (below)
//   78      2     padding           0
//   80      4     entry size        bytes per index entry: key size + 8
//   84      4     capacity          entries the index region holds (1024 in a new file, grown
//                                   256 at a time)
//   88      4     count             entries in use
//   92      4     largest record    an upper bound of the longest record's length
//   96      4     flags             bit 0 set once any record has been written; unused
//   100     256   reserved          0
//
// There is no magic number: the application name is what tells the owner its own file.
//
// Index entry (entry size bytes):
//
//   OFFSET        SIZE      FIELD
//   0             key size  key: key type 1 an unsigned 32-bit integer; types 2 to 10 a text of
//                           at most key size - 1 characters, NUL-padded
//   key size      4         offset of the record's data from the start of the file (signed)
//   key size + 4  4         length of the record's data in bytes (signed)
//
//   KEY TYPE  1   2   3   4   5   6   7    8    9    10
//   KEY SIZE  4   4   8   16  32  64  128  256  384  512
//
// Integer keys sort unsigned; text keys sort by the program's one word comparison (letter case
// ignored), so a text key is found whatever its case.
//
// Only a regular file is opened; a folder, a pipe, a socket or a device is refused before a
// byte is read (a system error). A reader rejects (code 7, "The data file is damaged: ..."),
// instead of reading out of bounds: a file larger than MaxFileSize (64 MiB); a file of 1 to 355
// bytes; a key type outside 1 to 10; an entry size that does not belong to the key type; a
// negative capacity or count, or a count above the capacity; an index that reaches past the end
// of the file; an entry in use with a negative offset or length, or whose non-empty record
// starts inside the header or index or ends past the end of the file. A largest-record field
// below the real maximum, or beyond the file's size, is corrected. An index whose entries in use
// are out of order or name a key twice (what a write torn in the middle of the index leaves) is
// put in order, the first of equal keys kept, rather than searched wrongly. An empty file is not
// damaged: it is initialised as a new one.
//
// Writing. Header and index reach the disk when a file is created and at Close; records are
// written at once, a longer replacement appended at the end of the file, a shorter or equal one
// over its old place. Close writes only when something changed, and never over the header and
// index in place: it writes a copy of the file - the new header and index, the data region byte
// for byte - to a temporary file (mkstemp of "KDFXXXXXX" in the file's folder) that then replaces
// the file by rename, so a crash, a kill or a full disk in the middle of a Close leaves the old
// file or the new one, never a mix of old and new index entries. When the index has grown past
// the capacity on disk, the copy is a rebuild instead: the larger index and the live records
// packed in index order. The writer holds its temporary file locked (flock) until the rename, so
// that RemoveLeftoverTemporaryFiles, run at start-up, removes only the ones a crash or a kill
// left behind. When no temporary file can be had (a folder that cannot be written), Close writes
// in place: header and index over the old ones, or, for a grown index, the records in the way of
// the larger index copied to the end of the file first, then index and header. Either way the
// header's capacity always matches the index region on disk, and the entries past the count are
// written as zero.
#include "store/kdf.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <filesystem>
#include <new>
#include <numeric>
#include <thread>

#include "platform/file_system.h"
#include "support/utils.h"
#include "support/word_compare.h"

namespace tarnwick {
namespace {

constexpr std::int64_t kHeaderSize = static_cast<std::int64_t>(t_KdfHeader::kSize);
// Offsets and lengths are stored as signed 32-bit integers: every one in a file of at most
// MaxFileSize fits.
static_assert(CKdf::MaxFileSize <= INT32_MAX);
constexpr int kMaxKeyType = 10;
constexpr const char* kDefaultSignature = "Fernhollow Software Data File";
// The prefix of the temporary files of a write-back, followed by mkstemp's six characters.
constexpr std::string_view kTemporaryPrefix = "KDF";
constexpr std::size_t kTemporarySuffixLength = 6;
constexpr const char* kInUseText =
    "The process cannot access the file because it is being used by another process.";
constexpr int kKeySizes[kMaxKeyType + 1] = {0, 4, 4, 8, 16, 32, 64, 128, 256, 384, 512};

KdfLastError& LastError() {
    static KdfLastError record;
    return record;
}

std::uint32_t LoadLE32(const unsigned char* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}
void StoreLE32(unsigned char* p, std::uint32_t v) {
    p[0] = static_cast<unsigned char>(v);
    p[1] = static_cast<unsigned char>(v >> 8);
    p[2] = static_cast<unsigned char>(v >> 16);
    p[3] = static_cast<unsigned char>(v >> 24);
}
std::uint16_t LoadLE16(const unsigned char* p) {
    return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}
void StoreLE16(unsigned char* p, std::uint16_t v) {
    p[0] = static_cast<unsigned char>(v);
    p[1] = static_cast<unsigned char>(v >> 8);
}

std::string FieldText(const char* field, std::size_t size) {
    return std::string(field, strnlen(field, size));
}

const char* CodeText(int code) {
    switch (code) {
        case kKdfSuccess:
            return "Success";
        case kKdfUnknownError:
            return "Unknown File Error";
        case kKdfReadOnly:
            return "Read-only file cannot be opened for writing";
        case kKdfKeyTypeMismatch:
            return "The index key type does not match";
        case kKdfNotWritable:
            return "The drive type does not support writting";
        case kKdfNotReady:
            return "The drive is not ready";
        default:
            return "Unknown File Error";
    }
}

// Every raise records code and description in the process-wide record first.
CKdfException MakeError(const std::string& fileName, int code, bool systemError,
                        std::string description) {
    KdfLastError& record = LastError();
    record.Code = code;
    record.SystemError = systemError;
    record.FileName = fileName;
    record.Description = description;
    return CKdfException(code, systemError, fileName, std::move(description));
}

[[noreturn]] void RaiseCode(const std::string& fileName, int code) {
    throw MakeError(fileName, code, false, CodeText(code));
}

CKdfException SystemError(const std::string& fileName, int error) {
    if (error == 0) {
        error = EIO;  // a call that failed without saying why
    }
    return MakeError(fileName, error, true,
                     error == EWOULDBLOCK ? kInUseText : SystemErrorText(error));
}

[[noreturn]] void RaiseSystem(const std::string& fileName, int error) {
    throw SystemError(fileName, error);
}

[[noreturn]] void RaiseDamaged(const std::string& fileName, const std::string& detail) {
    throw MakeError(fileName, kKdfDamaged, false, "The data file is damaged: " + detail + ".");
}

// A failed open as the container reports it: a read-only file system is the drive that does not
// support writing, a missing medium the drive that is not ready.
[[noreturn]] void RaiseOpenError(const std::string& fileName, int error) {
    if (error == EROFS) {
        RaiseCode(fileName, kKdfNotWritable);
    }
    if (error == ENOMEDIUM || error == ENXIO) {
        RaiseCode(fileName, kKdfNotReady);
    }
    RaiseSystem(fileName, error);
}

// The container reads and writes its file at offsets and sizes its index from the file's size,
// which only a regular file has: a pipe would wait for a writer, /dev/zero would never end, and
// a socket or a folder holds no bytes at all. Anything else is refused before a byte is read,
// saying what it is.
[[noreturn]] void RaiseNotRegular(const std::string& fileName, mode_t mode) {
    if (S_ISDIR(mode)) {
        RaiseSystem(fileName, EISDIR);
    }
    const char* what = "Is not a regular file";
    if (S_ISFIFO(mode)) {
        what = "Is a named pipe, not a regular file";
    } else if (S_ISSOCK(mode)) {
        what = "Is a socket, not a regular file";
    } else if (S_ISCHR(mode) || S_ISBLK(mode)) {
        what = "Is a device, not a regular file";
    }
    throw MakeError(fileName, EINVAL, true, what);
}

// Opens `path` without waiting for a pipe's other end or taking a terminal, and refuses it
// unless it is a regular file. Returns the descriptor (blocking again) or -1 with errno set when
// the system cannot open it at all.
int OpenRegular(const std::string& path, int flags, mode_t createMode = 0) {
    const int fd = ::open(path.c_str(), flags | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, createMode);
    if (fd < 0) {
        return -1;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        const int error = errno;
        ::close(fd);
        RaiseSystem(path, error);
    }
    if (!S_ISREG(st.st_mode)) {
        ::close(fd);
        RaiseNotRegular(path, st.st_mode);
    }
    const int status = ::fcntl(fd, F_GETFL);
    if (status >= 0) {
        ::fcntl(fd, F_SETFL, status & ~O_NONBLOCK);
    }
    return fd;
}

// Every byte the container writes passes here, so that the tests can tear a write anywhere:
// `budget` is the container's own count of bytes left before a write fails (-1: never).
// Returns 0, or the errno of the failure.
int WriteAt(int fd, std::int64_t offset, const void* data, std::size_t size, long long& budget) {
    const auto* bytes = static_cast<const unsigned char*>(data);
    while (size > 0) {
        std::size_t chunk = size;
        if (budget >= 0) {
            if (budget == 0) {
                return ENOSPC;
            }
            chunk = std::min<std::size_t>(chunk, static_cast<std::size_t>(budget));
            budget -= static_cast<long long>(chunk);
        }
        const ssize_t n = ::pwrite(fd, bytes, chunk, static_cast<off_t>(offset));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        if (n == 0) {
            return EIO;
        }
        bytes += n;
        offset += n;
        size -= static_cast<std::size_t>(n);
    }
    return 0;
}

// Reads up to `size` bytes; returns the bytes read (fewer only at the end of the file), or -1
// with errno set.
std::int64_t ReadAt(int fd, std::int64_t offset, void* data, std::size_t size) {
    auto* bytes = static_cast<unsigned char*>(data);
    std::int64_t done = 0;
    while (size > 0) {
        const ssize_t n = ::pread(fd, bytes, size, static_cast<off_t>(offset));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return -1;
        }
        if (n == 0)
            break;
        bytes += n;
        offset += n;
        done += n;
        size -= static_cast<std::size_t>(n);
    }
    return done;
}

// Takes an advisory lock, waiting up to waitMs for another process to let go. Returns 0 or the
// errno (EWOULDBLOCK when the wait ran out).
int LockFile(int fd, int operation, int waitMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
    while (::flock(fd, operation | LOCK_NB) != 0) {
        const int error = errno;
        if (error != EWOULDBLOCK && error != EINTR) {
            return error;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            return EWOULDBLOCK;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return 0;
}

// Whether the path still names the open file: a rebuild in another process renames a new file
// over the old one, and a lock on the old one guards nothing.
bool StillNamesFile(const std::string& path, int fd) {
    struct stat byPath {};
    struct stat byFd {};
    return ::stat(path.c_str(), &byPath) == 0 && ::fstat(fd, &byFd) == 0 &&
           byPath.st_dev == byFd.st_dev && byPath.st_ino == byFd.st_ino;
}

}  // namespace

// ---- CKdfException ----

CKdfException::CKdfException(int code, bool systemError, std::string fileName,
                             std::string description)
    : std::runtime_error(fileName.empty() ? description : fileName + "\r\n" + description),
      code_(code),
      systemError_(systemError),
      fileName_(std::move(fileName)),
      description_(std::move(description)) {}

std::string CKdfException::Message() const {
    return fileName_.empty() ? description_ : fileName_ + "\r\n" + description_;
}

const KdfLastError& KdfLastErrorRecord() {
    return LastError();
}

// ---- t_KdfHeader ----

t_KdfHeader::t_KdfHeader() {
    std::memcpy(Signature, kDefaultSignature, std::strlen(kDefaultSignature));
}

void t_KdfHeader::Clear() {
    *this = t_KdfHeader();
    std::memset(Signature, 0, sizeof Signature);
}

std::string t_KdfHeader::SignatureText() const {
    return FieldText(Signature, sizeof Signature);
}

std::string t_KdfHeader::ApplicationNameText() const {
    return FieldText(ApplicationName, sizeof ApplicationName);
}

void t_KdfHeader::SetApplicationNameText(std::string_view name) {
    std::memset(ApplicationName, 0, sizeof ApplicationName);
    std::memcpy(ApplicationName, name.data(), std::min(name.size(), sizeof ApplicationName - 1));
}

void t_KdfHeader::Encode(unsigned char* out) const {
    StoreLE32(out + 0, Reserved0);
    std::memcpy(out + 4, Signature, 32);
    std::memcpy(out + 36, Reserved1, 8);
    std::memcpy(out + 44, ApplicationName, 32);
    StoreLE16(out + 76, static_cast<std::uint16_t>(KeyType));
    StoreLE16(out + 78, Padding);
    StoreLE32(out + 80, static_cast<std::uint32_t>(EntrySize));
    StoreLE32(out + 84, static_cast<std::uint32_t>(Capacity));
    StoreLE32(out + 88, static_cast<std::uint32_t>(Count));
    StoreLE32(out + 92, static_cast<std::uint32_t>(LargestRecord));
    StoreLE32(out + 96, Flags);
    std::memcpy(out + 100, Reserved2, 256);
}

t_KdfHeader t_KdfHeader::Decode(const unsigned char* in) {
    t_KdfHeader h;
    h.Reserved0 = LoadLE32(in + 0);
    std::memcpy(h.Signature, in + 4, 32);
    std::memcpy(h.Reserved1, in + 36, 8);
    std::memcpy(h.ApplicationName, in + 44, 32);
    h.KeyType = static_cast<std::int16_t>(LoadLE16(in + 76));
    h.Padding = LoadLE16(in + 78);
    h.EntrySize = static_cast<std::int32_t>(LoadLE32(in + 80));
    h.Capacity = static_cast<std::int32_t>(LoadLE32(in + 84));
    h.Count = static_cast<std::int32_t>(LoadLE32(in + 88));
    h.LargestRecord = static_cast<std::int32_t>(LoadLE32(in + 92));
    h.Flags = LoadLE32(in + 96);
    std::memcpy(h.Reserved2, in + 100, 256);
    return h;
}

// ---- CKdf ----

CKdf::CKdf() {
    Reset(0);
}

CKdf::~CKdf() {
    try {
        Close();
    } catch (const CKdfException&) {
        // A destructor cannot report; callers that need to know call Close() first.
    }
}

int CKdf::KeySizeOf(int keyType) {
    return keyType >= 1 && keyType <= kMaxKeyType ? kKeySizes[keyType] : 0;
}

int CKdf::EntrySizeOf(int keyType) {
    const int keySize = KeySizeOf(keyType);
    return keySize == 0 ? 0 : keySize + 8;
}

void CKdf::Reset(std::int16_t keyType) {
    needsRebuild_ = false;
    dirty_ = false;
    file_ = -1;
    writable_ = false;
    std::vector<unsigned char>().swap(index_);
    header_.Clear();
    header_.KeyType = keyType;
    header_.EntrySize = EntrySizeOf(keyType);
    header_.Capacity = DefaultCapacity;
    header_.SetApplicationNameText(NewFileApplicationName);
    fileName_.clear();
    keySize_ = 0;
}

void CKdf::CloseFile() noexcept {
    if (file_ >= 0) {
        ::close(file_);
        file_ = -1;
    }
}

bool CKdf::Open(const std::string& fileName, std::int16_t keyType, int disposition,
                std::uint32_t flags) {
    Close();
    if (fileName.empty()) {
        return false;
    }
    fileName_ = fileName;
    LastError().FileName = fileName;
    bool created = false;
    try {
        if (keyType < 0 || keyType > kMaxKeyType) {
            RaiseCode(fileName_, kKdfKeyTypeMismatch);
        }
        const bool wantWrite = (flags & kKdfWriteAccess) != 0;
        const int mode = wantWrite ? O_RDWR : O_RDONLY;
        // Sharing as advisory locks: a writer excludes everyone, a reader that denies writers
        // shares with other readers, a file shared for writing is not locked at all.
        int lockOperation = LOCK_SH;
        if (flags & kKdfShareWrite) {
            lockOperation = 0;
        } else if (wantWrite || !(flags & kKdfShareRead)) {
            lockOperation = LOCK_EX;
        }
        for (int attempt = 0;; ++attempt) {
            int fd = -1;
            created = false;
            switch (disposition) {
                case kKdfCreateNew:
                    fd = OpenRegular(fileName_, mode | O_CREAT | O_EXCL, 0666);
                    created = fd >= 0;
                    break;
                case kKdfCreateAlways:
                case kKdfOpenAlways:
                    fd = OpenRegular(fileName_, mode);
                    if (fd < 0 && errno == ENOENT) {
                        fd = OpenRegular(fileName_, mode | O_CREAT | O_EXCL, 0666);
                        created = fd >= 0;
                        if (fd < 0 && errno == EEXIST && attempt < 10) {
                            continue;  // created by someone else just now: open theirs
                        }
                    }
                    break;
                case kKdfOpenExisting:
                case kKdfTruncateExisting:
                    fd = OpenRegular(fileName_, mode);
                    break;
                default:
                    errno = EINVAL;
                    break;
            }
            if (fd < 0) {
                RaiseOpenError(fileName_, errno);
            }
            file_ = fd;
            if (lockOperation != 0) {
                const int error = LockFile(file_, lockOperation, LockWaitMs);
                if (error != 0) {
                    RaiseSystem(fileName_, error);
                }
                if (!StillNamesFile(fileName_, file_)) {
                    CloseFile();
                    if (attempt < 10) {
                        continue;
                    }
                    RaiseSystem(fileName_, EWOULDBLOCK);
                }
            }
            break;
        }
        if (!created && (disposition == kKdfCreateAlways || disposition == kKdfTruncateExisting)) {
            if (::ftruncate(file_, 0) != 0) {
                RaiseSystem(fileName_, errno);
            }
        }
        struct stat st {};
        if (::fstat(file_, &st) != 0) {
            RaiseSystem(fileName_, errno);
        }
        writable_ = wantWrite;
        if (st.st_size > 0) {
            LoadExisting(keyType, static_cast<std::int64_t>(st.st_size));
        } else {
            CreateNew(keyType);
        }
    } catch (...) {
        CloseFile();
        if (created) {
            ::unlink(fileName_.c_str());
        }
        Reset(0);
        throw;
    }
    return true;
}

void CKdf::LoadExisting(std::int16_t keyType, std::int64_t fileSize) {
    if (fileSize > MaxFileSize) {
        RaiseDamaged(fileName_,
                     "it is " + std::to_string(fileSize) + " bytes long, more than the " +
                         std::to_string(MaxFileSize >> 20) + " MiB a data file may have");
    }
    unsigned char raw[t_KdfHeader::kSize];
    const std::int64_t got = ReadAt(file_, 0, raw, sizeof raw);
    if (got < 0) {
        RaiseSystem(fileName_, errno);
    }
    if (got < kHeaderSize) {
        RaiseDamaged(fileName_, "it is shorter than a data file header (" + std::to_string(got) +
                                    " of " + std::to_string(kHeaderSize) + " bytes)");
    }
    header_ = t_KdfHeader::Decode(raw);
    if (keyType != 0 && header_.KeyType != keyType) {
        RaiseCode(fileName_, kKdfKeyTypeMismatch);
    }
    const int storedType = header_.KeyType;
    if (KeySizeOf(storedType) == 0) {
        RaiseDamaged(fileName_, "its key type " + std::to_string(storedType) + " is unknown");
    }
    if (header_.EntrySize != EntrySizeOf(storedType)) {
        RaiseDamaged(fileName_, "its index entries are " + std::to_string(header_.EntrySize) +
                                    " bytes long where key type " + std::to_string(storedType) +
                                    " needs " + std::to_string(EntrySizeOf(storedType)));
    }
    if (header_.Capacity < 0 || header_.Count < 0 || header_.Count > header_.Capacity) {
        RaiseDamaged(fileName_, "its index holds " + std::to_string(header_.Count) +
                                    " entries but has room for " +
                                    std::to_string(header_.Capacity));
    }
    const std::int64_t indexSize = static_cast<std::int64_t>(header_.Capacity) * header_.EntrySize;
    const std::int64_t indexEnd = kHeaderSize + indexSize;
    if (indexEnd > fileSize) {
        RaiseDamaged(fileName_, "its index of " + std::to_string(header_.Capacity) +
                                    " entries reaches past the end of the file");
    }
    try {
        index_.assign(static_cast<std::size_t>(indexSize), 0);
    } catch (const std::bad_alloc&) {
        RaiseCode(fileName_, kKdfUnknownError);
    }
    const std::int64_t read = ReadAt(file_, kHeaderSize, index_.data(), index_.size());
    if (read < 0) {
        RaiseSystem(fileName_, errno);
    }
    if (read < indexSize) {
        RaiseDamaged(fileName_, "its index ends before the end of its region");
    }
    // The entries past the count hold no data and are zero in a sound file; whatever a torn
    // write or another program left there is not carried into the next write-back.
    std::fill(index_.begin() + static_cast<std::ptrdiff_t>(header_.Count) * header_.EntrySize,
              index_.end(), static_cast<unsigned char>(0));
    keySize_ = KeySizeOf(storedType);
    std::int64_t longest = 0;
    for (int i = 0; i < header_.Count; ++i) {
        const Entry e = EntryData(i);
        if (e.Length < 0 || e.Offset < 0) {
            RaiseDamaged(fileName_,
                         "record " + std::to_string(i + 1) + " has a negative offset or length");
        }
        if (e.Length > 0 && (e.Offset < indexEnd || e.Offset + e.Length > fileSize)) {
            RaiseDamaged(fileName_,
                         "record " + std::to_string(i + 1) + " lies outside the file's data");
        }
        longest = std::max(longest, e.Length);
    }
    // The text buffer of the configuration is sized from this field: it must be an upper bound,
    // and no bound beyond the file's size is believable.
    if (header_.LargestRecord < longest || header_.LargestRecord > fileSize) {
        header_.LargestRecord = static_cast<std::int32_t>(longest);
        dirty_ = true;
    }
    RepairIndexOrder();
}

void CKdf::RepairIndexOrder() {
    const int count = header_.Count;
    bool ordered = true;
    for (int i = 1; i < count && ordered; ++i) {
        ordered = CompareKeys(EntryAt(i - 1), EntryAt(i)) < 0;
    }
    if (ordered) {
        return;
    }
    // A torn write leaves the new entries in front of old ones, so of equal keys the one nearer
    // the front is kept; the binary search needs every key once, in order.
    std::vector<int> order(static_cast<std::size_t>(count));
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(),
                     [this](int a, int b) { return CompareKeys(EntryAt(a), EntryAt(b)) < 0; });
    const std::size_t entrySize = static_cast<std::size_t>(header_.EntrySize);
    std::vector<unsigned char> repaired(index_.size(), 0);
    int kept = 0;
    for (std::size_t k = 0; k < order.size(); ++k) {
        if (k > 0 && CompareKeys(EntryAt(order[k - 1]), EntryAt(order[k])) == 0) {
            continue;
        }
        std::memcpy(repaired.data() + static_cast<std::size_t>(kept) * entrySize, EntryAt(order[k]),
                    entrySize);
        ++kept;
    }
    index_.swap(repaired);
    header_.Count = kept;
    dirty_ = true;
}

void CKdf::CreateNew(std::int16_t keyType) {
    if (keyType == 0) {
        RaiseCode(fileName_, kKdfKeyTypeMismatch);  // a new file needs a key type
    }
    if (!writable_) {
        RaiseSystem(fileName_, EACCES);
    }
    header_.Clear();
    header_.KeyType = keyType;
    header_.EntrySize = EntrySizeOf(keyType);
    header_.Capacity = DefaultCapacity;
    header_.SetApplicationNameText(NewFileApplicationName);
    index_.assign(static_cast<std::size_t>(header_.Capacity) * header_.EntrySize, 0);
    keySize_ = KeySizeOf(keyType);
    WriteHeaderAndIndex(file_, header_, index_);
}

void CKdf::Close() {
    std::exception_ptr failure;
    if (IsOpen()) {
        if (writable_ && (dirty_ || needsRebuild_)) {
            try {
                if (needsRebuild_) {
                    Rebuild();
                } else if (!WriteBackByCopy()) {
                    WriteHeaderAndIndex(file_, header_, index_);
                }
                SyncOrRaise(file_);
            } catch (const CKdfException&) {
                failure = std::current_exception();
            }
        }
        const int fd = file_;
        file_ = -1;
        // A failing close can mean lost data on network file systems.
        if (::close(fd) != 0 && writable_ && !failure && errno != EINTR) {
            failure = std::make_exception_ptr(SystemError(fileName_, errno));
        }
    }
    Reset(0);
    if (failure) {
        std::rethrow_exception(failure);
    }
}

bool CKdf::SetApplicationName(std::string_view name) {
    if (!IsOpen()) {
        return false;
    }
    const std::string before = header_.ApplicationNameText();
    header_.SetApplicationNameText(name);
    dirty_ = dirty_ || header_.ApplicationNameText() != before;
    return true;
}

void CKdf::RequireWritable() const {
    if (!writable_) {
        RaiseCode(fileName_, kKdfReadOnly);
    }
}

unsigned char* CKdf::EntryAt(int position) {
    return index_.data() + static_cast<std::size_t>(position) * header_.EntrySize;
}

const unsigned char* CKdf::EntryAt(int position) const {
    return index_.data() + static_cast<std::size_t>(position) * header_.EntrySize;
}

CKdf::Entry CKdf::EntryData(int position) const {
    const unsigned char* entry = EntryAt(position);
    return {static_cast<std::int32_t>(LoadLE32(entry + keySize_)),
            static_cast<std::int32_t>(LoadLE32(entry + keySize_ + 4))};
}

void CKdf::SetEntryData(int position, std::int64_t offset, std::int64_t length) {
    unsigned char* entry = EntryAt(position);
    StoreLE32(entry + keySize_, static_cast<std::uint32_t>(offset));
    StoreLE32(entry + keySize_ + 4, static_cast<std::uint32_t>(length));
}

void CKdf::NormaliseKey(const CKdfKey& key) {
    std::memset(keyScratch_, 0, sizeof keyScratch_);
    if (header_.KeyType == 1) {
        if (key.IsText()) {
            RaiseCode(fileName_, kKdfKeyTypeMismatch);
        }
        StoreLE32(keyScratch_, key.Number());
        return;
    }
    if (!key.IsText()) {
        RaiseCode(fileName_, kKdfKeyTypeMismatch);
    }
    std::string_view text = key.Text();
    text = text.substr(0, text.find('\0'));
    if (static_cast<int>(text.size()) > keySize_ - 1) {
        RaiseCode(fileName_, kKdfKeyTypeMismatch);
    }
    std::memcpy(keyScratch_, text.data(), text.size());
}

int CKdf::CompareKeys(const unsigned char* left, const unsigned char* right) const {
    if (header_.KeyType == 1) {
        const std::uint32_t a = LoadLE32(left);
        const std::uint32_t b = LoadLE32(right);
        return a < b ? -1 : (a > b ? 1 : 0);
    }
    const auto* a = reinterpret_cast<const char*>(left);
    const auto* b = reinterpret_cast<const char*>(right);
    const std::size_t size = static_cast<std::size_t>(keySize_);
    return CompareWords(std::string_view(a, strnlen(a, size)),
                        std::string_view(b, strnlen(b, size)));
}

int CKdf::CompareEntryKey(int position) const {
    return CompareKeys(EntryAt(position), keyScratch_);
}

bool CKdf::Find(int& position) const {
    int low = 0;
    int high = header_.Count;
    while (high > low) {
        const int mid = low + (high - low) / 2;
        const int order = CompareEntryKey(mid);
        if (order > 0) {
            high = mid;
        } else if (order < 0) {
            low = mid + 1;
        } else {
            position = mid;
            return true;
        }
    }
    position = low;
    return false;
}

void CKdf::GrowIndex() {
    const std::int64_t capacity = static_cast<std::int64_t>(header_.Capacity) + Growth;
    const std::int64_t size = capacity * header_.EntrySize;
    if (kHeaderSize + size > MaxFileSize) {
        RaiseCode(fileName_, kKdfUnknownError);  // no file with it could be read again
    }
    try {
        std::vector<unsigned char> grown(static_cast<std::size_t>(size), 0);
        std::copy(index_.begin(), index_.end(), grown.begin());
        index_.swap(grown);
    } catch (const std::bad_alloc&) {
        RaiseCode(fileName_, kKdfUnknownError);
    }
    header_.Capacity = static_cast<std::int32_t>(capacity);
    needsRebuild_ = true;
}

int CKdf::InsertKey(bool& inserted) {
    // The index grows when it is full, even when the key turns out to be there already.
    if (header_.Count >= header_.Capacity) {
        GrowIndex();
    }
    int position = 0;
    inserted = !Find(position);
    if (inserted) {
        const std::size_t entrySize = static_cast<std::size_t>(header_.EntrySize);
        std::memmove(EntryAt(position + 1), EntryAt(position),
                     static_cast<std::size_t>(header_.Count - position) * entrySize);
        std::memset(EntryAt(position), 0, entrySize);
        ++header_.Count;
    }
    return position;
}

void CKdf::RemoveEntry(int position) {
    const std::size_t entrySize = static_cast<std::size_t>(header_.EntrySize);
    std::memmove(EntryAt(position), EntryAt(position + 1),
                 static_cast<std::size_t>(header_.Count - position - 1) * entrySize);
    --header_.Count;
    std::memset(EntryAt(header_.Count), 0, entrySize);
}

std::int64_t CKdf::FileEnd() const {
    const off_t end = ::lseek(file_, 0, SEEK_END);
    if (end < 0) {
        RaiseSystem(fileName_, errno);
    }
    return static_cast<std::int64_t>(end);
}

void CKdf::WriteOrRaise(int fd, std::int64_t offset, const void* data, std::size_t size) const {
    const int error = WriteAt(fd, offset, data, size, writeFaultBudget_);
    if (error != 0) {
        RaiseSystem(fileName_, error);
    }
}

void CKdf::SyncOrRaise(int fd) const {
    // Devices and pipes cannot be synced, and need not be.
    if (::fdatasync(fd) != 0 && errno != EINVAL && errno != EROFS && errno != ENOTSUP) {
        RaiseSystem(fileName_, errno);
    }
}

void CKdf::WriteHeaderAndIndex(int fd, const t_KdfHeader& header,
                               const std::vector<unsigned char>& index) const {
    // One write for both, so that they reach the disk together as far as the system allows. The
    // entries past the count are written as zero, whatever the buffer holds there.
    std::vector<unsigned char> block(t_KdfHeader::kSize + index.size(), 0);
    header.Encode(block.data());
    const std::size_t used =
        std::min(index.size(), static_cast<std::size_t>(std::max(header.Count, 0)) *
                                   static_cast<std::size_t>(header.EntrySize));
    std::copy(index.begin(), index.begin() + static_cast<std::ptrdiff_t>(used),
              block.begin() + t_KdfHeader::kSize);
    WriteOrRaise(fd, 0, block.data(), block.size());
}

void CKdf::WriteData(const CKdfKey& key, const void* data, std::size_t length) {
    if (!IsOpen()) {
        return;
    }
    RequireWritable();
    if (length > static_cast<std::size_t>(MaxFileSize)) {
        RaiseSystem(fileName_, EFBIG);
    }
    NormaliseKey(key);
    bool inserted = false;
    const int position = InsertKey(inserted);
    unsigned char before[kMaxKeySize + 8];
    std::memcpy(before, EntryAt(position), static_cast<std::size_t>(header_.EntrySize));
    try {
        const Entry old = EntryData(position);
        const auto newLength = static_cast<std::int64_t>(length);
        std::int64_t offset = old.Offset;
        if (newLength > old.Length) {
            offset = FileEnd();
        }
        if (offset + newLength > MaxFileSize) {
            RaiseSystem(fileName_, EFBIG);  // a file that no later Open would read
        }
        std::memcpy(EntryAt(position), keyScratch_, static_cast<std::size_t>(keySize_));
        SetEntryData(position, offset, newLength);
        WriteOrRaise(file_, offset, data, length);
    } catch (...) {
        // The index must not name a record that never reached the file.
        if (inserted) {
            RemoveEntry(position);
        } else {
            std::memcpy(EntryAt(position), before, static_cast<std::size_t>(header_.EntrySize));
        }
        throw;
    }
    header_.LargestRecord = std::max(header_.LargestRecord, static_cast<std::int32_t>(length));
    header_.Flags |= 1u;
    dirty_ = true;
}

std::size_t CKdf::ReadData(const CKdfKey& key, void* buffer, std::size_t size) {
    if (!IsOpen()) {
        return 0;
    }
    NormaliseKey(key);
    int position = 0;
    if (!Find(position)) {
        return 0;
    }
    const Entry e = EntryData(position);
    const std::size_t wanted = std::min(static_cast<std::size_t>(e.Length), size);
    const std::int64_t got = ReadAt(file_, e.Offset, buffer, wanted);
    if (got < 0) {
        RaiseSystem(fileName_, errno);
    }
    return static_cast<std::size_t>(got);
}

void CKdf::WriteInteger(const CKdfKey& key, std::int32_t value) {
    unsigned char bytes[4];
    StoreLE32(bytes, static_cast<std::uint32_t>(value));
    WriteData(key, bytes, sizeof bytes);
}

std::int32_t CKdf::ReadInteger(const CKdfKey& key, std::int32_t defaultValue) {
    unsigned char bytes[4];
    StoreLE32(bytes, static_cast<std::uint32_t>(defaultValue));
    ReadData(key, bytes, sizeof bytes);
    return static_cast<std::int32_t>(LoadLE32(bytes));
}

void CKdf::WriteString(const CKdfKey& key, std::string_view text) {
    if (text.empty()) {
        return;
    }
    std::string withNul(text);
    WriteData(key, withNul.c_str(), withNul.size() + 1);
}

std::string CKdf::ReadString(const CKdfKey& key, std::size_t bufferSize) {
    if (!IsOpen() || bufferSize == 0) {
        return {};
    }
    NormaliseKey(key);
    int position = 0;
    if (!Find(position)) {
        return {};
    }
    const Entry e = EntryData(position);
    std::string bytes(std::min(static_cast<std::size_t>(e.Length), bufferSize - 1), '\0');
    const std::int64_t got = ReadAt(file_, e.Offset, bytes.data(), bytes.size());
    if (got < 0) {
        RaiseSystem(fileName_, errno);
    }
    bytes.resize(static_cast<std::size_t>(got));
    return bytes.substr(0, bytes.find('\0'));
}

bool CKdf::DeleteKey(const CKdfKey& key) {
    if (!IsOpen()) {
        return false;
    }
    RequireWritable();
    NormaliseKey(key);
    int position = 0;
    if (!Find(position)) {
        return false;
    }
    const std::int64_t removedLength = EntryData(position).Length;
    RemoveEntry(position);
    dirty_ = true;
    if (removedLength == header_.LargestRecord) {
        std::int64_t longest = 0;
        for (int i = 0; i < header_.Count; ++i) {
            longest = std::max(longest, EntryData(i).Length);
        }
        header_.LargestRecord = static_cast<std::int32_t>(longest);
    }
    return true;
}

void CKdf::CopyRecord(int fromFd, std::int64_t from, int toFd, std::int64_t to,
                      std::int64_t length) const {
    std::vector<unsigned char> chunk(
        static_cast<std::size_t>(std::min<std::int64_t>(length, 1 << 16)));
    while (length > 0) {
        const auto size = static_cast<std::size_t>(std::min<std::int64_t>(length, chunk.size()));
        const std::int64_t got = ReadAt(fromFd, from, chunk.data(), size);
        if (got < 0) {
            RaiseSystem(fileName_, errno);
        }
        if (got < static_cast<std::int64_t>(size)) {
            RaiseDamaged(fileName_, "a record ends past the end of the file");
        }
        WriteOrRaise(toFd, to, chunk.data(), size);
        from += got;
        to += got;
        length -= got;
    }
}

bool CKdf::BeginReplacement(Replacement& replacement) const {
    // Only a regular file can be replaced by another; a device or a pipe is written in place.
    struct stat st {};
    if (temporaryFileFault_ || ::fstat(file_, &st) != 0 || !S_ISREG(st.st_mode)) {
        return false;
    }
    // The temporary file must live on the same file system as the file it replaces: next to the
    // real file, when the name is a symbolic link.
    replacement.Target = fileName_;
    if (char* real = ::realpath(fileName_.c_str(), nullptr)) {
        replacement.Target = real;
        std::free(real);
    }
    replacement.Folder = std::filesystem::path(replacement.Target).parent_path().string();
    if (replacement.Folder.empty()) {
        replacement.Folder = ".";
    }
    // The temporary file is locked from its creation until it has replaced the file (the lock
    // stays with it after the rename), so that the clean-up of a later start
    // (RemoveLeftoverTemporaryFiles) tells it from one left by a crash.
    replacement.Name = replacement.Folder + "/" + std::string(kTemporaryPrefix) + "XXXXXX";
    replacement.Fd = CreateLockedTemporary(replacement.Name);
    if (replacement.Fd < 0) {
        return false;
    }
    ::fchmod(replacement.Fd, st.st_mode & 07777);  // keep the permissions; best effort
    return true;
}

void CKdf::CommitReplacement(Replacement& replacement) {
    SyncOrRaise(replacement.Fd);
    if (::rename(replacement.Name.c_str(), replacement.Target.c_str()) != 0) {
        RaiseSystem(fileName_, errno);
    }
    // Make the new name durable too; a folder that cannot be synced loses nothing that is not
    // already at risk.
    const int folderFd = ::open(replacement.Folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folderFd >= 0) {
        ::fsync(folderFd);
        ::close(folderFd);
    }
    ::close(file_);
    file_ = replacement.Fd;
    replacement.Fd = -1;
}

void CKdf::AbandonReplacement(Replacement& replacement) noexcept {
    if (replacement.Fd >= 0) {
        // Removed while still locked: once the lock is gone a clean-up may remove the name, and
        // another writer may then make a file of the same name.
        ::unlink(replacement.Name.c_str());
        ::close(replacement.Fd);
        replacement.Fd = -1;
    }
}

bool CKdf::WriteBackByCopy() {
    Replacement replacement;
    if (!BeginReplacement(replacement)) {
        return false;
    }
    try {
        const std::int64_t indexEnd =
            kHeaderSize + static_cast<std::int64_t>(header_.Capacity) * header_.EntrySize;
        const std::int64_t end = FileEnd();
        if (end > indexEnd) {
            CopyRecord(file_, indexEnd, replacement.Fd, indexEnd, end - indexEnd);
        }
        WriteHeaderAndIndex(replacement.Fd, header_, index_);
        CommitReplacement(replacement);
    } catch (...) {
        AbandonReplacement(replacement);
        throw;
    }
    return true;
}

void CKdf::Rebuild() {
    Replacement replacement;
    if (!BeginReplacement(replacement)) {
        GrowInPlace();
        return;
    }
    t_KdfHeader header = header_;
    std::vector<unsigned char> index = index_;
    try {
        const std::int64_t dataStart =
            kHeaderSize + static_cast<std::int64_t>(header.Capacity) * header.EntrySize;
        std::int64_t end = dataStart;
        std::int64_t longest = 0;
        for (int i = 0; i < header.Count; ++i) {
            const Entry e = EntryData(i);
            if (end + e.Length > MaxFileSize) {
                RaiseSystem(fileName_, EFBIG);
            }
            unsigned char* entry = index.data() + static_cast<std::size_t>(i) * header.EntrySize;
            StoreLE32(entry + keySize_, static_cast<std::uint32_t>(end));
            end += e.Length;
            longest = std::max(longest, e.Length);
        }
        header.LargestRecord = static_cast<std::int32_t>(longest);
        WriteHeaderAndIndex(replacement.Fd, header, index);
        for (int i = 0; i < header.Count; ++i) {
            const Entry from = EntryData(i);
            const unsigned char* entry =
                index.data() + static_cast<std::size_t>(i) * header.EntrySize;
            CopyRecord(file_, from.Offset, replacement.Fd,
                       static_cast<std::int32_t>(LoadLE32(entry + keySize_)), from.Length);
        }
        CommitReplacement(replacement);
    } catch (...) {
        AbandonReplacement(replacement);
        throw;
    }
    header_ = header;
    index_.swap(index);
    needsRebuild_ = false;
}

void CKdf::GrowInPlace() {
    // The larger index overwrites the start of the data region. The records living there are
    // copied to the end first and are on disk before the index that names their new place, so
    // a crash at any point leaves a file whose header and index agree.
    const std::int64_t indexEnd =
        kHeaderSize + static_cast<std::int64_t>(header_.Capacity) * header_.EntrySize;
    std::int64_t end = std::max(FileEnd(), indexEnd);
    for (int i = 0; i < header_.Count; ++i) {
        const Entry e = EntryData(i);
        if (e.Length > 0 && e.Offset < indexEnd) {
            if (end + e.Length > MaxFileSize) {
                RaiseSystem(fileName_, EFBIG);
            }
            CopyRecord(file_, e.Offset, file_, end, e.Length);
            SetEntryData(i, end, e.Length);
            end += e.Length;
        }
    }
    SyncOrRaise(file_);
    // The index before the header: until the header names the new capacity, the old one reads
    // the front of the new index, whose entries all name records that are on disk.
    WriteOrRaise(file_, kHeaderSize, index_.data(), index_.size());
    SyncOrRaise(file_);
    unsigned char raw[t_KdfHeader::kSize];
    header_.Encode(raw);
    WriteOrRaise(file_, 0, raw, sizeof raw);
    needsRebuild_ = false;
}

bool CKdf::ReadFileHeader(const std::string& fileName, t_KdfHeader& header) {
    header = t_KdfHeader();
    if (fileName.empty()) {
        return false;
    }
    LastError().FileName = fileName;
    // A name that is no regular file is refused here as Open would refuse it, not taken for a
    // missing file: the caller must not go on to create or replace it.
    const int fd = OpenRegular(fileName, O_RDONLY);
    if (fd < 0) {
        return false;
    }
    if (::flock(fd, LOCK_SH | LOCK_NB) != 0) {
        ::close(fd);
        return false;
    }
    unsigned char raw[t_KdfHeader::kSize];
    const std::int64_t got = ReadAt(fd, 0, raw, sizeof raw);
    const int error = errno;
    ::close(fd);
    if (got < 0) {
        RaiseSystem(fileName, error);
    }
    if (got == 0) {
        return false;  // an empty file has no header, and nothing in it to lose
    }
    if (got < kHeaderSize) {
        RaiseDamaged(fileName, "it is shorter than a data file header (" + std::to_string(got) +
                                   " of " + std::to_string(kHeaderSize) + " bytes)");
    }
    header = t_KdfHeader::Decode(raw);
    return true;
}

int CKdf::RemoveLeftoverTemporaryFiles(const std::string& folder) {
    return RemoveLeftoverTemporaries(folder, [](std::string_view name) {
        return name.size() == kTemporaryPrefix.size() + kTemporarySuffixLength &&
               name.substr(0, kTemporaryPrefix.size()) == kTemporaryPrefix &&
               std::all_of(name.begin() + static_cast<std::ptrdiff_t>(kTemporaryPrefix.size()),
                           name.end(), [](char c) {
                               return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') ||
                                      (c >= 'a' && c <= 'z');
                           });
    });
}

bool CKdf::ReadApplicationName(const std::string& fileName, std::string& name) {
    t_KdfHeader header;
    if (!ReadFileHeader(fileName, header)) {
        return false;
    }
    name = header.ApplicationNameText();
    return true;
}

}  // namespace tarnwick
