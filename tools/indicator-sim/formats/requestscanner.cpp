#include "tools/indicator-sim/formats/requestscanner.h"

#include "protocols/window/commandrequest.h"
#include "protocols/window/frames.h"

namespace indicatorsim {

int RequestScanner::feed(std::span<const std::uint8_t> bytes) {
    constexpr std::size_t kRequestLength = std::tuple_size_v<scale::TxFrameBytes>;
    int requests = 0;
    for (const std::uint8_t byte : bytes) {
        if (m_window.size() == kRequestLength) {
            m_window.erase(m_window.begin());
        }
        m_window.push_back(byte);
        if (scale::isCommandRequest(m_window)) {
            ++requests;
            m_window.clear();  // a request's bytes never count towards the next one
        }
    }
    return requests;
}

}  // namespace indicatorsim
