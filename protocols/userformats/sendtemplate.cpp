#include "protocols/userformats/sendtemplate.h"

#include <charconv>
#include <cmath>

namespace scale {
namespace {

bool fail(std::string& error, std::string what) {
    error = std::move(what);
    return false;
}

}  // namespace

bool renderSendTemplate(std::string_view text, const SendValues& values, std::string& out,
                        std::string& error) {
    out.clear();
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '}') {
            if (i + 1 >= text.size() || text[i + 1] != '}') {
                return fail(error, "a lone '}' (write '}}')");
            }
            out += '}';
            ++i;
            continue;
        }
        if (c != '{') {
            out += c;
            continue;
        }
        if (i + 1 < text.size() && text[i + 1] == '{') {
            out += '{';
            ++i;
            continue;
        }
        const std::size_t close = text.find('}', i);
        if (close == std::string_view::npos) {
            return fail(error, "a '{' without its '}'");
        }
        const std::string_view placeholder = text.substr(i + 1, close - i - 1);
        i = close;
        const std::size_t colon = placeholder.find(':');
        const std::string_view name = placeholder.substr(0, colon);
        const bool hasField = colon != std::string_view::npos;
        const std::string_view field = hasField ? placeholder.substr(colon + 1) : std::string_view();
        if (name == "value") {
            int width = 0;
            const bool zeros = field.starts_with('0');
            if (!field.empty()) {
                const auto parsed = std::from_chars(field.data(), field.data() + field.size(), width);
                if (parsed.ec != std::errc{} || parsed.ptr != field.data() + field.size() ||
                    width < 1 || width > 40) {
                    return fail(error, "{value:" + std::string(field) + "}: a width from 1 to 40");
                }
            }
            char digits[64];
            const auto written = std::to_chars(digits, digits + sizeof digits,
                                               std::fabs(values.weight), std::chars_format::fixed,
                                               values.decimals);
            const auto length = static_cast<int>(written.ptr - digits);
            if (length < width) {
                out.append(static_cast<std::size_t>(width - length), zeros ? '0' : ' ');
            }
            out.append(digits, written.ptr);
        } else if (name == "sign") {
            if (field.size() > 1) {
                return fail(error, "{sign:" + std::string(field) + "}: one character");
            }
            if (values.weight < 0) {
                out += '-';
            } else if (!hasField) {
                out += '+';
            } else if (!field.empty()) {
                out += field[0];
            }
        } else if (name == "unit" && !hasField) {
            out += values.unit;
        } else if (name == "stable" && !hasField) {
            out += values.stable;
        } else if (name == "mode" && !hasField) {
            out += values.mode;
        } else {
            return fail(error, "unknown placeholder {" + std::string(placeholder) + "}");
        }
    }
    return true;
}

bool checkSendTemplate(std::string_view text, std::string& error) {
    std::string out;
    return renderSendTemplate(text, SendValues{}, out, error);
}

}  // namespace scale
