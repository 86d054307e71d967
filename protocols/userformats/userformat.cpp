#include "protocols/userformats/userformat.h"

#include <toml++/toml.h>

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <span>

#include "protocols/stream/formattable.h"
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
    {"overload", &UserFormat::overload, false},
    {"underload", &UserFormat::underload, false},
    {"busy", &UserFormat::busy, false},
    {"error", &UserFormat::error, false},
    {"send", &UserFormat::send, true},
    {"send-overload", &UserFormat::sendOverload, true},
    {"send-underload", &UserFormat::sendUnderload, true},
};

// The patterns of frames without a weight, and what each is read as.
struct StatusKey {
    const char* key;
    std::string UserFormat::*field;
    FrameError error;
};
constexpr StatusKey kStatusKeys[] = {
    {"overload", &UserFormat::overload, FrameError::Overload},
    {"underload", &UserFormat::underload, FrameError::Underload},
    {"busy", &UserFormat::busy, FrameError::Busy},
    {"error", &UserFormat::error, FrameError::IndicatorError},
};

struct CheckWord {
    const char* word;
    int value;
};
constexpr CheckWord kCheckKinds[] = {
    {"xor", static_cast<int>(FrameCheck::Kind::Xor)},
    {"sum", static_cast<int>(FrameCheck::Kind::Sum)},
    {"twos-complement", static_cast<int>(FrameCheck::Kind::TwosComplement)},
};
constexpr CheckWord kCheckForms[] = {
    {"hex", static_cast<int>(FrameCheck::Form::Hex)},
    {"hex-lower", static_cast<int>(FrameCheck::Form::HexLower)},
    {"byte", static_cast<int>(FrameCheck::Form::Byte)},
};
constexpr CheckWord kCheckPlaces[] = {
    {"before-terminator", 0},
    {"after-terminator", 1},
};

// The value of a word of `words`, or a problem listing them.
std::optional<Problem> checkWord(const toml::table& table, const char* key,
                                 std::span<const CheckWord> words, int& value) {
    const toml::node* node = table.get(key);
    if (node == nullptr) {
        return std::nullopt;
    }
    std::string known;
    for (const CheckWord& word : words) {
        if (node->is_string() && node->as_string()->get() == word.word) {
            value = word.value;
            return std::nullopt;
        }
        known += std::string(known.empty() ? "" : ", ") + "\"" + word.word + "\"";
    }
    return Problem{lineOf(*node), std::string("check: ") + key + " is one of " + known};
}

// `check = { kind = "xor", as = "hex", from = 1, at = "before-terminator" }`; `from` is left at
// -1 where not given, for the start byte's presence to decide.
std::optional<Problem> readCheck(const toml::node& node, FrameCheck& check, int& from) {
    const auto* table = node.as_table();
    if (table == nullptr) {
        return Problem{lineOf(node), "check wants a table: { kind = \"xor\", as = \"hex\" }"};
    }
    for (const auto& [key, value] : *table) {
        const std::string_view name = key.str();
        if (name != "kind" && name != "as" && name != "from" && name != "at") {
            return Problem{lineOf(value), "check: unknown key '" + std::string(name) + "'"};
        }
    }
    int kind = -1;
    int form = static_cast<int>(FrameCheck::Form::Hex);
    int place = 0;
    if (auto problem = checkWord(*table, "kind", kCheckKinds, kind)) {
        return problem;
    }
    if (kind < 0) {
        return Problem{lineOf(node), "check: no kind (xor, sum or twos-complement)"};
    }
    if (auto problem = checkWord(*table, "as", kCheckForms, form)) {
        return problem;
    }
    if (auto problem = checkWord(*table, "at", kCheckPlaces, place)) {
        return problem;
    }
    if (const toml::node* start = table->get("from")) {
        const auto* number = start->as_integer();
        if (number == nullptr || number->get() < 0 || number->get() > 255) {
            return Problem{lineOf(*start), "check: from wants a whole number from 0 to 255"};
        }
        from = static_cast<int>(number->get());
    }
    check.kind = static_cast<FrameCheck::Kind>(kind);
    check.form = static_cast<FrameCheck::Form>(form);
    check.afterTerminator = place == 1;
    if (check.afterTerminator && check.form != FrameCheck::Form::Byte) {
        return Problem{lineOf(node), "check: after the terminator it is one byte (as = \"byte\")"};
    }
    return std::nullopt;
}

