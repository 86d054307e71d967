#include "tools/scale-read/runs/signalwatch.h"

#include <sys/signalfd.h>
#include <unistd.h>

#include <csignal>

namespace scaleread {

SignalWatch::SignalWatch(std::function<void(int signal)> onSignal)
    : m_onSignal(std::move(onSignal)) {
    sigset_t ending;
    sigemptyset(&ending);
    sigaddset(&ending, SIGINT);
    sigaddset(&ending, SIGTERM);
    sigaddset(&ending, SIGHUP);
    if (::sigprocmask(SIG_BLOCK, &ending, nullptr) == 0) {
        m_fd = ::signalfd(-1, &ending, SFD_CLOEXEC | SFD_NONBLOCK);
    }
    // A closed pipe on standard output is an error from write, not a signal that kills the run.
    std::signal(SIGPIPE, SIG_IGN);
}

SignalWatch::~SignalWatch() {
    delete m_notifier;
    if (m_fd >= 0) {
        ::close(m_fd);
    }
}

void SignalWatch::start() {
    if (m_fd < 0) {
        return;
    }
    m_notifier = new QSocketNotifier(m_fd, QSocketNotifier::Read);
    QObject::connect(m_notifier, &QSocketNotifier::activated, [this] {
        signalfd_siginfo info{};
        while (::read(m_fd, &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {
            m_onSignal(static_cast<int>(info.ssi_signo));
        }
    });
}

}  // namespace scaleread
