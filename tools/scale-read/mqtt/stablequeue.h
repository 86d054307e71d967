#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>

namespace scaleread {

// The stable records a station keeps while the broker is away, oldest first. Bounded: when
// full, the oldest goes, and is counted.
class StableQueue {
public:
    explicit StableQueue(std::size_t limit) : m_limit(limit) {}

    void push(std::string payload);
    bool empty() const { return m_payloads.empty(); }
    std::size_t size() const { return m_payloads.size(); }
    const std::string& front() const { return m_payloads.front(); }
    void pop() { m_payloads.pop_front(); }
    // Records dropped since the last call.
    std::uint64_t takeDropped();

private:
    std::size_t m_limit;
    std::deque<std::string> m_payloads;
    std::uint64_t m_dropped = 0;
};

}  // namespace scaleread
