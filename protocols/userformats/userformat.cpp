#include "protocols/userformats/userformat.h"

#include <toml++/toml.h>

#include <cstdint>
#include <functional>
#include <map>
#include <optional>

#include "protocols/formattable.h"
#include "protocols/userformats/patternmatcher.h"
#include "protocols/userformats/sendtemplate.h"

namespace scale {
namespace {

// A problem and the line it is on.
struct Problem {
    int line = 0;
    std::string what;
};

// A problem is one line even where it quotes a name or key with control characters in it.
std::string oneLine(std::string text) {
    std::string shown;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) {
            static constexpr char kHex[] = "0123456789ABCDEF";
            shown += "\\x";
            shown += kHex[byte >> 4];
            shown += kHex[byte & 0x0F];
        } else {
            shown += c;
        }
    }
    return shown;
}

// TOML allows characters beyond ASCII only in strings and comments. The TOML reader asks
// whether such a character is whitespace in several places (wherever a value may end, all
// through a quoted key, after a backslash in a multi-line string), and for some code points that
// question reaches a path its authors thought unreachable: undefined behaviour. So the file is
// looked over first, and such characters are let through only where the reader takes them
// without asking: in comments, and in a string right after a line's first "=" (every value here
// is a string or a number); an "=" further on may be inside a bare value the reader is scanning.
std::optional<Problem> characterOutsideText(std::string_view text) {
    int line = 1;
    std::size_t i = 0;
    const auto beyondAscii = [&](std::size_t at) {
        return at < text.size() && static_cast<unsigned char>(text[at]) >= 0x80;
    };
    const auto isBlank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    const std::string outside = "a character beyond ASCII outside a string or comment";
    // Skips a string from its opening quotes to its closing ones, counting lines; a problem for
    // a character beyond ASCII where it may not stand.
    const auto skipString = [&](std::string_view quotes, bool escapes,
                                bool value) -> std::optional<Problem> {
        i += quotes.size();
        while (i < text.size() && text.compare(i, quotes.size(), quotes) != 0) {
            if (text[i] == '\n') {
                if (quotes.size() == 1) {
                    return std::nullopt;  // a single-line string ends at the line's end at the latest
                }
                ++line;
            } else if (!value && beyondAscii(i)) {
                return Problem{line, outside};
            } else if (escapes && text[i] == '\\' && i + 1 < text.size()) {
                if (beyondAscii(i + 1)) {
                    return Problem{line, outside};
                }
                if (quotes.size() == 3 && isBlank(text[i + 1])) {
                    // A line-ending backslash: what follows the blanks after it is asked about.
                    std::size_t next = i + 1;
                    int lines = 0;
                    while (next < text.size() && isBlank(text[next])) {
                        lines += text[next] == '\n' ? 1 : 0;
                        ++next;
                    }
                    if (beyondAscii(next)) {
                        return Problem{line + lines, outside};
                    }
                } else if (text[i + 1] != '\n') {
                    ++i;  // an escaped character, perhaps a quote
                }
            }
            ++i;
        }
        i += quotes.size();
        return std::nullopt;
    };
    char before = '\n';  // the last character on this line that is not a space or a tab
    int equalsSigns = 0;  // on this line, outside strings
    while (i < text.size()) {
        const char c = text[i];
        const bool value = before == '=' && equalsSigns == 1;
        std::optional<Problem> problem;
        if (c == '\n') {
            ++line;
            ++i;
            equalsSigns = 0;
        } else if (c == '#') {
            while (i < text.size() && text[i] != '\n') {
                ++i;
            }
        } else if (c == '"') {
            problem = skipString(text.compare(i, 3, "\"\"\"") == 0 ? "\"\"\"" : "\"", true,
                                 value);
        } else if (c == '\'') {
            problem = skipString(text.compare(i, 3, "\'\'\'") == 0 ? "\'\'\'" : "\'", false,
                                 value);
        } else if (beyondAscii(i)) {
            return Problem{line, outside};
        } else {
            equalsSigns += c == '=' ? 1 : 0;
            ++i;
        }
        if (problem) {
            return problem;
        }
        if (c != ' ' && c != '\t') {
            before = c;
        }
    }
    return std::nullopt;
}

