#include <algorithm>

#include "tools/indicator-sim/formatanswers.h"
#include "tools/indicator-sim/formatframes.h"
#include "tools/indicator-sim/spokenformat.h"

namespace indicatorsim {
namespace {

using enum RequestKind;

constexpr RequestWord kSicsRequests[] = {
    {"SI", Weight}, {"S", StableWeight}, {"Z", Zero}, {"T", Tare}, {"TAC", ClearTare},
};
constexpr RequestWord kAdRequests[] = {{"Q", Weight}, {"R", Zero}, {"T", Tare}};
constexpr RequestWord kSbiRequests[] = {{"P", Weight}, {"U", Tare}, {"V", Zero}};
constexpr RequestWord kSmaRequests[] = {{"W", Weight}, {"Z", Zero}, {"T", Tare}, {"C", ClearTare}};
constexpr RequestWord k8217Requests[] = {{"W", Weight}, {"Z", Zero}};

const SpokenFormat kFormats[] = {
    {.name = "toledo",
     .render = renderToledo,
     .frameLength = 18,
     .pointInField = false,
     .spoilCheck = spoilToledoChecksum},
    {.name = "sics",
     .render = renderSics,
     .frameLength = 19,
     .valueCharacters = 9,
     .asked = true,
     .framing = RequestFraming::Line,
     .requests = kSicsRequests,
     .answer = answerSics},
    // Streams, and answers its read request too.
    {.name = "ad",
     .render = renderAd,
     .frameLength = 18,
     .valueCharacters = 7,
     .framing = RequestFraming::Line,
     .requests = kAdRequests,
     .answer = answerAd},
    {.name = "sbi",
     .render = renderSbi,
     .frameLength = 16,
     .valueCharacters = 8,
     .asked = true,
     .framing = RequestFraming::Escape,
     .requests = kSbiRequests,
     .answer = answerSbi},
    {.name = "sma",
     .render = renderSma,
     .frameLength = 20,
     .valueCharacters = 9,
     .asked = true,
     .framing = RequestFraming::LfCr,
     .requests = kSmaRequests,
     .answer = answerSma},
    {.name = "rice-lake", .render = renderRiceLake, .frameLength = 14, .valueCharacters = 7},
    {.name = "cardinal", .render = renderCardinal, .frameLength = 17},
    {.name = "weigh-tronix", .render = renderWeighTronix, .frameLength = 14},
    {.name = "8217",
     .render = render8217,
     .frameLength = 9,
     .valueCharacters = 7,
     .weightOnlyWhenSteady = true,
     .asked = true,
     .framing = RequestFraming::SingleByte,
     .requests = k8217Requests,
     .answer = answer8217},
};

}  // namespace

const SpokenFormat* formatNamed(std::string_view name) {
    const auto* format = std::ranges::find(kFormats, name, &SpokenFormat::name);
    return format == std::end(kFormats) ? nullptr : format;
}

std::string formatNames() {
    std::string names;
    for (const SpokenFormat& format : kFormats) {
        names += (names.empty() ? "" : ", ") + std::string(format.name);
    }
    return names;
}

std::span<const SpokenFormat> allFormats() {
    return kFormats;
}

}  // namespace indicatorsim
