#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace indicatorsim {

// Where the simulator listens with --tcp.
struct TcpPlace {
    std::string address = "127.0.0.1";  // IPv4
    std::uint16_t port = 0;              // 0: a free one
};

// "[ADDR:]PORT"; nullopt when it is not an IPv4 address and a port from 0 to 65535.
std::optional<TcpPlace> parseTcpPlace(std::string_view text);

}  // namespace indicatorsim
