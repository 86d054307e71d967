#define PCRE2_CODE_UNIT_WIDTH 8
#include "protocols/userformats/patternmatcher.h"

#include <pcre2.h>

#include <algorithm>
#include <cstring>
#include <span>

#include "protocols/stream/fieldtext.h"
#include "protocols/stream/formatdecoders.h"
#include "protocols/userformats/framecheck.h"
#include "protocols/userformats/userformat.h"

namespace scale {
namespace {

constexpr const char* kGroups[] = {"value", "sign", "unit", "stable", "mode"};

}  // namespace

struct PatternMatcher::Pcre {
    pcre2_code* code = nullptr;
    pcre2_match_data* data = nullptr;
    ~Pcre() {
        pcre2_match_data_free(data);
        pcre2_code_free(code);
    }

    // Compiles `pattern`, anchored at both ends; false with `error` naming `key` and what is
    // wrong.
    bool compile(const std::string& pattern, const char* key, std::string& error) {
        int failure = 0;
        PCRE2_SIZE offset = 0;
        code = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(pattern.data()), pattern.size(),
                             PCRE2_ANCHORED | PCRE2_ENDANCHORED, &failure, &offset, nullptr);
        if (code == nullptr) {
            PCRE2_UCHAR message[256];
            pcre2_get_error_message(failure, message, sizeof message);
            error = std::string(key) + ": " + reinterpret_cast<const char*>(message) +
                    " at character " + std::to_string(offset + 1);
            return false;
        }
        (void)pcre2_jit_compile(code, PCRE2_JIT_COMPLETE);  // faster where the host has a JIT
        return true;
    }

    // The first named group that is none of `known`, or null.
    const char* unknownGroup(std::span<const char* const> known) const {
        std::uint32_t count = 0;
        std::uint32_t entrySize = 0;
        PCRE2_SPTR table = nullptr;
        pcre2_pattern_info(code, PCRE2_INFO_NAMECOUNT, &count);
        pcre2_pattern_info(code, PCRE2_INFO_NAMEENTRYSIZE, &entrySize);
        pcre2_pattern_info(code, PCRE2_INFO_NAMETABLE, &table);
        for (std::uint32_t i = 0; i < count; ++i) {
            const char* name = reinterpret_cast<const char*>(table + i * entrySize + 2);
            if (std::none_of(known.begin(), known.end(),
                             [name](const char* group) { return std::strcmp(name, group) == 0; })) {
                return name;
            }
        }
        return nullptr;
    }

    int groupNumber(const char* name) const {
        const int number = pcre2_substring_number_from_name(code, reinterpret_cast<PCRE2_SPTR>(name));
        return number > 0 ? number : -1;
    }

    bool makeMatchData(std::string& error) {
        data = pcre2_match_data_create_from_pattern(code, nullptr);
        if (data == nullptr) {
            error = "out of memory";
        }
        return data != nullptr;
    }
};

struct PatternMatcher::Status {
    std::unique_ptr<Pcre> pcre;
    FrameError error = FrameError::None;
    int text = -1;  // the group of the indicator's words
};

PatternMatcher::PatternMatcher(const UserFormat& format)
    : m_format(format), m_pcre(std::make_unique<Pcre>()) {}

PatternMatcher::~PatternMatcher() = default;

std::unique_ptr<PatternMatcher> PatternMatcher::compile(const UserFormat& format,
                                                        std::string& error) {
    std::unique_ptr<PatternMatcher> matcher(new PatternMatcher(format));
    Pcre& pcre = *matcher->m_pcre;
    if (!pcre.compile(format.pattern, "pattern", error)) {
        return nullptr;
    }
    // Every named group must be one of ours: a misspelt name would otherwise go unread.
    if (const char* name = pcre.unknownGroup(kGroups)) {
        error = "pattern: group '" + std::string(name) +
                "' is none of value, sign, unit, stable, mode";
        return nullptr;
    }
    int* numbers[] = {&matcher->m_value, &matcher->m_sign, &matcher->m_unit, &matcher->m_stable,
                      &matcher->m_mode};
    for (std::size_t i = 0; i < std::size(kGroups); ++i) {
        *numbers[i] = pcre.groupNumber(kGroups[i]);
    }
    if (matcher->m_value < 0) {
        error = "pattern: no (?<value>...) group";
        return nullptr;
    }
    if (!pcre.makeMatchData(error)) {
        return nullptr;
    }
    return matcher;
}

