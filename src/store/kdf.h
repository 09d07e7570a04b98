// CKdf: the keyed record container. One file holds a fixed header, a sorted index of keys and
// the records behind it; records are opaque runs of bytes looked up by key. The configuration
// lives in one (CConfig). The byte layout is documented at the top of kdf.cpp.
#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_system.h"

namespace tarnwick {

// The container's own error codes. System errors carry errno values instead (IsSystemError).
enum KdfErrorCode : int {
    kKdfSuccess = 0,          // "Success" (never raised)
    kKdfUnknownError = 1,     // the grown index cannot be allocated
    kKdfReadOnly = 2,         // a write through a container opened without write access
    kKdfKeyTypeMismatch = 3,  // another key type than asked for; a text key too long
    kKdfNotWritable = 4,      // the file is on a read-only file system
    kKdfNotReady = 5,         // the medium is missing
    kKdfNoErrorYet = 6,       // the last-error record before the first error
    kKdfDamaged = 7,          // the file is not a sound data file (short, inconsistent header,
                              // larger than MaxFileSize)
};

// Creation dispositions, numbered as the program has always passed them.
enum KdfDisposition : int {
    kKdfCreateNew = 1,        // fails when the file exists
    kKdfCreateAlways = 2,     // an existing file is emptied
    kKdfOpenExisting = 3,     // fails when the file is missing
    kKdfOpenAlways = 4,       // opens, or creates when missing
    kKdfTruncateExisting = 5  // empties an existing file; fails when it is missing
};

// Access and sharing bits of Open's flags word.
inline constexpr std::uint32_t kKdfReadAccess = 0x80000000u;
inline constexpr std::uint32_t kKdfWriteAccess = 0x40000000u;
inline constexpr std::uint32_t kKdfShareRead = 0x00000001u;
inline constexpr std::uint32_t kKdfShareWrite = 0x00000002u;

// Raised, by value, for every container failure. Message() is the text shown to the user: the
// file name and CR LF (when there is a file name), then the description.
class CKdfException : public std::runtime_error {
public:
    CKdfException(int code, bool systemError, std::string fileName, std::string description);

    int Code() const { return code_; }
    // True when Code() is an errno value rather than a KdfErrorCode.
    bool IsSystemError() const { return systemError_; }
    const std::string& FileName() const { return fileName_; }
    const std::string& Description() const { return description_; }
    std::string Message() const;

private:
    int code_;
    bool systemError_;
    std::string fileName_;
    std::string description_;
};

// The process-wide record of the container's last error (GUI thread only, as is the container).
struct KdfLastError {
    int Code = kKdfNoErrorYet;
    bool SystemError = false;
    std::string FileName;     // set by every Open and ReadFileHeader
    std::string Description;  // set with Code by every raise
};
const KdfLastError& KdfLastErrorRecord();

// The 356-byte file header, decoded. Reserved bytes are kept as read, so that a header read and
// written back is unchanged apart from the fields the container maintains.
struct t_KdfHeader {
    static constexpr std::size_t kSize = 356;
    static constexpr std::size_t kTextFieldSize = 32;

    // The defaults: the signature text set, everything else zero.
    t_KdfHeader();
    void Clear();  // every byte zero, the signature too

    std::string SignatureText() const;
    std::string ApplicationNameText() const;
    void SetApplicationNameText(std::string_view name);  // at most 31 characters kept

    void Encode(unsigned char* out) const;  // kSize bytes, little-endian
    static t_KdfHeader Decode(const unsigned char* in);

    std::uint32_t Reserved0 = 0;
    char Signature[kTextFieldSize] = {};
    unsigned char Reserved1[8] = {};
    char ApplicationName[kTextFieldSize] = {};
    std::int16_t KeyType = 0;
    std::uint16_t Padding = 0;
    std::int32_t EntrySize = 0;
    std::int32_t Capacity = 0;
    std::int32_t Count = 0;
    std::int32_t LargestRecord = 0;
    std::uint32_t Flags = 0;
    unsigned char Reserved2[256] = {};
};

// A key as the caller hands it in: a 32-bit integer for key type 1, a text for key types 2 to
// 10. Converts implicitly, so that keyed operations take 100, 0xFFFFFFFFu or "Name" alike. A
// parameter type only: it does not own its text. A key of the other kind than the file's key
// type raises code 3.
class CKdfKey {
public:
    CKdfKey(int number) : isText_(false), number_(static_cast<std::uint32_t>(number)) {}
    CKdfKey(std::uint32_t number) : isText_(false), number_(number) {}
    CKdfKey(std::string_view text) : isText_(true), text_(text) {}
    CKdfKey(const char* text) : isText_(true), text_(text ? text : "") {}
    CKdfKey(const std::string& text) : isText_(true), text_(text) {}

