// TFileWriter: the file layer's writing half (see file_system.h).
#include <fcntl.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <thread>

#include "platform/file_system.h"
#include "platform/file_system_internal.h"
#include "platform/system_text.h"

namespace tarnwick {
using namespace file_system_detail;
namespace {

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
        if (error != 0 || NamesOpenFile(target_, targetLock_)) {
            targetExisted_ = true;
            struct stat locked {};
            if (::fstat(targetLock_, &locked) == 0) {
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
