#include "tools/indicator-sim/line/tcp/tcpplace.h"

#include <arpa/inet.h>

#include <charconv>

namespace indicatorsim {

std::optional<TcpPlace> parseTcpPlace(std::string_view text) {
    TcpPlace place;
    const std::size_t colon = text.rfind(':');
    if (colon != std::string_view::npos) {
        place.address = std::string(text.substr(0, colon));
        text = text.substr(colon + 1);
    }
    in_addr parsed{};
    unsigned port = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), port);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || port > 65535 ||
        ::inet_pton(AF_INET, place.address.c_str(), &parsed) != 1) {
        return std::nullopt;
    }
    place.port = static_cast<std::uint16_t>(port);
    return place;
}

}  // namespace indicatorsim