    bool IsText() const { return isText_; }
    std::uint32_t Number() const { return number_; }
    std::string_view Text() const { return text_; }

private:
    bool isText_;
    std::uint32_t number_ = 0;
    std::string_view text_;
};

// The container. Closed after construction; Open() opens or creates a file and holds it, with
// its header and whole index in memory, until Close(). Records are read from and written to the
// file directly. Every failure raises CKdfException. Not thread-safe: one thread uses it.
class CKdf {
public:
    static constexpr int DefaultCapacity = 1024;  // index entries of a new file
    static constexpr int Growth = 256;            // entries added each time the index is full
    static constexpr int kMaxKeySize = 512;
    // The application name in the header of a new file, until its owner puts its own there.
    static constexpr std::string_view NewFileApplicationName = "KDF_FILE 2.0";
    // No data file of Tarnwick's comes anywhere near this; one larger is not read (its index
    // would be sized from it) and none is written.
    static constexpr std::int64_t MaxFileSize = std::int64_t{64} << 20;

    // Every write, sync, rename and temporary file goes through `system`, which must outlive the
    // container (tests hand in one that fails on purpose).
    explicit CKdf(TFileSystem& system = TFileSystem::Default());
    // Closes an open file; a failure to write it back is swallowed here, so callers that must
    // know call Close() themselves first.
    virtual ~CKdf();
    CKdf(const CKdf&) = delete;
    CKdf& operator=(const CKdf&) = delete;

    // Closes any open file, then opens or creates `fileName` as a container of `keyType` (0 on
    // an existing file: whatever type it has). `disposition` is a KdfDisposition; `flags` holds
    // the access and sharing bits. Write access takes an exclusive advisory lock (flock), read
    // access shared for reading a shared one; a lock held elsewhere is waited for up to
    // LockWaitMs. Only a regular file is opened: a folder, a pipe, a socket or a device is
    // refused at once, before anything is read or waited for. Returns false for an empty name;
    // throws CKdfException for everything else: code 3 for another key type, 4 on a read-only
    // file system, 5 for a missing medium, 7 for a damaged file (also one larger than
    // MaxFileSize), or the system error (EISDIR for a folder, EINVAL for the other kinds of
    // file that are no regular file). After a failure the container is closed.
    bool Open(const std::string& fileName, std::int16_t keyType, int disposition,
              std::uint32_t flags);
    // When anything changed, writes header and index back (rebuilding the file when the index
    // has grown) through a copy of the file that replaces it by rename, so that a write stopped
    // at any point leaves the old file whole; in place only when no temporary file can be had.
    // Syncs and closes. Nothing happens while closed. Whatever happens, the container is closed
    // afterwards; a failure to write is raised after that (the file then is the old one).
    void Close();
    bool IsOpen() const { return file_ >= 0; }

    // Only while open: replaces the header's application name (at most 31 characters kept).
    bool SetApplicationName(std::string_view name);

    // Stores the record under the key, inserting or replacing it. A longer record than the one
    // stored goes to the end of the file, a shorter or equal one overwrites the old place. Does
    // nothing while closed. When the write fails, or would make the file larger than
    // MaxFileSize (EFBIG), the index is left as it was before the call (a new key is dropped
    // again) and the system error is raised.
    void WriteData(const CKdfKey& key, const void* data, std::size_t length);
    // Copies at most `size` bytes of the record; returns the bytes copied, 0 when closed or
    // when the key is absent.
    std::size_t ReadData(const CKdfKey& key, void* buffer, std::size_t size);

    void WriteInteger(const CKdfKey& key, std::int32_t value);
    // The default, with at most its first 4 bytes replaced by the stored record's.
    std::int32_t ReadInteger(const CKdfKey& key, std::int32_t defaultValue);
    // Stores the text with its NUL; an empty text stores nothing and leaves the record alone.
    void WriteString(const CKdfKey& key, std::string_view text);
    // The stored text as a buffer of `bufferSize` bytes would hold it: at most bufferSize - 1
    // characters, ending at the first NUL.
    std::string ReadString(const CKdfKey& key, std::size_t bufferSize);

