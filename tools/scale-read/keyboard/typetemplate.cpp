#include "tools/scale-read/keyboard/typetemplate.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <ctime>

namespace scaleread {
namespace {

constexpr std::string_view kKnown =
    "fields: weight, weight:0.00, unit, gross, net, tare, mode, station, seq, time:%H:%M:%S; "
    "keys: Tab, Enter, Esc, Wait MS; {{ and }} for braces";
constexpr int kLongestWaitMillis = 10'000;

std::string trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) {
        return {};
    }
    return std::string(text.substr(first, text.find_last_not_of(' ') - first + 1));
}

// "0.00" -> 2, "0" -> 0; -1 when it is not that form.
int decimalsOf(std::string_view pattern) {
    if (pattern == "0") {
        return 0;
    }
    if (pattern.size() < 3 || pattern.substr(0, 2) != "0." || pattern.size() > 2 + 9 ||
        pattern.substr(2).find_first_not_of('0') != std::string_view::npos) {
        return -1;
    }
    return static_cast<int>(pattern.size() - 2);
}

}  // namespace

std::variant<TypeTemplate, std::string> TypeTemplate::parse(std::string_view text,
                                                            std::string decimal) {
    TypeTemplate result;
    result.m_decimal = std::move(decimal);
    std::string literal;
    const auto flush = [&] {
        if (!literal.empty()) {
            result.m_pieces.push_back({Field::Literal, std::move(literal)});
            literal.clear();
        }
    };
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if ((c == '{' || c == '}') && i + 1 < text.size() && text[i + 1] == c) {
            literal.push_back(c);
            ++i;
            continue;
        }
        if (c == '}') {
            return std::string("a lone } in the template; write }} for a brace");
        }
        if (c != '{') {
            literal.push_back(c);
            continue;
        }
        const auto close = text.find('}', i);
        if (close == std::string_view::npos) {
            return std::string("a { without its } in the template; write {{ for a brace");
        }
        const std::string inner(text.substr(i + 1, close - i - 1));
        i = close;
        const auto colon = inner.find(':');
        const std::string name = inner.substr(0, colon);
        const std::string pattern =
            colon == std::string::npos ? std::string() : inner.substr(colon + 1);
        Piece piece;
        static constexpr std::pair<std::string_view, Field> kFields[] = {
            {"weight", Field::Weight}, {"unit", Field::Unit},   {"gross", Field::Gross},
            {"net", Field::Net},       {"tare", Field::Tare},   {"mode", Field::Mode},
            {"station", Field::Station}, {"seq", Field::Seq},   {"time", Field::Time}};
        static constexpr std::pair<std::string_view, TypeKey> kKeys[] = {
            {"Tab", TypeKey::Tab}, {"Enter", TypeKey::Enter}, {"Esc", TypeKey::Escape}};
        bool known = false;
        for (const auto& [fieldName, field] : kFields) {
            known = known || name == fieldName;
            if (name == fieldName) {
                piece.field = field;
            }
        }
        for (const auto& [keyName, key] : kKeys) {
            if (inner == keyName) {
                known = true;
                piece.field = Field::Key;
                piece.key = key;
            }
        }
        if (inner.starts_with("Wait ")) {
            const std::string millis = trimmed(std::string_view(inner).substr(5));
            int value = -1;
            const auto [end, problem] =
                std::from_chars(millis.data(), millis.data() + millis.size(), value);
            if (problem != std::errc() || end != millis.data() + millis.size() || value < 0 ||
                value > kLongestWaitMillis) {
                return "{" + inner + "} in the template: Wait takes milliseconds from 0 to 10000";
            }
            known = true;
            piece.field = Field::Wait;
            piece.waitMillis = value;
        }
        if (!known) {
            return "unknown field or key {" + inner + "} in the template (" + std::string(kKnown) +
                   ")";
        }
        const bool numeric = piece.field == Field::Weight || piece.field == Field::Gross ||
                             piece.field == Field::Net || piece.field == Field::Tare;
        if (colon != std::string::npos) {
            if (numeric) {
                piece.decimals = decimalsOf(pattern);
                if (piece.decimals < 0) {
                    return "{" + inner + "} in the template: decimals are written 0, 0.0, 0.00 ...";
                }
            } else if (piece.field == Field::Time) {
                if (pattern.empty()) {
                    return "{" + inner + "} in the template: a time format such as %H:%M:%S";
                }
                piece.text = pattern;
            } else {
                return "{" + inner + "} in the template: " + name + " takes no format";
            }
        } else if (piece.field == Field::Time) {
            piece.text = "%H:%M:%S";
        }
        flush();
        result.m_pieces.push_back(std::move(piece));
    }
    flush();
    return result;
}

