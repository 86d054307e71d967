#pragma once

#include <span>

#include "protocols/formats/formatunit.h"

namespace scale {

// Every built-in format, the window's three first, in the order --help lists them.
std::span<const FormatUnit* const> formatUnits();

}  // namespace scale
