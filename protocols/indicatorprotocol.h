#pragma once

#include <optional>
#include <string_view>

namespace scale {

// The three indicator protocols, in the window's mode order.
enum class IndicatorProtocol { Continuous, Command, ShenTong };

// "continuous", "command", "shentong".
std::string_view protocolName(IndicatorProtocol protocol);
std::optional<IndicatorProtocol> protocolNamed(std::string_view name);

}  // namespace scale
