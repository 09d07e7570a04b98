#include "platform/process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <string_view>

namespace tarnwick {
namespace {

bool IsExecutableFile(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
           ::access(path.c_str(), X_OK) == 0;
}

int StatusOf(int raw) {
    if (WIFEXITED(raw)) {
        return WEXITSTATUS(raw);
    }
    return WIFSIGNALED(raw) ? 128 + WTERMSIG(raw) : -1;
}

void SleepMs(int ms) {
    ::poll(nullptr, 0, ms);
}

// $TMPDIR, else /tmp, ending in "/".
std::string TemporaryFolder() {
    const char* tmp = std::getenv("TMPDIR");
    std::string folder = (tmp && *tmp) ? tmp : "/tmp";
    if (folder.back() != '/') {
        folder += '/';
    }
    return folder;
}

constexpr const char* kLockName = "/.lock";

}  // namespace

std::string FindProgram(const std::string& name) {
    if (name.empty()) {
        return {};
    }
    if (name.find('/') != std::string::npos) {
        return IsExecutableFile(name) ? name : std::string();
    }
    const char* path = std::getenv("PATH");
    const std::string_view folders = path ? path : "/usr/local/bin:/usr/bin:/bin";
    size_t start = 0;
    while (start <= folders.size()) {
        size_t end = folders.find(':', start);
        if (end == std::string_view::npos) {
            end = folders.size();
        }
        // An empty entry of $PATH is the current folder.
        std::string folder(folders.substr(start, end - start));
        const std::string candidate = (folder.empty() ? "." : folder) + "/" + name;
        if (IsExecutableFile(candidate)) {
            return candidate;
        }
        start = end + 1;
    }
    return {};
}

std::string MakeTemporaryFolder(const std::string& prefix) {
    std::string path = TemporaryFolder() + prefix + "XXXXXX";
    return ::mkdtemp(path.data()) ? path : std::string();
}

TTemporaryFolder::TTemporaryFolder(const std::string& prefix) : path_(MakeTemporaryFolder(prefix)) {
    if (path_.empty()) {
        return;
    }
    lock_ = ::open((path_ + kLockName).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (lock_ >= 0) {
        ::flock(lock_, LOCK_EX);
    }
}

TTemporaryFolder::~TTemporaryFolder() {
    if (!path_.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    if (lock_ >= 0) {
        ::close(lock_);
    }
}

int RemoveLeftoverTemporaryFolders(const std::string& prefix) {
    int removed = 0;
    std::error_code error;
    for (std::filesystem::directory_iterator it(TemporaryFolder(), error), end; !error && it != end;
         it.increment(error)) {
        const std::string name = it->path().filename().string();
        std::error_code status;
        if (name.rfind(prefix, 0) != 0 || name.size() != prefix.size() + 6 ||
            !it->is_directory(status) || it->is_symlink(status)) {
            continue;
        }
        const std::string path = it->path().string();
        const int lock = ::open((path + kLockName).c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
        if (lock < 0) {
            continue;
        }
        if (::flock(lock, LOCK_EX | LOCK_NB) == 0) {
            std::filesystem::remove_all(path, status);
            removed += status ? 0 : 1;
        }
        ::close(lock);
    }
    return removed;
}

TChildProcess::~TChildProcess() {
    Stop();
}

int TChildProcess::Start(const std::string& program, const std::vector<std::string>& arguments,
                         const std::string& folder) {
    // Everything the child needs is made before the fork: between fork and exec only calls
    // that are safe in a copy of a process with other threads are made.
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& argument : arguments) {
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);

    int out[2];
    if (::pipe2(out, O_CLOEXEC) != 0) {
        return errno;
    }
    // The child's exec failure comes back through this pipe; a successful exec closes it.
    int failure[2];
    if (::pipe2(failure, O_CLOEXEC) != 0) {
        const int error = errno;
        ::close(out[0]);
        ::close(out[1]);
        return error;
    }
    const pid_t pid = ::fork();
    if (pid < 0) {
        const int error = errno;
        for (int fd : {out[0], out[1], failure[0], failure[1]}) {
            ::close(fd);
        }
        return error;
    }
    if (pid == 0) {
        ::setpgid(0, 0);
        sigset_t none;
        sigemptyset(&none);
        ::sigprocmask(SIG_SETMASK, &none, nullptr);
        ::signal(SIGPIPE, SIG_DFL);
        int error = 0;
        const int input = ::open("/dev/null", O_RDONLY);
        if (input < 0 || ::dup2(input, STDIN_FILENO) < 0 || ::dup2(out[1], STDOUT_FILENO) < 0 ||
            ::dup2(out[1], STDERR_FILENO) < 0 || ::chdir(folder.c_str()) != 0) {
            error = errno;
        } else {
            ::execv(program.c_str(), argv.data());
            error = errno;
        }
        [[maybe_unused]] const ssize_t written = ::write(failure[1], &error, sizeof error);
        ::_exit(127);
    }
    // Both sides set the group, so that a Stop() right after the start reaches it.
    ::setpgid(pid, pid);
    ::close(out[1]);
    ::close(failure[1]);
    int error = 0;
    ssize_t got;
    do {
        got = ::read(failure[0], &error, sizeof error);
    } while (got < 0 && errno == EINTR);
    ::close(failure[0]);
    if (got == static_cast<ssize_t>(sizeof error)) {
        ::close(out[0]);
        int raw = 0;
        while (::waitpid(pid, &raw, 0) < 0 && errno == EINTR) {
        }
        return error != 0 ? error : ENOEXEC;
    }
    pid_ = pid;
    output_ = out[0];
    exitStatus_ = -1;
    partial_.clear();
    return 0;
}

void TChildProcess::TakeOutput(std::vector<std::string>& lines, bool atEnd) {
    for (size_t newline = partial_.find('\n'); newline != std::string::npos;
         newline = partial_.find('\n')) {
        size_t end = newline;
        if (end > 0 && partial_[end - 1] == '\r') {
            --end;
        }
        lines.push_back(partial_.substr(0, end));
        partial_.erase(0, newline + 1);
    }
    if (atEnd && !partial_.empty()) {
        if (partial_.back() == '\r') {
            partial_.pop_back();
        }
        lines.push_back(partial_);
        partial_.clear();
    }
}

void TChildProcess::CloseOutput() {
    if (output_ >= 0) {
        ::close(output_);
        output_ = -1;
    }
}

void TChildProcess::Reap(bool wait) {
    if (pid_ <= 0) {
        return;
    }
    int raw = 0;
    pid_t got;
    do {
        got = ::waitpid(pid_, &raw, wait ? 0 : WNOHANG);
    } while (got < 0 && errno == EINTR);
    if (got == pid_ || (got < 0 && errno == ECHILD)) {
        exitStatus_ = got == pid_ ? StatusOf(raw) : -1;
        pid_ = -1;
    }
}

bool TChildProcess::Poll(int timeoutMs, std::vector<std::string>& lines) {
    if (pid_ <= 0 && output_ < 0) {
        return false;
    }
    if (output_ >= 0) {
        pollfd fd{output_, POLLIN, 0};
        if (::poll(&fd, 1, timeoutMs) > 0) {
            char buffer[8192];
            const ssize_t got = ::read(output_, buffer, sizeof buffer);
            if (got > 0) {
                partial_.append(buffer, static_cast<size_t>(got));
            } else if (got == 0 || (errno != EINTR && errno != EAGAIN)) {
                CloseOutput();
            }
        }
    } else {
        SleepMs(timeoutMs);
    }
    Reap(false);
    if (pid_ <= 0 && output_ >= 0) {
        // The program has ended: what is left in the pipe is read without waiting for anything
        // it may have left running with the pipe open.
        ::fcntl(output_, F_SETFL, ::fcntl(output_, F_GETFL) | O_NONBLOCK);
        char buffer[8192];
        ssize_t got;
        while ((got = ::read(output_, buffer, sizeof buffer)) > 0) {
            partial_.append(buffer, static_cast<size_t>(got));
        }
        CloseOutput();
    }
    const bool running = pid_ > 0 || output_ >= 0;
    TakeOutput(lines, !running);
    return running;
}

void TChildProcess::Stop(int graceMs) {
    if (pid_ > 0) {
        ::kill(-pid_, SIGTERM);
        // The leader is watched without being reaped, so that the group's number stays taken
        // until the SIGKILL below has reached whatever else is left in it.
        for (int waited = 0; waited < graceMs; waited += 10) {
            siginfo_t info{};
            if (::waitid(P_PID, static_cast<id_t>(pid_), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
                info.si_pid == pid_) {
                break;
            }
            SleepMs(10);
        }
        ::kill(-pid_, SIGKILL);
        Reap(true);
    }
    CloseOutput();
    partial_.clear();
}

}  // namespace tarnwick