int lineOf(const toml::node& node) { return static_cast<int>(node.source().begin.line); }

bool isAscii(std::string_view text) {
    for (const char c : text) {
        if (static_cast<unsigned char>(c) >= 0x80) {
            return false;
        }
    }
    return true;
}

bool isName(std::string_view name) {
    if (name.empty() || name.size() > 40) {
        return false;
    }
    for (const char c : name) {
        if (!((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_' ||
              c == '.')) {
            return false;
        }
    }
    return true;
}

// The keys a [[format]] table takes, and where each goes.
struct TextKey {
    const char* key;
    std::string UserFormat::*field;
    bool bytes;  // sent or framed bytes: ASCII only, so that each character is one byte
};
constexpr TextKey kTextKeys[] = {
    {"name", &UserFormat::name, false},
    {"pattern", &UserFormat::pattern, false},
    {"start", &UserFormat::start, true},
    {"terminator", &UserFormat::terminator, true},
    {"request", &UserFormat::request, true},
    {"zero", &UserFormat::zero, true},
    {"tare", &UserFormat::tare, true},
    {"clear-tare", &UserFormat::clearTare, true},
    {"unit", &UserFormat::unit, false},
    {"stable-text", &UserFormat::stableText, false},
    {"motion-text", &UserFormat::motionText, false},
    {"gross-text", &UserFormat::grossText, false},
    {"net-text", &UserFormat::netText, false},
    {"tare-text", &UserFormat::tareText, false},
    {"send", &UserFormat::send, true},
};

// The line each key of a table stands on, for problems found after reading it.
using KeyLines = std::map<std::string, int, std::less<>>;

std::optional<Problem> readTable(const toml::table& table, int line, UserFormat& format,
                                 int& maxLength, KeyLines& lines) {
    format.fileLine = line;
    format.terminator = "\r\n";
    for (const auto& [key, node] : table) {
        const int at = lineOf(node);
        const std::string_view name = key.str();
        lines[std::string(name)] = at;
        if (name == "poll-interval" || name == "max-length") {
            const auto* number = node.as_integer();
            const std::int64_t least = name == "poll-interval" ? 1 : 2;
            const std::int64_t most = name == "poll-interval" ? 3'600'000 : 256;
            if (number == nullptr || number->get() < least || number->get() > most) {
                return Problem{at, std::string(name) + " wants a whole number from " +
                                       std::to_string(least) + " to " + std::to_string(most)};
            }
            (name == "poll-interval" ? format.pollIntervalMs : maxLength) =
                static_cast<int>(number->get());
            continue;
        }
        const TextKey* text = nullptr;
        for (const TextKey& known : kTextKeys) {
            text = name == known.key ? &known : text;
        }
        if (text == nullptr) {
            return Problem{at, "unknown key '" + std::string(name) + "'"};
        }
        const auto* value = node.as_string();
        if (value == nullptr) {
            return Problem{at, std::string(name) + " wants a string"};
        }
        if (text->bytes && !isAscii(value->get())) {
            return Problem{at, std::string(name) + " takes bytes 00 to 7F only (\\u0000 to \\u007F)"};
        }
        format.*(text->field) = value->get();
    }
    return std::nullopt;
}

std::optional<Problem> check(UserFormat& format, int maxLength, const KeyLines& lines,
                             const UserFormats& earlier) {
    const auto lineOfKey = [&](const char* key) {
        const auto found = lines.find(key);
        return found != lines.end() ? found->second : format.fileLine;
    };
    const int line = lineOfKey("name");
    if (format.name.empty()) {
        return Problem{line, "the format has no name"};
    }
    if (!isName(format.name)) {
        return Problem{line, "name '" + format.name +
                                 "': lower-case letters, digits, '-', '_' and '.' only"};
    }
    if (builtinFormat(format.name) != nullptr) {
        return Problem{line, "name '" + format.name + "' is a built-in format's"};
    }
    for (const auto& other : earlier) {
        if (other->name == format.name) {
            return Problem{line, "format '" + format.name + "' given twice"};
        }
    }
    if (format.pattern.empty()) {
        return Problem{line, "format '" + format.name + "' has no pattern"};
    }
    if (format.terminator.empty()) {
        return Problem{lineOfKey("terminator"), "the terminator is empty"};
    }
    if (format.start.size() > 1 ||
        (!format.start.empty() && format.terminator.find(format.start[0]) != std::string::npos)) {
        return Problem{lineOfKey("start"), "start is one byte, not one of the terminator's"};
    }
    if (lines.contains("poll-interval") && format.request.empty()) {
        return Problem{lineOfKey("poll-interval"), "poll-interval is for a format with a request"};
    }
    std::string error;
    format.matcher = PatternMatcher::compile(format, error);
    if (!format.matcher) {
        return Problem{lineOfKey("pattern"), error};
    }
    if (!format.send.empty() && !checkSendTemplate(format.send, error)) {
        return Problem{lineOfKey("send"), "send: " + error};
    }

    FormatDescription& d = format.description;
    d.name = format.name;
    d.summary = format.request.empty() ? "described in a formats file, unasked"
                                       : "described in a formats file, asked";
    d.framing = {FramingKind::Delimited,
                 format.start.empty() ? -1 : static_cast<unsigned char>(format.start[0]),
                 format.terminator, static_cast<std::size_t>(maxLength), false};
    d.matcher = format.matcher.get();
    d.request = format.request;
    d.pollIntervalMs = format.pollIntervalMs;
    d.zero = {format.zero, ""};
    d.tare = {format.tare, ""};
    d.clearTare = {format.clearTare, ""};
    return std::nullopt;
}

}  // namespace

