// The container's file: opening it (regular files only, under an advisory lock), closing it,
// and the write-back at Close through a temporary file that replaces it by rename. The byte
// layout is at the top of kdf.cpp; the index and records in memory are in kdf_records.cpp.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <exception>
#include <filesystem>

#include "platform/file_system.h"
#include "store/kdf.h"
#include "store/kdf_internal.h"

namespace tarnwick {

using namespace kdf_detail;

namespace {

// The prefix of the temporary files of a write-back, followed by mkstemp's six characters.
constexpr std::string_view kTemporaryPrefix = "KDF";
constexpr std::size_t kTemporarySuffixLength = 6;

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

// Opens `path` as the platform's regular-file opener does, refusing in the container's own words
// what is no regular file. Returns the descriptor, or -1 with errno set when the system cannot
// open it at all.
int OpenRegular(const std::string& path, int flags, mode_t createMode = 0) {
    mode_t refusedMode = 0;
    const int fd = OpenRegularFile(path, flags, createMode, refusedMode);
    if (fd < 0 && refusedMode != 0) {
        RaiseNotRegular(path, refusedMode);
    }
    return fd;
}

// Every byte the container writes passes here, through the container's file system (which tests
// replace to tear a write anywhere). Returns 0, or the errno of the failure.
int WriteAt(TFileSystem& system, int fd, std::int64_t offset, const void* data, std::size_t size) {
    const auto* bytes = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = system.WriteAt(fd, bytes, size, offset);
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

}  // namespace

// ---- CKdf ----

CKdf::CKdf(TFileSystem& system) : system_(system) {
    Reset(0);
}

CKdf::~CKdf() {
    try {
        Close();
    } catch (const CKdfException&) {
        // A destructor cannot report; callers that need to know call Close() first.
    }
}

void CKdf::CloseFile() noexcept {
    if (file_ >= 0) {
        CloseDescriptor(file_);
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
                const int error = LockWithin(file_, lockOperation, LockWaitMs);
                if (error != 0) {
                    RaiseSystem(fileName_, error);
                }
                if (!NamesOpenFile(fileName_, file_)) {
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
            if (TruncateFile(file_) != 0) {
                RaiseSystem(fileName_, errno);
            }
        }
        const std::int64_t size = OpenFileSize(file_);
        if (size < 0) {
            RaiseSystem(fileName_, errno);
        }
        writable_ = wantWrite;
        if (size > 0) {
            LoadExisting(keyType, size);
        } else {
            CreateNew(keyType);
        }
    } catch (...) {
        CloseFile();
        if (created) {
            RemoveFile(fileName_);
        }
        Reset(0);
        throw;
    }
    return true;
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
        if (CloseDescriptor(fd) != 0 && writable_ && !failure && errno != EINTR) {
            failure = std::make_exception_ptr(SystemError(fileName_, errno));
        }
    }
    Reset(0);
    if (failure) {
        std::rethrow_exception(failure);
    }
}

std::int64_t CKdf::FileEnd() const {
    const std::int64_t end = OpenFileSize(file_);
    if (end < 0) {
        RaiseSystem(fileName_, errno);
    }
    return end;
}

void CKdf::WriteOrRaise(int fd, std::int64_t offset, const void* data, std::size_t size) const {
    const int error = WriteAt(system_, fd, offset, data, size);
    if (error != 0) {
        RaiseSystem(fileName_, error);
    }
}

void CKdf::SyncOrRaise(int fd) const {
    // Devices and pipes cannot be synced, and need not be.
    if (system_.Sync(fd) != 0 && errno != EINVAL && errno != EROFS && errno != ENOTSUP) {
        RaiseSystem(fileName_, errno);
    }
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
    mode_t permissions = 0;
    if (!RegularFilePermissions(file_, permissions)) {
        return false;
    }
    // The temporary file must live on the same file system as the file it replaces: next to the
    // real file, when the name is a symbolic link.
    replacement.Target = ResolvedPath(fileName_);
    replacement.Folder = std::filesystem::path(replacement.Target).parent_path().string();
    if (replacement.Folder.empty()) {
        replacement.Folder = ".";
    }
    // The temporary file is locked from its creation until it has replaced the file (the lock
    // stays with it after the rename), so that the clean-up of a later start
    // (RemoveLeftoverTemporaryFiles) tells it from one left by a crash.
    replacement.Name = replacement.Folder + "/" + std::string(kTemporaryPrefix) + "XXXXXX";
    replacement.Fd = system_.CreateTemporary(replacement.Name);
    if (replacement.Fd < 0) {
        return false;
    }
    SetFilePermissions(replacement.Fd, permissions);  // keep the permissions; best effort
    return true;
}

void CKdf::CommitReplacement(Replacement& replacement) {
    SyncOrRaise(replacement.Fd);
    if (system_.Rename(replacement.Name, replacement.Target) != 0) {
        RaiseSystem(fileName_, errno);
    }
    // Make the new name durable too; a folder that cannot be synced loses nothing that is not
    // already at risk.
    SyncFolder(replacement.Folder);
    CloseDescriptor(file_);
    file_ = replacement.Fd;
    replacement.Fd = -1;
}

void CKdf::AbandonReplacement(Replacement& replacement) noexcept {
    if (replacement.Fd >= 0) {
        // Removed while still locked: once the lock is gone a clean-up may remove the name, and
        // another writer may then make a file of the same name.
        RemoveFile(replacement.Name);
        CloseDescriptor(replacement.Fd);
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
    if (LockWithin(fd, LOCK_SH, 0) != 0) {
        CloseDescriptor(fd);
        return false;
    }
    unsigned char raw[t_KdfHeader::kSize];
    const std::int64_t got = ReadAt(fd, 0, raw, sizeof raw);
    const int error = errno;
    CloseDescriptor(fd);
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

bool CKdf::ReadApplicationName(const std::string& fileName, std::string& name) {
    t_KdfHeader header;
    if (!ReadFileHeader(fileName, header)) {
        return false;
    }
    name = header.ApplicationNameText();
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

}  // namespace tarnwick
