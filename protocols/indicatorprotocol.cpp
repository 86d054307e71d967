#include "protocols/indicatorprotocol.h"

#include <array>

namespace scale {
namespace {

constexpr std::array<std::string_view, 3> kNames = {"continuous", "command", "shentong"};

}  // namespace

std::string_view protocolName(IndicatorProtocol protocol) {
    return kNames[static_cast<std::size_t>(protocol)];
}

std::optional<IndicatorProtocol> protocolNamed(std::string_view name) {
    for (std::size_t i = 0; i < kNames.size(); ++i) {
        if (kNames[i] == name) {
            return static_cast<IndicatorProtocol>(i);
        }
    }
    return std::nullopt;
}

}  // namespace scale