// The line each key of a table stands on, for problems found after reading it.
using KeyLines = std::map<std::string, int, std::less<>>;

std::optional<Problem> readTable(const toml::table& table, int line, UserFormat& format,
                                 int& maxLength, int& checkFrom, KeyLines& lines) {
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
        if (name == "check") {
            if (auto problem = readCheck(node, format.check, checkFrom)) {
                return problem;
            }
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

std::optional<Problem> check(UserFormat& format, int maxLength, int checkFrom,
                             const KeyLines& lines, const UserFormats& earlier) {
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
    std::unique_ptr<PatternMatcher> matcher = PatternMatcher::compile(format, error);
    if (!matcher) {
        return Problem{lineOfKey("pattern"), error};
    }
    for (const StatusKey& status : kStatusKeys) {
        const std::string& pattern = format.*(status.field);
        if (!pattern.empty() && !matcher->addStatus(status.key, pattern, status.error, error)) {
            return Problem{lineOfKey(status.key), error};
        }
    }
    format.matcher = std::move(matcher);
    const std::size_t startBytes = format.start.empty() ? 0 : 1;
    format.check.from = checkFrom >= 0 ? static_cast<std::size_t>(checkFrom) : startBytes;
    const std::pair<const char*, const std::string*> templates[] = {
        {"send", &format.send},
        {"send-overload", &format.sendOverload},
        {"send-underload", &format.sendUnderload},
    };
    for (const auto& [key, text] : templates) {
        if (text->empty()) {
            continue;
        }
        if (!checkSendTemplate(*text, error)) {
            return Problem{lineOfKey(key), std::string(key) + ": " + error};
        }
        // The simulator puts the check next to the terminator the template ends with.
        if (format.check.present() &&
            format.terminator.find(text->back()) == std::string::npos) {
            return Problem{lineOfKey(key), std::string(key) +
                                               ": with a check, the template ends with the terminator"};
        }
    }

    FormatDescription& d = format.description;
    d.name = format.name;
    d.summary = format.request.empty() ? "described in a formats file, unasked"
                                       : "described in a formats file, asked";
    d.framing = {FramingKind::Delimited,
                 format.start.empty() ? -1 : static_cast<unsigned char>(format.start[0]),
                 format.terminator, static_cast<std::size_t>(maxLength),
                 format.check.afterTerminator};
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
            int checkFrom = -1;
            KeyLines lines;
            if (auto problem = readTable(*element.as_table(), lineOf(element), *format, maxLength,
                                         checkFrom, lines)) {
                return failure(*problem);
            }
            if (auto problem = check(*format, maxLength, checkFrom, lines, formats)) {
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

namespace {

std::string rendered(const UserFormat& format, std::string_view text, const SendValues& values) {
    if (text.empty()) {
        return {};
    }
    std::string frame;
    std::string error;
    (void)renderSendTemplate(text, values, frame, error);
    insertCheck(format.check, frame, format.terminator);
    return frame;
}

std::string_view unitOf(const UserFormat& format) {
    return format.unit.empty() ? std::string_view("kg") : std::string_view(format.unit);
}

}  // namespace

std::string renderUserFrame(const UserFormat& format, double weight, int decimals, bool motion,
                            bool net) {
    SendValues values;
    values.weight = weight;
    values.decimals = decimals;
    values.unit = unitOf(format);
    values.stable = motion ? format.motionText : format.stableText;
    values.mode = net ? format.netText : format.grossText;
    return rendered(format, format.send, values);
}

std::string renderUserStatusFrame(const UserFormat& format, bool underload) {
    SendValues values;
    values.unit = unitOf(format);
    values.stable = format.stableText;
    values.mode = format.grossText;
    return rendered(format, underload ? format.sendUnderload : format.sendOverload, values);
}

}  // namespace scale
