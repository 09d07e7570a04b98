#include "platform/file_system.h"

#include <dirent.h>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <thread>

#include "platform/system_text.h"

namespace tarnwick {
namespace {

// A temporary file is named after its target - ".<name>.tarnwick-XXXXXX" - so that it sorts and
// hides beside it in a file manager, and the next write of the same file finds what an
// interrupted one left. A name too long for that gets ".tarnwick-XXXXXX".
constexpr std::string_view kTemporaryMark = ".tarnwick-";
constexpr size_t kRandomPartSize = 6;  // mkstemp's XXXXXX
constexpr size_t kLongestNamedTemporary = NAME_MAX - 1 - kTemporaryMark.size() - kRandomPartSize;

std::string FolderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string TemporaryPrefix(const std::string& name) {
    if (name.size() > kLongestNamedTemporary) {
        return std::string(kTemporaryMark);
    }
    return "." + name + std::string(kTemporaryMark);
}

bool IsTemporaryName(std::string_view entry, std::string_view target) {
    if (entry.size() < kTemporaryMark.size() + kRandomPartSize || entry.front() != '.') {
        return false;
    }
    const std::string_view head = entry.substr(0, entry.size() - kRandomPartSize);
    if (head.size() < kTemporaryMark.size() ||
        head.substr(head.size() - kTemporaryMark.size()) != kTemporaryMark) {
        return false;
    }
    if (target.empty()) {
        return true;
    }
    // The target's own temporary files, and the second name its backup is made under.
    const std::string name(target);
    return head == TemporaryPrefix(name) || head == TemporaryPrefix(name + ".bak") ||
           head == kTemporaryMark;
}

// What a non-regular file is, in the words of the refusal.
std::string NotRegularReason(mode_t mode) {
    if (S_ISDIR(mode)) {
        return SystemErrorText(EISDIR);
    }
    if (S_ISFIFO(mode)) {
        return "It is a named pipe, not a file.";
    }
    if (S_ISSOCK(mode)) {
        return "It is a socket, not a file.";
    }
    if (S_ISCHR(mode) || S_ISBLK(mode)) {
        return "It is a device, not a file.";
    }
    return "It is not a regular file.";
}

std::string SizeText(std::uint64_t bytes) {
    if (bytes % (std::uint64_t{1} << 20) == 0) {
        return std::to_string(bytes >> 20) + " MiB";
    }
    return std::to_string(bytes) + " bytes";
}

// The permissions a new file gets: 0666 less the process's umask. The umask is read from the
// system once; setting it to read it back would race with other threads creating files.
mode_t NewFileMode() {
    static const mode_t mode = [] {
        mode_t mask = 022;
        std::ifstream status("/proc/self/status");
        std::string line;
        while (std::getline(status, line)) {
            if (line.rfind("Umask:", 0) == 0) {
                mask = static_cast<mode_t>(std::strtoul(line.c_str() + 6, nullptr, 8));
                break;
            }
        }
        return static_cast<mode_t>(0666 & ~mask);
    }();
    return mode;
}

// Follows symbolic links at the end of `path` (not in its folders) to the file they lead to, which
// need not exist yet. Throws EFCreateError for a loop.
std::string FinalTarget(const std::string& path) {
    std::string current = path;
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st {};
        if (::lstat(current.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) {
            return current;
        }
        std::string link(static_cast<size_t>(std::max<off_t>(st.st_size, 0)) + 256, '\0');
        const ssize_t n = ::readlink(current.c_str(), link.data(), link.size());
        if (n < 0) {
            throw EFCreateError(path, SystemErrorText(errno));
        }
        link.resize(static_cast<size_t>(n));
        current = (link.empty() || link.front() == '/') ? link : FolderOf(current) + "/" + link;
    }
    throw EFCreateError(path, SystemErrorText(ELOOP));
}

// Whether two open files hold the same bytes (`size` each), read with pread.
bool SameBytes(int a, int b, std::uint64_t size) {
    constexpr size_t kChunk = 1 << 20;
    std::unique_ptr<char[]> left = std::make_unique_for_overwrite<char[]>(kChunk);
    std::unique_ptr<char[]> right = std::make_unique_for_overwrite<char[]>(kChunk);
    for (std::uint64_t offset = 0; offset < size;) {
        const size_t want = static_cast<size_t>(std::min<std::uint64_t>(kChunk, size - offset));
        const ssize_t n = ::pread(a, left.get(), want, static_cast<off_t>(offset));
        if (n <= 0) {
            return false;
        }
        size_t got = 0;
        while (got < static_cast<size_t>(n)) {
            const ssize_t m = ::pread(b, right.get() + got, static_cast<size_t>(n) - got,
                                      static_cast<off_t>(offset + got));
            if (m <= 0) {
                return false;
            }
            got += static_cast<size_t>(m);
        }
        if (std::memcmp(left.get(), right.get(), static_cast<size_t>(n)) != 0) {
            return false;
        }
        offset += static_cast<std::uint64_t>(n);
    }
    return true;
}

}  // namespace

EFCreateError::EFCreateError(const std::string& path, const std::string& reason)
    : EFileError("Cannot create file \"" + path + "\". " + reason, reason) {}

EFOpenError::EFOpenError(const std::string& path, const std::string& reason)
    : EFileError("Cannot open file \"" + path + "\". " + reason, reason) {}

// ---------------------------------------------------------------------------------------------
// TFileSystem

TFileSystem& TFileSystem::Default() {
    static TFileSystem system;
    return system;
}

ssize_t TFileSystem::Write(int fd, const char* data, size_t size) {
    return ::write(fd, data, size);
}

int TFileSystem::Sync(int fd) {
    return ::fsync(fd);
}

int TFileSystem::Rename(const std::string& from, const std::string& to) {
    return ::rename(from.c_str(), to.c_str());
}

ssize_t TFileSystem::WriteAt(int fd, const char* data, size_t size, std::int64_t offset) {
    return ::pwrite(fd, data, size, static_cast<off_t>(offset));
}

int TFileSystem::CreateTemporary(std::string& pathTemplate) {
    return CreateLockedTemporary(pathTemplate);
}

// ---------------------------------------------------------------------------------------------
// Reading

TRegularFile::TRegularFile(const std::string& path) {
    // Opened without waiting: a named pipe with no writer would otherwise hold the open forever.
    fd_ = OpenRegularFile(path, O_RDONLY, 0, mode_);
    if (fd_ < 0) {
        error_ = errno;
        return;
    }
    const std::int64_t size = OpenFileSize(fd_);
    if (size < 0) {
        error_ = errno;
        ::close(fd_);
        fd_ = -1;
        return;
    }
    size_ = static_cast<std::uint64_t>(size);
}

TRegularFile::~TRegularFile() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

ssize_t TRegularFile::Read(char* data, size_t size) {
    if (fd_ < 0) {
        errno = EBADF;
        return -1;
    }
    for (;;) {
        const ssize_t n = ::read(fd_, data, size);
        if (n >= 0 || errno != EINTR) {
            return n;
        }
    }
}

std::string TRegularFile::Reason() const {
    return mode_ != 0 ? NotRegularReason(mode_) : SystemErrorText(error_);
}

std::string RegularFileProblem(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        return SystemErrorText(errno);
    }
    return S_ISREG(st.st_mode) ? std::string() : NotRegularReason(st.st_mode);
}

