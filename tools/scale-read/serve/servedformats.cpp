#include "tools/scale-read/serve/servedformats.h"

#include "protocols/formats/registry.h"

namespace scaleread {
namespace {

const scale::SpokenFormat* speakingOf(std::string_view name) {
    for (const scale::FormatUnit* unit : scale::formatUnits()) {
        if (unit->speaking.name == name) {
            return &unit->speaking;
        }
    }
    return nullptr;
}

// SICS: "S I", the command cannot be carried out now; @ cancels and names the scale. SMA: its
// answer to what it cannot answer. 8217: a status reply saying motion, which no point of sale
// takes as a weight.
const ServedFormat kServed[] = {
    {"sics", speakingOf("sics"), "S I\r\n", "@", "I4 A \"scale-read\"\r\n"},
    {"sma", speakingOf("sma"), "\n?\r", "", ""},
    {"8217", speakingOf("8217"), "\x02?A\r", "", ""},
};

}  // namespace

std::span<const ServedFormat> servedFormats() {
    return kServed;
}

const ServedFormat* servedFormatNamed(std::string_view name) {
    for (const ServedFormat& format : kServed) {
        if (format.name == name) {
            return &format;
        }
    }
    return nullptr;
}

std::string servedFormatNames() {
    std::string names;
    for (std::size_t i = 0; i < std::size(kServed); ++i) {
        names += i == 0 ? "" : i + 1 == std::size(kServed) ? " or " : ", ";
        names += kServed[i].name;
    }
    return names;
}

}  // namespace scaleread
