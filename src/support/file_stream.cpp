#include "support/file_stream.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

#include "support/utils.h"

namespace tarnwick {
namespace {

std::atomic<long long> faultBudget{-1};

}  // namespace

EFCreateError::EFCreateError(const std::string& path, const std::string& reason)
    : EFileError("Cannot create file \"" + path + "\". " + reason) {}

EFOpenError::EFOpenError(const std::string& path, const std::string& reason)
    : EFileError("Cannot open file \"" + path + "\". " + reason) {}

std::string ReadFileBytes(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        throw EFOpenError(path, SystemErrorText(errno));
    }
    std::string bytes;
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
        ::close(fd);
        throw EFOpenError(path, SystemErrorText(EISDIR));
    }
    if (st.st_size > 0) {
        bytes.reserve(static_cast<size_t>(st.st_size));
    }
    char chunk[1 << 16];
    for (;;) {
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            const int error = errno;
            ::close(fd);
            throw EFOpenError(path, SystemErrorText(error));
        }
        if (n == 0)
            break;
        bytes.append(chunk, static_cast<size_t>(n));
    }
    ::close(fd);
    return bytes;
}

void TFileWriter::SetFaultAfterBytes(long long bytes) {
    faultBudget = bytes;
}

TFileWriter::TFileWriter(const std::string& path, int lockWaitMs) : path_(path) {
    // Opened without waiting, so that a named pipe nobody reads is an error rather than a hang;
    // the writes themselves wait as usual.
    fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | O_NONBLOCK, 0666);
    if (fd_ < 0) {
        throw EFCreateError(path, SystemErrorText(errno));
    }
    const int flags = ::fcntl(fd_, F_GETFL);
    if (flags < 0 || ::fcntl(fd_, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        const int error = errno;
        ::close(fd_);
        throw EFCreateError(path, SystemErrorText(error));
    }
    // Wait a little for another Tarnwick process to finish with the file, then give up rather
    // than hang behind it.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(lockWaitMs);
    while (::flock(fd_, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        if (error != EWOULDBLOCK && error != EINTR) {
            ::close(fd_);
            throw EFCreateError(path, SystemErrorText(error));
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            ::close(fd_);
            throw EFCreateError(path, "The file is in use by another process.");
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    // Devices and pipes cannot be truncated and need not be.
    struct stat st {};
    regular_ = ::fstat(fd_, &st) == 0 && S_ISREG(st.st_mode);
    if (regular_ && ::ftruncate(fd_, 0) != 0) {
        const int error = errno;
        ::close(fd_);
        throw EFCreateError(path, SystemErrorText(error));
    }
    buffer_ = std::make_unique_for_overwrite<char[]>(kBufferSize);
}

TFileWriter::~TFileWriter() {
    if (fd_ >= 0) {
        if (reserved_ > written_) {
            [[maybe_unused]] const int ignored = ::ftruncate(fd_, static_cast<off_t>(written_));
        }
        ::close(fd_);
    }
}

void TFileWriter::WriteToFile(const char* data, size_t size) {
    while (size > 0) {
        size_t chunk = size;
        long long budget = faultBudget.load();
        if (budget >= 0) {
            if (budget == 0) {
                throw EWriteError(SystemErrorText(ENOSPC));
            }
            chunk = std::min<size_t>(chunk, static_cast<size_t>(budget));
            faultBudget = budget - static_cast<long long>(chunk);
        }
        const ssize_t n = ::write(fd_, data, chunk);
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
    if (fd_ < 0 || !regular_ || size == 0) {
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

void TFileWriter::Close() {
    if (fd_ < 0) {
        return;
    }
    Flush();
    const int fd = fd_;
    fd_ = -1;
    // A canceled or shortened write leaves no reserved blocks behind the end of the file.
    if (reserved_ > written_ && ::ftruncate(fd, static_cast<off_t>(written_)) != 0) {
        const int error = errno;
        ::close(fd);
        throw EWriteError(SystemErrorText(error));
    }
    // Closing also releases the lock; a failing close can mean lost data on network folders.
    if (::close(fd) != 0) {
        throw EWriteError(SystemErrorText(errno));
    }
}

}  // namespace tarnwick