std::string ReadRegularFile(const std::string& path, std::uint64_t limit, std::string_view what) {
    TRegularFile file(path);
    if (file.Error() != 0) {
        throw EFOpenError(path, file.Reason());
    }
    const std::string tooLarge =
        "It is larger than " + SizeText(limit) + ", too large for " + std::string(what) + ".";
    if (file.Size() > limit) {
        throw EFOpenError(path, tooLarge);
    }
    std::string bytes;
    bytes.reserve(static_cast<size_t>(file.Size()));
    char chunk[1 << 16];
    for (;;) {
        const ssize_t n = file.Read(chunk, sizeof chunk);
        if (n < 0) {
            throw EFOpenError(path, SystemErrorText(errno));
        }
        if (n == 0)
            break;
        // A file that grows while it is read is held to the same limit.
        if (bytes.size() + static_cast<size_t>(n) > limit) {
            throw EFOpenError(path, tooLarge);
        }
        bytes.append(chunk, static_cast<size_t>(n));
    }
    return bytes;
}

void SyncFolder(const std::string& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);  // best effort: some file systems cannot sync a folder
        ::close(fd);
    }
}

int CloseDescriptor(int fd) {
    return ::close(fd);
}

std::int64_t OpenFileSize(int fd) {
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        return -1;
    }
    return static_cast<std::int64_t>(st.st_size);
}

