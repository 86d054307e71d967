#pragma once

#include <deque>
#include <functional>
#include <utility>

namespace scale {

// Runs the window's event handlers one at a time. A handler that falls due while another is
// still running (a modal message box runs a nested event loop) is held back and run after the
// running one returns, so no handler ever runs inside another. Several held-back events of the
// same source count once, as a host's timer or serial event would.
class HandlerGate {
public:
    enum class Source { Load, Click, Focus, Comm, Timer1, Timer3, PortBack };

    void run(Source source, std::function<void()> handler);
    bool busy() const { return m_busy; }

private:
    void runGuarded(const std::function<void()>& handler);

    bool m_busy = false;
    std::deque<std::pair<Source, std::function<void()>>> m_held;
};

}  // namespace scale
