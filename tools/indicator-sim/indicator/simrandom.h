#pragma once

#include <cstdint>

namespace indicatorsim {

// SplitMix64: small, fast and, unlike the standard distributions, gives the same numbers on every
// standard library, so a seed repeats a run anywhere.
class SimRandom {
public:
    explicit SimRandom(std::uint64_t seed) : m_state(seed) {}

    std::uint64_t next() {
        std::uint64_t z = (m_state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }

    // Uniform in [0, 1).
    double unit() { return static_cast<double>(next() >> 11) * 0x1.0p-53; }

    // True with probability `rate` (0 to 1).
    bool chance(double rate) { return unit() < rate; }

    // Uniform in [low, high]; the slight modulo bias does not matter here.
    std::int64_t between(std::int64_t low, std::int64_t high) {
        const auto span = static_cast<std::uint64_t>(high - low) + 1u;
        return low + static_cast<std::int64_t>(next() % span);
    }

    std::uint8_t byte() { return static_cast<std::uint8_t>(next() >> 56); }

private:
    std::uint64_t m_state;
};

}  // namespace indicatorsim
