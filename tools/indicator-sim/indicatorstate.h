#pragma once

#include <cstdint>

namespace indicatorsim {

// What an indicator shows at one moment, in whole units of the last decimal place (12.345 kg
// with 3 decimals is 12345), for the formats that report more than a weight.
struct IndicatorState {
    std::int64_t shown = 0;  // net while `net`, else gross; may be negative
    std::int64_t gross = 0;
    std::int64_t tare = 0;
    int decimals = 0;
    bool net = false;
    bool motion = false;
    bool overCapacity = false;  // gross above --capacity: no weight to report
    // Gross below minus --capacity: only a described format with an underload frame sends one.
    bool underCapacity = false;
};

}  // namespace indicatorsim
