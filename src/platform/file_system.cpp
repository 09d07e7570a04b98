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

#include "platform/file_system_internal.h"
#include "platform/system_text.h"

namespace tarnwick {
using namespace file_system_detail;
namespace {

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

// OpenRegularFile, leaving the descriptor non-blocking, with the file's status into `st`.
int OpenRegular(const std::string& path, int flags, mode_t createMode, mode_t& refusedMode,
                struct stat& st) {
    refusedMode = 0;
    const int fd = ::open(path.c_str(), flags | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, createMode);
    if (fd < 0) {
        return -1;
    }
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
    return fd;
}

}  // namespace

namespace file_system_detail {

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

}  // namespace file_system_detail

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
    // The descriptor stays non-blocking, which a regular file's reads ignore: a run reads
    // thousands of pages, and clearing the flag would take two more system calls for each. Read
    // clears it should a file system answer EAGAIN after all.
    struct stat st {};
    fd_ = OpenRegular(path, O_RDONLY, 0, mode_, st);
    if (fd_ < 0) {
        error_ = errno;
        return;
    }
    size_ = static_cast<std::uint64_t>(st.st_size);
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
        if (n >= 0) {
            return n;
        }
        if (errno == EAGAIN) {
            const int status = ::fcntl(fd_, F_GETFL);
            if (status < 0 || (status & O_NONBLOCK) == 0 ||
                ::fcntl(fd_, F_SETFL, status & ~O_NONBLOCK) != 0) {
                errno = EAGAIN;
                return -1;
            }
        } else if (errno != EINTR) {
            return -1;
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
    struct stat st {};
    const int fd = OpenRegular(path, flags, createMode, refusedMode, st);
    if (fd >= 0) {
        const int status = ::fcntl(fd, F_GETFL);
        if (status >= 0) {
            ::fcntl(fd, F_SETFL, status & ~O_NONBLOCK);
        }
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
        if (!locked || NamesOpenFile(pathTemplate, fd)) {
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

}  // namespace tarnwick
