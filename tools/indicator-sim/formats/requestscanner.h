#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace indicatorsim {

// Finds complete command requests in received bytes, however they were split into reads and
// whatever junk surrounds them.
class RequestScanner {
public:
    // Takes the next received bytes; returns how many requests they completed.
    int feed(std::span<const std::uint8_t> bytes);

private:
    std::vector<std::uint8_t> m_window;  // the last bytes seen, at most one request long
};

}  // namespace indicatorsim
