#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace scaleread {

// Follows the frames a WebSocket client sends by their headers alone, to tell when one comes
// unmasked: a server must then close the connection (RFC 6455, 5.1). Qt WebSockets 6.4 takes
// such frames from a client as they are, so the service looks at the bytes before Qt reads them.
class ClientFrameCheck {
public:
    // Takes the next bytes the client sent; false from the first unmasked frame on.
    bool feed(std::span<const std::uint8_t> bytes);

private:
    std::array<std::uint8_t, 14> m_header{};  // the longest header: 2 + 8 length + 4 mask
    std::size_t m_have = 0;                   // bytes of the current header seen
    std::uint64_t m_payloadLeft = 0;          // bytes of the current frame's payload to pass
    bool m_unmasked = false;
};

}  // namespace scaleread
