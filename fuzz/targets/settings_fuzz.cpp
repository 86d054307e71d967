// The settings file's parser on arbitrary text, and the file's writer against it.

#include <QByteArray>
#include <cstddef>
#include <cstdint>

#include "app/settings/settingsfile.h"
#include "fuzz/checks/fuzzcheck.h"

namespace {

using namespace scale;
using fuzz::require;

scale::ComboPositions positionsOf(const std::vector<std::int16_t>& parsed) {
    ComboPositions positions{};
    for (std::size_t i = 0; i < positions.size(); ++i) {
        positions[i] = parsed[i];
    }
    return positions;
}

// Six 16-bit positions from the input's first twelve bytes, written and read back.
void checkWritten(const std::uint8_t* data, std::size_t size) {
    if (size < 12) {
        return;
    }
    ComboPositions positions{};
    for (std::size_t i = 0; i < positions.size(); ++i) {
        positions[i] = static_cast<std::int16_t>((data[2 * i] << 8u) | data[2 * i + 1]);
    }
    const auto parsed = parseSettings(formatSettings(positions));
    require(parsed && parsed->size() == 6 && positionsOf(*parsed) == positions,
            "a written file reads back as its positions");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray text(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const auto parsed = parseSettings(text);
    require(parseSettings(text) == parsed, "parsing is deterministic");
    if (text.isEmpty()) {
        require(!parsed, "an empty file gives no positions");
    }
    if (parsed) {
        // Fewer than six when the text ends early; each fits 16 bits by its type.
        require(!parsed->empty() && parsed->size() <= 6, "one to six positions");
        if (parsed->size() == 6) {
            const auto again = parseSettings(formatSettings(positionsOf(*parsed)));
            require(again == parsed, "parsed positions written again read back the same");
        }
    }
    checkWritten(data, size);
    return 0;
}