    // Removes the key from the index (the file changes at Close); false when absent or closed.
    bool DeleteKey(const CKdfKey& key);

    // Reads the header of a file that is not open. False when it cannot be opened, is locked by
    // a writer, or is empty; a file shorter than a header raises code 7, a folder or any other
    // file that is no regular file the system error that Open raises for it.
    static bool ReadFileHeader(const std::string& fileName, t_KdfHeader& header);
    // The application name of a file's header; false as ReadFileHeader.
    static bool ReadApplicationName(const std::string& fileName, std::string& name);

    // Removes from `folder` the temporary files that a write-back stopped by a crash or a kill
    // left behind: regular files named "KDF" and six letters or digits, as mkstemp makes them.
    // A temporary file is locked by its writer from creation until it replaces the data file,
    // so one that another process is writing right now cannot be locked and is left alone.
    // Returns how many were removed; a folder that cannot be read removes nothing.
    static int RemoveLeftoverTemporaryFiles(const std::string& folder);

    // Key size and entry size of a key type; 0 for a type outside 1 to 10.
    static int KeySizeOf(int keyType);
    static int EntrySizeOf(int keyType);

    const t_KdfHeader& Header() const { return header_; }
    const std::string& FileName() const { return fileName_; }
    bool NeedsRebuild() const { return needsRebuild_; }
    int KeySize() const { return keySize_; }

    // How long Open waits for another process's lock before it reports the file as in use.
    int LockWaitMs = 2000;

protected:
    t_KdfHeader& MutableHeader() { return header_; }

private:
    struct Entry {
        std::int64_t Offset;
        std::int64_t Length;
    };

    void Reset(std::int16_t keyType);
    void CloseFile() noexcept;
    void LoadExisting(std::int16_t keyType, std::int64_t fileSize);
    void CreateNew(std::int16_t keyType);
    void NormaliseKey(const CKdfKey& key);
    // Binary search for the normalised key: true and its position, or false and the insertion
    // point.
    bool Find(int& position) const;
    int CompareEntryKey(int position) const;
    // Orders two keys of key-size bytes by the file's key type.
    int CompareKeys(const unsigned char* left, const unsigned char* right) const;
    // Puts an index whose entries in use are out of order, or name a key twice, in order.
    void RepairIndexOrder();
    int InsertKey(bool& inserted);
    void RemoveEntry(int position);
    void RequireWritable() const;
    unsigned char* EntryAt(int position);
    const unsigned char* EntryAt(int position) const;
    Entry EntryData(int position) const;
    void SetEntryData(int position, std::int64_t offset, std::int64_t length);
    void GrowIndex();
    std::int64_t FileEnd() const;
    void WriteOrRaise(int fd, std::int64_t offset, const void* data, std::size_t size) const;
    void SyncOrRaise(int fd) const;
    void WriteHeaderAndIndex(int fd, const t_KdfHeader& header,
                             const std::vector<unsigned char>& index) const;
    // A temporary file in the folder of the (real) file, to be renamed over it.
    struct Replacement {
        int Fd = -1;
        std::string Name;    // the temporary file
        std::string Target;  // the file it replaces (symbolic links resolved)
        std::string Folder;
    };
    // False when no temporary file can be had (or the file is no regular file).
    bool BeginReplacement(Replacement& replacement) const;
    // Syncs the temporary file, renames it over the file and makes it the open file.
    void CommitReplacement(Replacement& replacement);
    static void AbandonReplacement(Replacement& replacement) noexcept;
    // Close's write-back of an index that has not grown: a copy of the file with the new header
    // and index. False when no temporary file can be had.
    bool WriteBackByCopy();
    void Rebuild();
    void GrowInPlace();
    void CopyRecord(int fromFd, std::int64_t from, int toFd, std::int64_t to,
                    std::int64_t length) const;

    TFileSystem& system_;
    bool needsRebuild_ = false;
    bool dirty_ = false;  // something to write back at Close
    std::string fileName_;
    t_KdfHeader header_;
    std::vector<unsigned char> index_;
    int file_ = -1;
    bool writable_ = false;
    int keySize_ = 0;
    unsigned char keyScratch_[kMaxKeySize] = {};
};

}  // namespace tarnwick
