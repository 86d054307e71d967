#define PCRE2_CODE_UNIT_WIDTH 8
#include "protocols/userformats/patternmatcher.h"

#include <pcre2.h>

#include <cstring>

#include "protocols/fieldtext.h"
#include "protocols/formatdecoders.h"
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
};

PatternMatcher::PatternMatcher(const UserFormat& format)
    : m_format(format), m_pcre(std::make_unique<Pcre>()) {}

PatternMatcher::~PatternMatcher() = default;

std::unique_ptr<PatternMatcher> PatternMatcher::compile(const UserFormat& format,
                                                        std::string& error) {
    std::unique_ptr<PatternMatcher> matcher(new PatternMatcher(format));
    int code = 0;
    PCRE2_SIZE offset = 0;
    matcher->m_pcre->code =
        pcre2_compile(reinterpret_cast<PCRE2_SPTR>(format.pattern.data()), format.pattern.size(),
                      PCRE2_ANCHORED | PCRE2_ENDANCHORED, &code, &offset, nullptr);
    if (matcher->m_pcre->code == nullptr) {
        PCRE2_UCHAR message[256];
        pcre2_get_error_message(code, message, sizeof message);
        error = "pattern: " + std::string(reinterpret_cast<const char*>(message)) +
                " at character " + std::to_string(offset + 1);
        return nullptr;
    }
    pcre2_code* compiled = matcher->m_pcre->code;
    (void)pcre2_jit_compile(compiled, PCRE2_JIT_COMPLETE);  // faster where the host has a JIT

    // Every named group must be one of ours: a misspelt name would otherwise go unread.
    std::uint32_t count = 0;
    std::uint32_t entrySize = 0;
    PCRE2_SPTR table = nullptr;
    pcre2_pattern_info(compiled, PCRE2_INFO_NAMECOUNT, &count);
    pcre2_pattern_info(compiled, PCRE2_INFO_NAMEENTRYSIZE, &entrySize);
    pcre2_pattern_info(compiled, PCRE2_INFO_NAMETABLE, &table);
    for (std::uint32_t i = 0; i < count; ++i) {
        const char* name = reinterpret_cast<const char*>(table + i * entrySize + 2);
        bool known = false;
        for (const char* group : kGroups) {
            known = known || std::strcmp(name, group) == 0;
        }
        if (!known) {
            error = "pattern: group '" + std::string(name) +
                    "' is none of value, sign, unit, stable, mode";
            return nullptr;
        }
    }
    int* numbers[] = {&matcher->m_value, &matcher->m_sign, &matcher->m_unit, &matcher->m_stable,
                      &matcher->m_mode};
    for (std::size_t i = 0; i < std::size(kGroups); ++i) {
        const int number =
            pcre2_substring_number_from_name(compiled, reinterpret_cast<PCRE2_SPTR>(kGroups[i]));
        *numbers[i] = number > 0 ? number : -1;
    }
    if (matcher->m_value < 0) {
        error = "pattern: no (?<value>...) group";
        return nullptr;
    }
    matcher->m_pcre->data = pcre2_match_data_create_from_pattern(compiled, nullptr);
    if (matcher->m_pcre->data == nullptr) {
        error = "pattern: out of memory";
        return nullptr;
    }
    return matcher;
}

bool PatternMatcher::hasGroup(const char* name) const {
    return pcre2_substring_number_from_name(m_pcre->code,
                                            reinterpret_cast<PCRE2_SPTR>(name)) > 0;
}

FrameReading PatternMatcher::read(std::span<const std::uint8_t> frame) const {
    FrameReading reading;
    const std::span<const std::uint8_t> body =
        bodyOf(frame, m_format.description.framing.startByte >= 0 ? 1 : 0);
    const int matched = pcre2_match(m_pcre->code, body.data(), body.size(), 0, 0, m_pcre->data,
                                    nullptr);
    if (matched < 0) {
        reading.error = FrameError::Malformed;
        return reading;
    }
    const PCRE2_SIZE* ovector = pcre2_get_ovector_pointer(m_pcre->data);
    const std::string_view text = frameText(body);
    const auto group = [&](int number) -> std::string_view {
        if (number < 0 || number >= matched || ovector[2 * number] == PCRE2_UNSET) {
            return {};
        }
        const auto at = static_cast<std::size_t>(ovector[2 * number]);
        return text.substr(at, static_cast<std::size_t>(ovector[2 * number + 1]) - at);
    };

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
