#pragma once

#include <string_view>

namespace indicatorsim {

// What --help prints: every option, the output format and examples.
std::string_view helpText();

}  // namespace indicatorsim
