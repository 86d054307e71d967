#pragma once

#include <span>
#include <string>
#include <string_view>

#include "protocols/formats/encoding.h"
#include "tools/indicator-sim/indicator/indicatorstate.h"

namespace indicatorsim {

// The indicator's side of each format lives with the format, in protocols/formats/.
using scale::FormatSettings;
using scale::RequestFraming;
using scale::RequestKind;
using scale::RequestWord;
using scale::SpokenFormat;

// Null when no format has that name.
const SpokenFormat* formatNamed(std::string_view name);

// The built-in formats the simulator speaks beyond the window's three protocols.
std::span<const SpokenFormat> allFormats();

// The formats' names, comma separated, for messages.
std::string formatNames();

}  // namespace indicatorsim
