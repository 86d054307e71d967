#pragma once

#include <QObject>
#include <QSocketNotifier>
#include <functional>

namespace scaleread {

// SIGINT, SIGTERM and SIGHUP, taken from the event loop so that a run ends through its usual
// path: records written out, files closed. Blocks the signals when made: make it before any
// thread starts.
class SignalWatch {
public:
    explicit SignalWatch(std::function<void(int signal)> onSignal);
    ~SignalWatch();
    SignalWatch(const SignalWatch&) = delete;
    SignalWatch& operator=(const SignalWatch&) = delete;

    // Starts watching; needs the application object.
    void start();

private:
    int m_fd = -1;
    std::function<void(int)> m_onSignal;
    QSocketNotifier* m_notifier = nullptr;
};

}  // namespace scaleread