std::variant<UserFormats, std::string> readUserFormats(std::string_view text,
                                                       std::string_view fileName) {
    const auto failure = [&](const Problem& problem) {
        return oneLine(std::string(fileName) + " line " + std::to_string(problem.line) + ": " +
                       problem.what);
    };
    if (auto problem = characterOutsideText(text)) {
        return failure(*problem);
    }
    toml::table root;
    try {
        root = toml::parse(text, fileName);
    } catch (const toml::parse_error& error) {
        return failure({static_cast<int>(error.source().begin.line),
                        std::string(error.description())});
    }
    UserFormats formats;
    for (const auto& [key, node] : root) {
        if (key.str() != "format" || !node.is_array_of_tables()) {
            return failure({lineOf(node), "'" + std::string(key.str()) +
                                              "' is not a [[format]] table"});
        }
        for (const toml::node& element : *node.as_array()) {
            auto format = std::make_unique<UserFormat>();
            int maxLength = 128;
            KeyLines lines;
            if (auto problem = readTable(*element.as_table(), lineOf(element), *format, maxLength,
                                         lines)) {
                return failure(*problem);
            }
            if (auto problem = check(*format, maxLength, lines, formats)) {
                return failure(*problem);
            }
            formats.push_back(std::move(format));
        }
    }
    if (formats.empty()) {
        return failure({1, "no [[format]] table"});
    }
    return formats;
}

std::string renderUserFrame(const UserFormat& format, double weight, int decimals, bool motion,
                            bool net) {
    if (format.send.empty()) {
        return {};
    }
    SendValues values;
    values.weight = weight;
    values.decimals = decimals;
    values.unit = format.unit.empty() ? std::string_view("kg") : std::string_view(format.unit);
    values.stable = motion ? format.motionText : format.stableText;
    values.mode = net ? format.netText : format.grossText;
    std::string frame;
    std::string error;
    (void)renderSendTemplate(format.send, values, frame, error);
    return frame;
}

}  // namespace scale
