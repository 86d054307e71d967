#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace scale::fuzz {

// Hands out the fuzzer's bytes front to back; once they run out, bytes read as 0 and spans are
// empty, so every input is a complete case.
class FuzzInput {
public:
    FuzzInput(const std::uint8_t* data, std::size_t size) : m_rest(data, size) {}

    std::uint8_t byte() {
        if (m_rest.empty()) {
            return 0;
        }
        const std::uint8_t b = m_rest.front();
        m_rest = m_rest.subspan(1);
        return b;
    }

    std::uint32_t word() {
        std::uint32_t w = 0;
        for (int i = 0; i < 4; ++i) {
            w = (w << 8u) | byte();
        }
        return w;
    }

    std::span<const std::uint8_t> bytes(std::size_t count) {
        const std::span<const std::uint8_t> taken =
            m_rest.first(count < m_rest.size() ? count : m_rest.size());
        m_rest = m_rest.subspan(taken.size());
        return taken;
    }

    std::span<const std::uint8_t> rest() { return bytes(m_rest.size()); }

    bool empty() const { return m_rest.empty(); }

private:
    std::span<const std::uint8_t> m_rest;
};

}  // namespace scale::fuzz
