#pragma once

#include "protocols/formats/encoding.h"

namespace indicatorsim {

using scale::IndicatorState;

}  // namespace indicatorsim