std::string TypeTemplate::number(const Piece& piece, double value, bool known,
                                 const scale::StreamFrame& frame) const {
    if (!known) {
        return {};
    }
    std::string text;
    if (piece.field == Field::Weight && piece.decimals < 0) {
        text = frame.number;
    } else {
        const int decimals = piece.decimals < 0 ? frame.decimals : piece.decimals;
        const double scale = std::pow(10.0, decimals);
        double rounded = std::round(value * scale) / scale;
        if (rounded == 0) {
            rounded = 0;  // never "-0.00"
        }
        char buffer[64];
        const int length = std::snprintf(buffer, sizeof buffer, "%.*f", decimals, rounded);
        text.assign(buffer, static_cast<std::size_t>(length > 0 ? length : 0));
    }
    if (const auto point = text.find('.'); point != std::string::npos) {
        text.replace(point, 1, m_decimal);
    }
    return text;
}

std::vector<TypeStep> TypeTemplate::render(const TypeValues& values) const {
    const scale::StreamFrame& frame = values.frame;
    // Gross, net and tare as far as the frame tells them: an indicator that names no tare
    // shows gross with none.
    const bool tareSent = !frame.tare.empty();
    const double sentTare = tareSent ? std::strtod(frame.tare.c_str(), nullptr) : 0.0;
    const bool net = frame.mode == scale::WeighMode::Net;
    const bool tareShown = frame.mode == scale::WeighMode::Tare;
    const double tare = tareShown ? frame.weight : sentTare;
    const bool tareKnown = tareShown || tareSent || !net;
    const bool grossKnown = !tareShown && (!net || tareSent);
    const bool netKnown = !tareShown;
    const double gross = net ? frame.weight + tare : frame.weight;
    const double netWeight = net ? frame.weight : frame.weight - tare;

    std::vector<TypeStep> steps;
    const auto append = [&steps](std::string_view text) {
        if (text.empty()) {
            return;
        }
        if (steps.empty() || steps.back().kind != TypeStep::Kind::Text) {
            steps.push_back({TypeStep::Kind::Text, {}});
        }
        steps.back().text += text;
    };
    for (const Piece& piece : m_pieces) {
        switch (piece.field) {
            case Field::Literal: append(piece.text); break;
            case Field::Weight: append(number(piece, frame.weight, true, frame)); break;
            case Field::Gross: append(number(piece, gross, grossKnown, frame)); break;
            case Field::Net: append(number(piece, netWeight, netKnown, frame)); break;
            case Field::Tare: append(number(piece, tare, tareKnown, frame)); break;
            case Field::Unit: append(frame.unit); break;
            case Field::Mode: append(scale::weighModeName(frame.mode)); break;
            case Field::Station: append(values.station); break;
            case Field::Seq: append(std::to_string(values.seq)); break;
            case Field::Time: {
                const auto seconds = static_cast<std::time_t>(values.utcMillis / 1000);
                std::tm parts{};
                ::localtime_r(&seconds, &parts);
                char buffer[128];
                const std::size_t length =
                    std::strftime(buffer, sizeof buffer, piece.text.c_str(), &parts);
                append(std::string_view(buffer, length));
                break;
            }
            case Field::Key: steps.push_back({TypeStep::Kind::Key, {}, piece.key}); break;
            case Field::Wait:
                steps.push_back({TypeStep::Kind::Wait, {}, TypeKey::Enter, piece.waitMillis});
                break;
        }
    }
    return steps;
}

std::string TypeTemplate::describe(const std::vector<TypeStep>& steps) {
    std::string text;
    for (const TypeStep& step : steps) {
        switch (step.kind) {
            case TypeStep::Kind::Text: text += step.text; break;
            case TypeStep::Kind::Key:
                text += step.key == TypeKey::Tab     ? "{Tab}"
                        : step.key == TypeKey::Enter ? "{Enter}"
                                                     : "{Esc}";
                break;
            case TypeStep::Kind::Wait:
                text += "{Wait " + std::to_string(step.waitMillis) + "}";
                break;
        }
    }
    return text;
}

}  // namespace scaleread