int TruncateFile(int fd) {
    return ::ftruncate(fd, 0);
}

bool RegularFilePermissions(int fd, mode_t& permissions) {
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        return false;
    }
    permissions = st.st_mode & 07777;
    return true;
}

void SetFilePermissions(int fd, mode_t permissions) {
    ::fchmod(fd, permissions);
}

std::string ResolvedPath(const std::string& path) {
    std::string resolved = path;
    if (char* real = ::realpath(path.c_str(), nullptr)) {
        resolved = real;
        ::free(real);
    }
    return resolved;
}

int RemoveFile(const std::string& path) {
    return ::unlink(path.c_str());
}

int OpenRegularFile(const std::string& path, int flags, mode_t createMode, mode_t& refusedMode) {
    refusedMode = 0;
    const int fd = ::open(path.c_str(), flags | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, createMode);
    if (fd < 0) {
        return -1;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        const int error = errno;
        ::close(fd);
        errno = error;
        return -1;
    }
    if (!S_ISREG(st.st_mode)) {
        ::close(fd);
        refusedMode = st.st_mode;
        errno = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
        return -1;
    }
    const int status = ::fcntl(fd, F_GETFL);
    if (status >= 0) {
        ::fcntl(fd, F_SETFL, status & ~O_NONBLOCK);
    }
    return fd;
}

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

int LockWithin(int fd, int operation, int waitMs) {
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

bool NamesOpenFile(const std::string& path, int fd) {
    struct stat byPath {};
    struct stat byFd {};
    return ::stat(path.c_str(), &byPath) == 0 && ::fstat(fd, &byFd) == 0 &&
           byPath.st_dev == byFd.st_dev && byPath.st_ino == byFd.st_ino;
}

int CreateLockedTemporary(std::string& pathTemplate) {
    const std::string pattern = pathTemplate;
    for (int attempt = 0; attempt < 10; ++attempt) {
        pathTemplate = pattern;
        const int fd = ::mkostemp(pathTemplate.data(), O_CLOEXEC);
        if (fd < 0) {
            return -1;
        }
        // A clean-up that came between the creation and the lock has removed the name: then
        // another file is made. A file system without locks has no clean-up to fear.
        const bool locked = ::flock(fd, LOCK_EX) == 0;
        struct stat byName {};
        struct stat byFd {};
        if (!locked || (::stat(pathTemplate.c_str(), &byName) == 0 && ::fstat(fd, &byFd) == 0 &&
                        byName.st_dev == byFd.st_dev && byName.st_ino == byFd.st_ino)) {
            return fd;
        }
        ::close(fd);
    }
    errno = EEXIST;
    return -1;
}

std::string CopyWithoutOverwriting(const std::string& source, const std::string& target,
                                   std::uint64_t limit, std::string_view what) {
    std::string bytes;
    try {
        bytes = ReadRegularFile(source, limit, what);
    } catch (const EFOpenError& e) {
        return e.what();
    }
    // Named and locked as the writer's temporary files are, so that one left by a crash is
    // cleaned up with theirs.
    std::string tempName = FolderOf(target) + "/" + TemporaryPrefix(NameOf(target)) + "XXXXXX";
    const int fd = CreateLockedTemporary(tempName);
    if (fd < 0) {
        return SystemErrorText(errno);
    }
    int error = 0;
    const char* data = bytes.data();
    size_t left = bytes.size();
    while (left > 0 && error == 0) {
        const ssize_t n = ::write(fd, data, left);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            error = n < 0 ? errno : EIO;
            break;
        }
        data += n;
        left -= static_cast<size_t>(n);
    }
    if (error == 0 && ::fchmod(fd, 0644) != 0) {
        error = errno;
    }
    if (::close(fd) != 0 && error == 0) {
        error = errno;
    }
    // link() refuses an existing name, which is the "without overwriting" of the copy.
    if (error == 0 && ::link(tempName.c_str(), target.c_str()) != 0 && errno != EEXIST) {
        error = errno;
    }
    ::unlink(tempName.c_str());
    return error == 0 ? std::string() : SystemErrorText(error);
}

