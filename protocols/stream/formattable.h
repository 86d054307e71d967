#pragma once

#include <span>
#include <string_view>

#include "protocols/indicatorprotocol.h"
#include "protocols/stream/formatdescription.h"

namespace scale {

// Every built-in format, the window's three first, in the order --help lists them.
std::span<const FormatDescription> builtinFormats();

// The built-in format of that name, or null.
const FormatDescription* builtinFormat(std::string_view name);

// The row that keeps the window protocol's own decoding.
const FormatDescription& formatOf(IndicatorProtocol protocol);

}  // namespace scale
