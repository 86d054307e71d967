#include "tools/scale-read/http/server/clientframecheck.h"

#include <algorithm>

namespace scaleread {
namespace {

// The header's length once its first two bytes are known.
std::size_t headerSize(std::uint8_t second) {
    const std::uint8_t length = second & 0x7F;
    const std::size_t extended = length == 126 ? 2 : length == 127 ? 8 : 0;
    return 2 + extended + ((second & 0x80) != 0 ? 4 : 0);
}

}  // namespace

bool ClientFrameCheck::feed(std::span<const std::uint8_t> bytes) {
    std::size_t at = 0;
    while (!m_unmasked && at < bytes.size()) {
        if (m_payloadLeft > 0) {
            const std::uint64_t skipped =
                std::min<std::uint64_t>(m_payloadLeft, bytes.size() - at);
            m_payloadLeft -= skipped;
            at += static_cast<std::size_t>(skipped);
            continue;
        }
        m_header[m_have++] = bytes[at++];
        if (m_have < 2) {
            continue;
        }
        if ((m_header[1] & 0x80) == 0) {
            m_unmasked = true;
            break;
        }
        if (m_have < headerSize(m_header[1])) {
            continue;
        }
        const std::uint8_t length = m_header[1] & 0x7F;
        const std::size_t extended = length == 126 ? 2 : length == 127 ? 8 : 0;
        m_payloadLeft = extended == 0 ? length : 0;
        for (std::size_t i = 0; i < extended; ++i) {
            m_payloadLeft = (m_payloadLeft << 8) | m_header[2 + i];
        }
        m_have = 0;
    }
    return !m_unmasked;
}

}  // namespace scaleread