int RemoveLeftoverTemporaries(const std::string& folder,
                              const std::function<bool(std::string_view)>& isTemporary) {
    const int folderFd =
        ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folderFd < 0) {
        return 0;
    }
    DIR* dir = ::fdopendir(folderFd);
    if (!dir) {
        ::close(folderFd);
        return 0;
    }
    int removed = 0;
    while (const dirent* entry = ::readdir(dir)) {
        if (!isTemporary(entry->d_name) ||
            (entry->d_type != DT_REG && entry->d_type != DT_UNKNOWN)) {
            continue;
        }
        // Not through a symbolic link, and without waiting on anything that is no file.
        const int fd = ::openat(folderFd, entry->d_name,
                                O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        if (fd < 0) {
            continue;
        }
        // A file that can be locked is one that nobody writes; once locked, the name must still
        // be that file, or it is a new writer's.
        struct stat byFd {};
        struct stat byName {};
        if (::fstat(fd, &byFd) == 0 && S_ISREG(byFd.st_mode) &&
            ::flock(fd, LOCK_EX | LOCK_NB) == 0 &&
            ::fstatat(folderFd, entry->d_name, &byName, AT_SYMLINK_NOFOLLOW) == 0 &&
            byName.st_dev == byFd.st_dev && byName.st_ino == byFd.st_ino &&
            ::unlinkat(folderFd, entry->d_name, 0) == 0) {
            ++removed;
        }
        ::close(fd);
    }
    ::closedir(dir);  // closes folderFd too
    return removed;
}

int RemoveLeftoverTemporaries(const std::string& folder, std::string_view target) {
    return RemoveLeftoverTemporaries(
        folder, [target](std::string_view name) { return IsTemporaryName(name, target); });
}

// ---------------------------------------------------------------------------------------------
// TFileWriter

TFileWriter::TFileWriter(const std::string& path, TFileSystem& system)
    : TFileWriter(path, Options(), system) {}

TFileWriter::TFileWriter(const std::string& path, const Options& options, TFileSystem& system)
    : system_(system), path_(path), keepBackup_(options.KeepBackup) {
    try {
        Open(options);
    } catch (...) {
        Discard();
        throw;
    }
    buffer_ = std::make_unique_for_overwrite<char[]>(kBufferSize);
}

