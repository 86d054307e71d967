#pragma once

#include <cstdint>
#include <vector>

#include "tools/scale-read/keyboard/typetemplate.h"

namespace scaleread {

// The X keysyms that type a step, one per character or key, as both X11 and the Wayland
// portal take them: Latin-1 is its code point, the rest of Unicode 0x01000000 + its code point.
// A byte that is not UTF-8 stands for itself.
std::vector<std::uint32_t> keysymsOf(const TypeStep& step);

}  // namespace scaleread
