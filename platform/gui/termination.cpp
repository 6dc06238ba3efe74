#include "platform/gui/termination.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace platform {

namespace {

// The handler only writes a byte into a socket pair; the event loop reads it.
int wakeFds[2] = {-1, -1};

extern "C" void onTerminationSignal(int) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(wakeFds[0], &byte, 1);
}

} // namespace

bool quitOnTerminationSignals() {
    auto* app = QCoreApplication::instance();
    if (!app || wakeFds[0] >= 0)
        return false;
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, wakeFds) != 0)
        return false;
    auto* notifier = new QSocketNotifier(wakeFds[1], QSocketNotifier::Read, app);
    QObject::connect(notifier, &QSocketNotifier::activated, app, [] {
        char byte;
        [[maybe_unused]] const ssize_t got = ::read(wakeFds[1], &byte, 1);
        QCoreApplication::quit();
    });
    struct sigaction action = {};
    action.sa_handler = onTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    bool taken = true;
    for (const int sig : {SIGTERM, SIGHUP, SIGINT})
        taken = ::sigaction(sig, &action, nullptr) == 0 && taken;
    return taken;
}

} // namespace platform
