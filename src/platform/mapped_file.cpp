#include "platform/mapped_file.h"

#include <sys/mman.h>
#include <unistd.h>

#include <csignal>
#include <cstdint>
#include <mutex>
#include <utility>

namespace tarnwick {
namespace {

// The mapping that the current thread is reading. The bus-error handler reads it, so it lives in
// the thread's static block (initial-exec), which a signal handler may touch.
struct TGuard {
    char* Begin = nullptr;
    char* End = nullptr;
    volatile std::sig_atomic_t Shrunk = 0;
};
thread_local TGuard tGuard __attribute__((tls_model("initial-exec")));

std::once_flag handlerInstalled;
struct sigaction previousAction;
std::uintptr_t pageSize = 4096;

// A read past the new end of a shortened file: the rest of the mapping becomes zeros, so that
// the reader finishes its page and then sees Shrunk(). Any other bus error goes where it went
// before this handler was installed.
void OnBusError(int signal, siginfo_t* info, void* context) {
    char* at = static_cast<char*>(info->si_addr);
    TGuard& guard = tGuard;
    if (guard.Begin != nullptr && at >= guard.Begin && at < guard.End) {
        char* page =
            reinterpret_cast<char*>(reinterpret_cast<std::uintptr_t>(at) & ~(pageSize - 1));
        void* zeros = ::mmap(page, static_cast<size_t>(guard.End - page), PROT_READ,
                             MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0);
        if (zeros != MAP_FAILED) {
            guard.Shrunk = 1;
            return;
        }
    }
    if ((previousAction.sa_flags & SA_SIGINFO) != 0 && previousAction.sa_sigaction != nullptr) {
        previousAction.sa_sigaction(signal, info, context);
        return;
    }
    if (previousAction.sa_handler != SIG_DFL && previousAction.sa_handler != SIG_IGN) {
        previousAction.sa_handler(signal);
        return;
    }
    // The default action: the faulting access runs again on return and ends the program, as it
    // would have without this handler.
    struct sigaction fallback {};
    fallback.sa_handler = SIG_DFL;
    sigemptyset(&fallback.sa_mask);
    ::sigaction(SIGBUS, &fallback, nullptr);
}

void InstallHandler() {
    const long size = ::sysconf(_SC_PAGESIZE);
    if (size > 0) {
        pageSize = static_cast<std::uintptr_t>(size);
    }
    struct sigaction action {};
    action.sa_sigaction = OnBusError;
    action.sa_flags = SA_SIGINFO | SA_RESTART;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGBUS, &action, &previousAction);
}

}  // namespace

TMappedFile::~TMappedFile() {
    Unmap();
}

TMappedFile& TMappedFile::operator=(TMappedFile&& other) noexcept {
    if (this != &other) {
        Unmap();
        data_ = std::exchange(other.data_, nullptr);
        size_ = std::exchange(other.size_, 0);
        mappedSize_ = std::exchange(other.mappedSize_, 0);
    }
    return *this;
}

bool TMappedFile::Map(int fd, size_t size) {
    Unmap();
    if (size == 0) {
        return false;
    }
    std::call_once(handlerInstalled, InstallHandler);
    // Populated at once: the pages are in the page cache for a warm project, and mapping them
    // all in one call costs less than a fault for every few of them.
    void* data = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE | MAP_POPULATE, fd, 0);
    if (data == MAP_FAILED) {
        return false;
    }
    ::madvise(data, size, MADV_SEQUENTIAL);
    data_ = static_cast<char*>(data);
    size_ = size;
    mappedSize_ = (size + pageSize - 1) & ~(pageSize - 1);
    tGuard.Shrunk = 0;
    tGuard.End = data_ + mappedSize_;
    tGuard.Begin = data_;
    return true;
}

void TMappedFile::Unmap() noexcept {
    if (data_ == nullptr) {
        return;
    }
    if (tGuard.Begin == data_) {
        tGuard.Begin = nullptr;
        tGuard.End = nullptr;
    }
    ::munmap(data_, mappedSize_);
    data_ = nullptr;
    size_ = 0;
    mappedSize_ = 0;
}

bool TMappedFile::Shrunk() const {
    return data_ != nullptr && tGuard.Begin == data_ && tGuard.Shrunk != 0;
}

}  // namespace tarnwick
