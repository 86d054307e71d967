#include "tools/scale-read/mqtt/stablequeue.h"

namespace scaleread {

void StableQueue::push(std::string payload) {
    if (m_limit == 0) {
        ++m_dropped;
        return;
    }
    if (m_payloads.size() == m_limit) {
        m_payloads.pop_front();
        ++m_dropped;
    }
    m_payloads.push_back(std::move(payload));
}

std::uint64_t StableQueue::takeDropped() {
    const std::uint64_t dropped = m_dropped;
    m_dropped = 0;
    return dropped;
}

}  // namespace scaleread
