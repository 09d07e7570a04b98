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

#include <cerrno>
#include <climits>
#include <cstring>
#include <new>

#include "platform/file_system.h"
#include "platform/system_text.h"
#include "store/kdf_internal.h"

namespace tarnwick {

using namespace kdf_detail;

namespace {

// Offsets and lengths are stored as signed 32-bit integers: every one in a file of at most
// MaxFileSize fits.
static_assert(CKdf::MaxFileSize <= INT32_MAX);
constexpr const char* kDefaultSignature = "Fernhollow Software Data File";
constexpr const char* kInUseText =
    "The process cannot access the file because it is being used by another process.";
constexpr int kKeySizes[kMaxKeyType + 1] = {0, 4, 4, 8, 16, 32, 64, 128, 256, 384, 512};

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

}  // namespace

namespace kdf_detail {

KdfLastError& LastError() {
    static KdfLastError record;
    return record;
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

}  // namespace kdf_detail

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

// ---- CKdf: the header and index as they are read and written ----

int CKdf::KeySizeOf(int keyType) {
    return keyType >= 1 && keyType <= kMaxKeyType ? kKeySizes[keyType] : 0;
}

int CKdf::EntrySizeOf(int keyType) {
    const int keySize = KeySizeOf(keyType);
    return keySize == 0 ? 0 : keySize + 8;
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

}  // namespace tarnwick
