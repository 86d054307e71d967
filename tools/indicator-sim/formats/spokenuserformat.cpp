#include "tools/indicator-sim/formats/spokenuserformat.h"

#include <algorithm>
#include <cmath>
#include <variant>

#include "tools/indicator-sim/cli/usageerror.h"

namespace indicatorsim {
namespace {

double weightOf(const IndicatorState& state) {
    return static_cast<double>(state.overCapacity ? 0 : state.shown) /
           std::pow(10.0, std::clamp(state.decimals, 0, 4));
}

// Out of range, the format's overload or underload frame where it has one.
std::string renderUser(const IndicatorState& state, const FormatSettings& settings) {
    const scale::UserFormat& format = *settings.user;
    if (state.overCapacity && !format.sendOverload.empty()) {
        return scale::renderUserStatusFrame(format, false);
    }
    if (state.underCapacity && !format.sendUnderload.empty()) {
        return scale::renderUserStatusFrame(format, true);
    }
    return scale::renderUserFrame(format, weightOf(state), state.decimals, state.motion,
                                  state.net);
}

bool spoilUserCheck(std::string& frame, const FormatSettings& settings) {
    const scale::UserFormat& format = *settings.user;
    scale::spoilCheck(format.check, frame, format.terminator, format.description.framing.startByte);
    return true;
}

// A described format says nothing of its replies to commands, so a command is carried out in
// silence and only a read request is answered, with the weight frame.
std::string answerUser(RequestKind kind, bool /*done*/, const IndicatorState& state,
                       const FormatSettings& settings) {
    return kind == RequestKind::Weight || kind == RequestKind::StableWeight
               ? renderUser(state, settings)
               : std::string();
}

}  // namespace

std::shared_ptr<const SpokenUserFormat> spokenUserFormat(std::string_view text,
                                                     std::string_view fileName,
                                                     std::string_view name) {
    auto read = scale::readUserFormats(text, fileName);
    if (const auto* error = std::get_if<std::string>(&read)) {
        throw UsageError(*error, std::string(scale::kFormatsReference));
    }
    auto spoken = std::make_shared<SpokenUserFormat>();
    spoken->formats = std::move(std::get<scale::UserFormats>(read));
    const auto found = std::ranges::find_if(
        spoken->formats, [name](const auto& format) { return format->name == name; });
    if (found == spoken->formats.end()) {
        std::string names;
        for (const auto& format : spoken->formats) {
            names += (names.empty() ? "" : ", ") + format->name;
        }
        throw UsageError("--protocol: " + std::string(fileName) + " has no format '" +
                         std::string(name) + "'" + (names.empty() ? "" : " (it has " + names + ")"));
    }
    const scale::UserFormat& format = **found;
    if (format.send.empty()) {
        throw UsageError("--protocol: format '" + format.name + "' in " + std::string(fileName) +
                         " has no send template, so the simulator cannot write its frames");
    }
    spoken->format = &format;
    const std::pair<const std::string&, RequestKind> words[] = {
        {format.request, RequestKind::Weight},
        {format.zero, RequestKind::Zero},
        {format.tare, RequestKind::Tare},
        {format.clearTare, RequestKind::ClearTare},
    };
    for (const auto& [word, kind] : words) {
        if (!word.empty()) {
            spoken->requests.push_back({word, kind});
        }
    }
    SpokenFormat& row = spoken->row;
    row.name = format.name;
    row.render = renderUser;
    row.unit = format.unit.empty() ? std::string_view("kg") : std::string_view(format.unit);
    row.valueCharacters = 9;
    row.asked = !format.request.empty();
    row.framing = spoken->requests.empty() ? RequestFraming::None : RequestFraming::Exact;
    row.requests = spoken->requests;
    row.answer = spoken->requests.empty() ? nullptr : answerUser;
    FormatSettings settings;
    settings.user = &format;
    row.frameLength = renderUser(IndicatorState{}, settings).size();
    row.sendsUnderload = !format.sendUnderload.empty();
    row.spoilCheck = format.check.present() ? spoilUserCheck : nullptr;
    return spoken;
}

}  // namespace indicatorsim
