#include "app/window/handlergate.h"

#include <algorithm>
#include <exception>

namespace scale {

void HandlerGate::run(Source source, std::function<void()> handler) {
    if (m_busy) {
        const bool alreadyHeld = std::ranges::any_of(
            m_held, [source](const auto& held) { return held.first == source; });
        if (!alreadyHeld) {
            m_held.emplace_back(source, std::move(handler));
        }
        return;
    }
    runGuarded(handler);
    while (!m_held.empty()) {
        const auto next = std::move(m_held.front());
        m_held.pop_front();
        runGuarded(next.second);
    }
}

void HandlerGate::runGuarded(const std::function<void()>& handler) {
    m_busy = true;
    try {
        handler();
    } catch (const std::exception&) {
        // Procedures turn their own failures into what the window shows; anything that still
        // escapes (out of memory) must not unwind into the event loop.
    }
    m_busy = false;
}

}  // namespace scale