bool PatternMatcher::addStatus(const char* key, const std::string& pattern, FrameError status,
                               std::string& error) {
    Status added{std::make_unique<Pcre>(), status};
    if (!added.pcre->compile(pattern, key, error)) {
        return false;
    }
    const bool words = status == FrameError::IndicatorError;
    static constexpr const char* kText[] = {"text"};
    if (const char* name = added.pcre->unknownGroup(std::span(kText, words ? 1 : 0))) {
        error = std::string(key) + ": group '" + name + "': " +
                (words ? "the only group here is text" : "no named groups here");
        return false;
    }
    added.text = words ? added.pcre->groupNumber("text") : -1;
    if (!added.pcre->makeMatchData(error)) {
        return false;
    }
    m_statuses.push_back(std::move(added));
    return true;
}

bool PatternMatcher::hasGroup(const char* name) const {
    return pcre2_substring_number_from_name(m_pcre->code,
                                            reinterpret_cast<PCRE2_SPTR>(name)) > 0;
}

namespace {

// The text of group `number` of the last match of `data`, `matched` being what the match gave.
std::string_view groupText(pcre2_match_data* data, int matched, int number,
                           std::string_view text) {
    const PCRE2_SIZE* ovector = pcre2_get_ovector_pointer(data);
    if (number < 0 || number >= matched || ovector[2 * number] == PCRE2_UNSET) {
        return {};
    }
    const auto at = static_cast<std::size_t>(ovector[2 * number]);
    return text.substr(at, static_cast<std::size_t>(ovector[2 * number + 1]) - at);
}

}  // namespace

FrameReading PatternMatcher::read(std::span<const std::uint8_t> frame) const {
    FrameReading reading;
    const std::size_t startBytes = m_format.description.framing.startByte >= 0 ? 1 : 0;
    std::span<const std::uint8_t> body;
    if (m_format.check.present()) {
        if (!checkHolds(m_format.check, frame, startBytes, m_format.terminator, body)) {
            reading.error = FrameError::Checksum;
            return reading;
        }
    } else {
        body = bodyOf(frame, startBytes);
    }
    const std::string_view text = frameText(body);
    for (const Status& status : m_statuses) {
        const int matched = pcre2_match(status.pcre->code, body.data(), body.size(), 0, 0,
                                        status.pcre->data, nullptr);
        if (matched >= 0) {
            reading.error = status.error;
            reading.message = trimmed(groupText(status.pcre->data, matched, status.text, text));
            return reading;
        }
    }
    const int matched = pcre2_match(m_pcre->code, body.data(), body.size(), 0, 0, m_pcre->data,
                                    nullptr);
    if (matched < 0) {
        reading.error = FrameError::Malformed;
        return reading;
    }
    const auto group = [&](int number) { return groupText(m_pcre->data, matched, number, text); };

    DecimalField field;
    const std::string_view sign = trimmed(group(m_sign));
    if (!readDecimalField(group(m_value), field) || (sign != "" && sign != "+" && sign != "-")) {
        reading.error = FrameError::Malformed;
        return reading;
    }
    reading.value = sign == "-" && field.value > 0 ? -field.value : field.value;
    reading.decimals = field.decimals;
    reading.unit = m_unit >= 0 ? group(m_unit) : std::string_view(m_format.unit);
    if (m_stable >= 0) {
        reading.motion = group(m_stable) == m_format.stableText ? Motion::Steady : Motion::Moving;
    }
    if (m_mode >= 0) {
        const std::string_view mode = group(m_mode);
        if (mode == m_format.grossText) {
            reading.mode = WeighMode::Gross;
        } else if (mode == m_format.netText) {
            reading.mode = WeighMode::Net;
        } else if (mode == m_format.tareText) {
            reading.mode = WeighMode::Tare;
        } else if (!mode.empty()) {
            reading.error = FrameError::Malformed;
        }
    }
    return reading;
}

}  // namespace scale
