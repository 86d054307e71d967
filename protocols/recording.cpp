#include "protocols/recording.h"

#include <algorithm>
#include <array>
#include <iterator>

namespace scale {
namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";
constexpr std::size_t kMostSecondsDigits = 12;  // far below where micros would overflow
constexpr std::size_t kFractionDigits = 6;

struct HeaderField {
    std::string_view key;
    std::string RecordingHeader::*member;
};
constexpr HeaderField kHeaderFields[] = {
    {"port", &RecordingHeader::port},
    {"settings", &RecordingHeader::settings},
    {"protocol", &RecordingHeader::protocol},
    {"start", &RecordingHeader::start},
};

// The value of each character as a hex digit, or -1.
constexpr std::array<std::int8_t, 256> kHexValues = [] {
    std::array<std::int8_t, 256> values{};
    values.fill(-1);
    for (int digit = 0; digit < 10; ++digit) {
        values[static_cast<std::size_t>('0' + digit)] = static_cast<std::int8_t>(digit);
    }
    for (int digit = 0; digit < 6; ++digit) {
        values[static_cast<std::size_t>('A' + digit)] = static_cast<std::int8_t>(10 + digit);
        values[static_cast<std::size_t>('a' + digit)] = static_cast<std::int8_t>(10 + digit);
    }
    return values;
}();

int hexValue(char c) {
    return kHexValues[static_cast<unsigned char>(c)];
}

std::string_view withoutLineEnd(std::string_view line) {
    if (line.ends_with('\n')) {
        line.remove_suffix(1);
        if (line.ends_with('\r')) {
            line.remove_suffix(1);
        }
    }
    return line;
}

void appendEscaped(std::string& out, std::string_view value) {
    for (const char c : value) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte <= 0x20 || byte == 0x7F || c == '%') {
            out.push_back('%');
            out.push_back(kHexDigits[byte >> 4u]);
            out.push_back(kHexDigits[byte & 0x0Fu]);
        } else {
            out.push_back(c);
        }
    }
}

std::optional<std::string> unescaped(std::string_view value) {
    std::string text;
    text.reserve(value.size());
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] != '%') {
            text.push_back(value[i]);
            continue;
        }
        if (value.size() - i < 3) {
            return std::nullopt;
        }
        const int high = hexValue(value[i + 1]);
        const int low = hexValue(value[i + 2]);
        if (high < 0 || low < 0) {
            return std::nullopt;
        }
        text.push_back(static_cast<char>(high * 16 + low));
        i += 2;
    }
    return text;
}

}  // namespace

std::string formatRecordingHeader(const RecordingHeader& header) {
    std::string line = "#";
    const auto field = [&line](std::string_view key, std::string_view value) {
        line.push_back(' ');
        line += key;
        line.push_back('=');
        appendEscaped(line, value);
    };
    for (const HeaderField& known : kHeaderFields) {
        field(known.key, header.*known.member);
    }
    for (const auto& [key, value] : header.others) {
        field(key, value);
    }
    line.push_back('\n');
    return line;
}

std::optional<RecordingHeader> parseRecordingHeader(std::string_view line) {
    line = withoutLineEnd(line);
    if (!line.starts_with("# ")) {
        return std::nullopt;
    }
    line.remove_prefix(2);
    RecordingHeader header;
    for (;;) {
        const std::size_t space = line.find(' ');
        const std::string_view field = line.substr(0, space);
        const std::size_t equals = field.find('=');
        if (equals == 0 || equals == std::string_view::npos) {
            return std::nullopt;
        }
        std::optional<std::string> value = unescaped(field.substr(equals + 1));
        if (!value) {
            return std::nullopt;
        }
        const std::string_view key = field.substr(0, equals);
        const auto* known = std::ranges::find(kHeaderFields, key, &HeaderField::key);
        if (known != std::end(kHeaderFields)) {
            header.*known->member = std::move(*value);
        } else {
            header.others.emplace_back(key, std::move(*value));
        }
        if (space == std::string_view::npos) {
            return header;
        }
        line.remove_prefix(space + 1);
    }
}

std::string formatRecordingLine(std::int64_t micros, std::span<const std::uint8_t> bytes) {
    std::string fraction = std::to_string(1'000'000 + micros % 1'000'000);
    std::string line = std::to_string(micros / 1'000'000);
    line.push_back('.');
    line.append(fraction, 1, kFractionDigits);
    line.reserve(line.size() + 3 * bytes.size() + 1);
    for (const std::uint8_t byte : bytes) {
        line.push_back(' ');
        line.push_back(kHexDigits[byte >> 4u]);
        line.push_back(kHexDigits[byte & 0x0Fu]);
    }
    line.push_back('\n');
    return line;
}

bool parseRecordingLine(std::string_view line, std::int64_t& micros,
                        std::vector<std::uint8_t>& bytes) {
    bytes.clear();
    line = withoutLineEnd(line);
    const char* p = line.data();
    const char* const end = p + line.size();

    std::int64_t value = 0;
    const char* const secondsStart = p;
    while (p != end && *p >= '0' && *p <= '9') {
        if (static_cast<std::size_t>(p - secondsStart) == kMostSecondsDigits) {
            return false;
        }
        value = value * 10 + (*p - '0');
        ++p;
    }
    if (p == secondsStart || p == end || *p != '.') {
        return false;
    }
    ++p;
    if (static_cast<std::size_t>(end - p) < kFractionDigits) {
        return false;
    }
    for (std::size_t i = 0; i < kFractionDigits; ++i, ++p) {
        if (*p < '0' || *p > '9') {
            return false;
        }
        value = value * 10 + (*p - '0');
    }

    // Each byte is " HH": the rest is a whole number of those, and at least one.
    const auto rest = static_cast<std::size_t>(end - p);
    if (rest == 0 || rest % 3 != 0) {
        return false;
    }
    bytes.resize(rest / 3);
    std::uint8_t* out = bytes.data();
    for (; p != end; p += 3) {
        const int high = hexValue(p[1]);
        const int low = hexValue(p[2]);
        if (p[0] != ' ' || high < 0 || low < 0) {
            bytes.clear();
            return false;
        }
        *out++ = static_cast<std::uint8_t>(high * 16 + low);
    }
    micros = value;
    return true;
}

bool isRecordingComment(std::string_view line) {
    line = withoutLineEnd(line);
    return line.empty() || line.front() == '#';
}

}  // namespace scale