void TFileWriter::Open(const Options& options) {
    if (path_.empty()) {
        throw EFCreateError(path_, SystemErrorText(ENOENT));
    }
    target_ = FinalTarget(path_);
    struct stat st {};
    if (::stat(target_.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode)) {
            throw EFCreateError(path_, SystemErrorText(EISDIR));
        }
        if (!S_ISREG(st.st_mode)) {
            // A device or a pipe is a stream, not a file to replace. Opened without waiting, so
            // that a pipe nobody reads is an error rather than a hang; the writes wait as usual.
            fd_ = ::open(target_.c_str(), O_WRONLY | O_CLOEXEC | O_NONBLOCK);
            if (fd_ < 0) {
                throw EFCreateError(path_, SystemErrorText(errno));
            }
            const int flags = ::fcntl(fd_, F_GETFL);
            if (flags < 0 || ::fcntl(fd_, F_SETFL, flags & ~O_NONBLOCK) != 0) {
                throw EFCreateError(path_, SystemErrorText(errno));
            }
            return;
        }
    }

    // Wait a little for another Tarnwick process to finish with the file, then give up rather
    // than hang behind it. A writer that finished meanwhile has put a new file in place: the lock
    // is taken again on that one.
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(options.LockWaitMs);
    while (::stat(target_.c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
        targetLock_ = ::open(target_.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
        if (targetLock_ < 0) {
            targetLock_ = ::open(target_.c_str(), O_WRONLY | O_CLOEXEC | O_NONBLOCK);
        }
        if (targetLock_ < 0) {
            if (errno == ENOENT) {
                continue;  // replaced between the stat and the open
            }
            break;  // neither readable nor writable: it is replaced without the lock
        }
        int error = 0;
        while (::flock(targetLock_, LOCK_EX | LOCK_NB) != 0) {
            error = errno;
            if (error != EWOULDBLOCK && error != EINTR) {
                break;  // no locking on this file system
            }
            if (std::chrono::steady_clock::now() >= deadline) {
                throw EFCreateError(path_, "The file is in use by another process.");
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            error = 0;
        }
        struct stat locked {};
        const bool known = ::fstat(targetLock_, &locked) == 0;
        struct stat now {};
        if (error != 0 || (known && ::stat(target_.c_str(), &now) == 0 &&
                           locked.st_dev == now.st_dev && locked.st_ino == now.st_ino)) {
            targetExisted_ = true;
            if (known) {
                st = locked;  // the permissions the replacement takes over
            }
            break;
        }
        ::close(targetLock_);
        targetLock_ = -1;
    }
    if (!targetExisted_ && ::stat(target_.c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
        targetExisted_ = true;  // one this process can neither read nor write: replaced unlocked
    }

    const std::string folder = FolderOf(target_);
    const std::string name = NameOf(target_);
    RemoveLeftoverTemporaries(folder, name);
    // Locked until the file is in place, so that another process's clean-up leaves it alone.
    std::string temporary = folder + "/" + TemporaryPrefix(name) + "XXXXXX";
    fd_ = system_.CreateTemporary(temporary);
    if (fd_ < 0) {
        throw EFCreateError(path_, SystemErrorText(errno));
    }
    temporary_ = std::move(temporary);
    if (targetExisted_) {
        // The replacement keeps the owner's group where it may, and the old file's permissions:
        // a read-only index stays read-only.
        [[maybe_unused]] const int ignored = ::fchown(fd_, static_cast<uid_t>(-1), st.st_gid);
    }
    const mode_t mode = targetExisted_ ? (st.st_mode & 07777) : NewFileMode();
    if (::fchmod(fd_, mode) != 0) {
        throw EFCreateError(path_, SystemErrorText(errno));
    }
}

TFileWriter::~TFileWriter() {
    Discard();
}

void TFileWriter::Discard() noexcept {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    if (!temporary_.empty()) {
        ::unlink(temporary_.c_str());
        temporary_.clear();
    }
    if (!backupLink_.empty()) {
        ::unlink(backupLink_.c_str());
        backupLink_.clear();
    }
    if (targetLock_ >= 0) {
        ::close(targetLock_);
        targetLock_ = -1;
    }
}

void TFileWriter::WriteToFile(const char* data, size_t size) {
    while (size > 0) {
        const ssize_t n = system_.Write(fd_, data, size);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            throw EWriteError(SystemErrorText(errno));
        }
        if (n == 0) {
            throw EWriteError();
        }
        data += n;
        size -= static_cast<size_t>(n);
        written_ += static_cast<std::uint64_t>(n);
    }
#if defined(SYNC_FILE_RANGE_WRITE)
    // A big file is handed to the disk as it grows, so that the sync at Close has little left to
    // wait for. Only a hint: it starts the writing and returns.
    if (!temporary_.empty() && written_ - startedToDisk_ >= kDiskHandOver) {
        ::sync_file_range(fd_, static_cast<off_t>(startedToDisk_),
                          static_cast<off_t>(written_ - startedToDisk_), SYNC_FILE_RANGE_WRITE);
        startedToDisk_ = written_;
    }
#endif
}

void TFileWriter::Write(std::string_view bytes) {
    if (fd_ < 0) {
        throw EWriteError();
    }
    if (buffered_ + bytes.size() > kBufferSize) {
        Flush();
        if (bytes.size() >= kBufferSize) {
            WriteToFile(bytes.data(), bytes.size());
            return;
        }
    }
    std::memcpy(buffer_.get() + buffered_, bytes.data(), bytes.size());
    buffered_ += bytes.size();
}

char* TFileWriter::Room(size_t size) {
    if (fd_ < 0 || size > kBufferSize) {
        throw EWriteError();
    }
    if (buffered_ + size > kBufferSize) {
        Flush();
    }
    char* room = buffer_.get() + buffered_;
    buffered_ += size;
    return room;
}

void TFileWriter::Flush() {
    if (fd_ < 0) {
        throw EWriteError();
    }
    // The buffer is empty afterwards even when the write fails: its bytes are not offered twice.
    const size_t pending = buffered_;
    buffered_ = 0;
    WriteToFile(buffer_.get(), pending);
}

void TFileWriter::Reserve(std::uint64_t size) {
    if (fd_ < 0 || temporary_.empty() || size == 0) {
        return;
    }
    const std::uint64_t from = written_ + buffered_;
    if (from + size <= reserved_) {
        return;
    }
    // Without the reservation, a file system like ext4 finds the blocks of a big file as they are
    // written, which can cost several times the copying itself.
#if defined(FALLOC_FL_KEEP_SIZE)
    if (::fallocate(fd_, FALLOC_FL_KEEP_SIZE, static_cast<off_t>(from), static_cast<off_t>(size)) ==
        0) {
        reserved_ = from + size;
    }
#endif
}

void TFileWriter::KeepPreviousVersion() {
    struct stat old {};
    if (targetLock_ >= 0 && ::fstat(targetLock_, &old) == 0 &&
        static_cast<std::uint64_t>(old.st_size) == written_ &&
        SameBytes(targetLock_, fd_, written_)) {
        return;  // unchanged: the file itself is the previous version
    }
    // A second name for the old file costs nothing and keeps it whole, permissions and all. It is
    // made under a temporary name first and takes the backup's name only once the new file is in
    // place, so a failed replacement leaves the earlier backup alone.
    const std::string backup = target_ + ".bak";
    std::string linked = FolderOf(target_) + "/" + TemporaryPrefix(NameOf(backup)) + "XXXXXX";
    const int fd = ::mkostemp(linked.data(), O_CLOEXEC);
    if (fd >= 0) {
        ::close(fd);
        ::unlink(linked.c_str());
        if (::link(target_.c_str(), linked.c_str()) == 0) {
            backupLink_ = std::move(linked);
            backupPath_ = backup;
            return;
        }
    }
    if (targetLock_ < 0) {
        throw EWriteError("The previous version could not be kept as \"" + backup + "\". " +
                          SystemErrorText(errno));
    }
    // A file system without hard links gets a copy.
    TFileWriter copy(backup, system_);
    char chunk[1 << 16];
    for (off_t offset = 0;;) {
        const ssize_t n = ::pread(targetLock_, chunk, sizeof chunk, offset);
        if (n < 0) {
            throw EWriteError(SystemErrorText(errno));
        }
        if (n == 0) {
            break;
        }
        copy.Write(std::string_view(chunk, static_cast<size_t>(n)));
        offset += n;
    }
    copy.Close();
    ::chmod(backup.c_str(), old.st_mode & 07777);
    backupPath_ = backup;
}

void TFileWriter::Close() {
    if (fd_ < 0) {
        return;
    }
    Flush();
    if (temporary_.empty()) {
        // A device or pipe: what was written is all there is to do.
        const int fd = fd_;
        fd_ = -1;
        if (::close(fd) != 0) {
            throw EWriteError(SystemErrorText(errno));
        }
        return;
    }
    // A canceled or shortened write leaves no reserved blocks behind the end of the file.
    if (reserved_ > written_ && ::ftruncate(fd_, static_cast<off_t>(written_)) != 0) {
        throw EWriteError(SystemErrorText(errno));
    }
    // The bytes are on the disk before the name points to them: after a power cut the name holds
    // the old file or the new one.
    if (system_.Sync(fd_) != 0) {
        throw EWriteError(SystemErrorText(errno));
    }
    if (keepBackup_ && targetExisted_) {
        KeepPreviousVersion();
    }
    if (system_.Rename(temporary_, target_) != 0) {
        const int error = errno;
        backupPath_.clear();
        throw EWriteError(SystemErrorText(error));
    }
    temporary_.clear();
    if (!backupLink_.empty()) {
        if (::rename(backupLink_.c_str(), backupPath_.c_str()) != 0) {
            backupPath_.clear();  // the old bytes stay under the temporary name until cleaned up
        }
        backupLink_.clear();
    }
    SyncFolder(FolderOf(target_));
    Discard();
}

}  // namespace tarnwick
