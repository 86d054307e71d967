#include <algorithm>
#include <vector>

#include "protocols/formats/registry.h"
#include "tools/indicator-sim/formats/spokenformat.h"

namespace indicatorsim {
namespace {

// The registry's formats that have a frame of their own to send; the window's three protocols
// are sent by protocolframes.
const std::vector<SpokenFormat>& spokenFormats() {
    static const std::vector<SpokenFormat> formats = [] {
        std::vector<SpokenFormat> spoken;
        for (const scale::FormatUnit* unit : scale::formatUnits()) {
            if (unit->speaking.render != nullptr) {
                spoken.push_back(unit->speaking);
            }
        }
        return spoken;
    }();
    return formats;
}

}  // namespace

const SpokenFormat* formatNamed(std::string_view name) {
    const auto& formats = spokenFormats();
    const auto format = std::ranges::find(formats, name, &SpokenFormat::name);
    return format == formats.end() ? nullptr : &*format;
}

std::string formatNames() {
    std::string names;
    for (const SpokenFormat& format : spokenFormats()) {
        names += (names.empty() ? "" : ", ") + std::string(format.name);
    }
    return names;
}

std::span<const SpokenFormat> allFormats() {
    return spokenFormats();
}

}  // namespace indicatorsim
