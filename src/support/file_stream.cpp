#include "support/file_stream.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
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
    fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
    if (fd_ < 0) {
        throw EFCreateError(path, SystemErrorText(errno));
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
    if (::fstat(fd_, &st) == 0 && S_ISREG(st.st_mode) && ::ftruncate(fd_, 0) != 0) {
        const int error = errno;
        ::close(fd_);
        throw EFCreateError(path, SystemErrorText(error));
    }
    buffer_.reserve(kBufferSize);
}

TFileWriter::~TFileWriter() {
    if (fd_ >= 0) {
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
    }
}

void TFileWriter::Write(std::string_view bytes) {
    if (fd_ < 0) {
        throw EWriteError();
    }
    if (buffer_.size() + bytes.size() > kBufferSize) {
        Flush();
        if (bytes.size() >= kBufferSize) {
            WriteToFile(bytes.data(), bytes.size());
            return;
        }
    }
    buffer_.append(bytes);
}

void TFileWriter::Flush() {
    if (fd_ < 0) {
        throw EWriteError();
    }
    std::string pending;
    pending.swap(buffer_);
    buffer_.reserve(kBufferSize);
    WriteToFile(pending.data(), pending.size());
}

void TFileWriter::Close() {
    if (fd_ < 0) {
        return;
    }
    Flush();
    const int fd = fd_;
    fd_ = -1;
    // Closing also releases the lock; a failing close can mean lost data on network folders.
    if (::close(fd) != 0) {
        throw EWriteError(SystemErrorText(errno));
    }
}

}  // namespace tarnwick
