#include "protocols/formats/registry.h"

namespace scale {

// Each defined in its format's folder.
const FormatUnit& continuousUnit();
const FormatUnit& commandUnit();
const FormatUnit& shentongUnit();
const FormatUnit& toledoUnit();
const FormatUnit& sicsUnit();
const FormatUnit& adUnit();
const FormatUnit& sbiUnit();
const FormatUnit& smaUnit();
const FormatUnit& riceLakeUnit();
const FormatUnit& cardinalUnit();
const FormatUnit& weighTronixUnit();
const FormatUnit& pos8217Unit();

std::span<const FormatUnit* const> formatUnits() {
    static const FormatUnit* const units[] = {
        &continuousUnit(), &commandUnit(), &shentongUnit(), &toledoUnit(),
        &sicsUnit(),       &adUnit(),      &sbiUnit(),      &smaUnit(),
        &riceLakeUnit(),   &cardinalUnit(), &weighTronixUnit(), &pos8217Unit(),
    };
    return units;
}

}  // namespace scale
