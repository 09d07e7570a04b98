#include "platform/qt/termination_signals.h"

#include <sys/socket.h>
#include <unistd.h>

#include <QPointer>
#include <QSocketNotifier>
#include <QWidget>
#include <cerrno>
#include <csignal>
#include <iterator>

namespace tarnwick {
namespace {

constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};

// [0] is read by the GUI thread, [1] written by the handler; neither end blocks.
int signalPipe[2] = {-1, -1};
struct sigaction previous[std::size(kSignals)];
bool caught[std::size(kSignals)] = {};
QPointer<QSocketNotifier> listener;

void OnTerminationSignal(int) {
    // Only async-signal-safe work here: hand the signal to the event loop. With the pipe full a
    // close is already on its way, and the byte is not needed.
    const int savedErrno = errno;
    const char byte = 1;
    [[maybe_unused]] const ssize_t ignored = ::write(signalPipe[1], &byte, 1);
    errno = savedErrno;
}

void DrainPipe() {
    char bytes[64];
    while (::read(signalPipe[0], bytes, sizeof bytes) > 0) {
    }
}

void CatchSignals() {
    struct sigaction action {};
    action.sa_handler = OnTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (std::size_t i = 0; i < std::size(kSignals); ++i) {
        if (caught[i]) {
            continue;
        }
        struct sigaction before {};
        ::sigaction(kSignals[i], nullptr, &before);
        if (!(before.sa_flags & SA_SIGINFO) && before.sa_handler == SIG_IGN) {
            continue;
        }
        previous[i] = before;
        caught[i] = ::sigaction(kSignals[i], &action, nullptr) == 0;
    }
}

void ReleaseSignals() {
    for (std::size_t i = 0; i < std::size(kSignals); ++i) {
        if (caught[i]) {
            ::sigaction(kSignals[i], &previous[i], nullptr);
            caught[i] = false;
        }
    }
}

}  // namespace

void CloseOnTerminationSignals(QWidget* window) {
    if (signalPipe[0] < 0 &&
        ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, signalPipe) != 0) {
        return;
    }
    delete listener.data();
    // A signal meant for an earlier window does not close this one.
    DrainPipe();
    listener = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, window);
    QObject::connect(listener.data(), &QSocketNotifier::activated, window, [window]() {
        DrainPipe();
        window->close();
    });
    QObject::connect(listener.data(), &QObject::destroyed, []() { ReleaseSignals(); });
    CatchSignals();
}

}  // namespace tarnwick
