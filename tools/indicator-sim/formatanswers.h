#pragma once

#include <string>

#include "tools/indicator-sim/spokenformat.h"
#include "tools/indicator-sim/indicatorstate.h"

namespace indicatorsim {

// What each asking format answers to its own requests, for the format table. `done` says whether
// a zero, tare or clear-tare command was carried out; the state is the one after it.
std::string answerSics(RequestKind kind, bool done, const IndicatorState& state,
                       const FormatSettings& settings);
std::string answerAd(RequestKind kind, bool done, const IndicatorState& state,
                     const FormatSettings& settings);
std::string answerSbi(RequestKind kind, bool done, const IndicatorState& state,
                      const FormatSettings& settings);
std::string answerSma(RequestKind kind, bool done, const IndicatorState& state,
                      const FormatSettings& settings);
std::string answer8217(RequestKind kind, bool done, const IndicatorState& state,
                       const FormatSettings& settings);

}  // namespace indicatorsim
