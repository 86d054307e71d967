#include <algorithm>

#include "tools/indicator-sim/formatanswers.h"
#include "tools/indicator-sim/formatframes.h"
#include "tools/indicator-sim/formatspec.h"

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

// name, asked, frame length, weight field, point in it, weight only when steady, renderer,
// request framing, requests, answers.
const FormatSpec kFormats[] = {
    {"toledo", false, 18, 6, false, false, renderToledo, RequestFraming::None, {}, nullptr},
    {"sics", true, 19, 9, true, false, renderSics, RequestFraming::Line, kSicsRequests, answerSics},
    {"ad", false, 18, 7, true, false, renderAd, RequestFraming::Line, kAdRequests, answerAd},
    {"sbi", true, 16, 8, true, false, renderSbi, RequestFraming::Escape, kSbiRequests, answerSbi},
    {"sma", true, 20, 9, true, false, renderSma, RequestFraming::LfCr, kSmaRequests, answerSma},
    {"rice-lake", false, 14, 7, true, false, renderRiceLake, RequestFraming::None, {}, nullptr},
    {"cardinal", false, 17, 6, true, false, renderCardinal, RequestFraming::None, {}, nullptr},
    {"weigh-tronix",
     false,
     14,
     6,
     true,
     false,
     renderWeighTronix,
     RequestFraming::None,
     {},
     nullptr},
    {"8217", true, 9, 7, true, true, render8217, RequestFraming::SingleByte, k8217Requests,
     answer8217},
};

}  // namespace

const FormatSpec* formatNamed(std::string_view name) {
    const auto* format = std::ranges::find(kFormats, name, &FormatSpec::name);
    return format == std::end(kFormats) ? nullptr : format;
}

std::string formatNames() {
    std::string names;
    for (const FormatSpec& format : kFormats) {
        names += (names.empty() ? "" : ", ") + std::string(format.name);
    }
    return names;
}

std::span<const FormatSpec> allFormats() {
    return kFormats;
}

}  // namespace indicatorsim
