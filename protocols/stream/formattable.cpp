#include "protocols/stream/formattable.h"

#include <vector>

#include "protocols/formats/registry.h"

namespace scale {
namespace {

const std::vector<FormatDescription>& rows() {
    static const std::vector<FormatDescription> formats = [] {
        std::vector<FormatDescription> all;
        for (const FormatUnit* unit : formatUnits()) {
            all.push_back(unit->format);
        }
        return all;
    }();
    return formats;
}

}  // namespace

std::span<const FormatDescription> builtinFormats() { return rows(); }

const FormatDescription* builtinFormat(std::string_view name) {
    for (const FormatDescription& format : rows()) {
        if (format.name == name) {
            return &format;
        }
    }
    return nullptr;
}

const FormatDescription& formatOf(IndicatorProtocol protocol) {
    return rows()[static_cast<std::size_t>(protocol)];
}

}  // namespace scale
