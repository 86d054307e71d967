#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "protocols/stream/framestream.h"

namespace scaleread {

// A key the template names: {Tab}, {Enter}, {Esc}.
enum class TypeKey { Tab, Enter, Escape };

// One thing to do at the keyboard: type text, press a key, or wait.
struct TypeStep {
    enum class Kind { Text, Key, Wait } kind = Kind::Text;
    std::string text;  // Text: UTF-8
    TypeKey key = TypeKey::Enter;
    int waitMillis = 0;
    bool operator==(const TypeStep&) const = default;
};

// What a template's fields are filled from.
struct TypeValues {
    const scale::StreamFrame& frame;
    std::string_view station;
    std::uint64_t seq;      // values typed so far, this one included
    std::int64_t utcMillis;
};

// What --type takes: text with fields ({weight}, {weight:0.00}, {unit}, {gross}, {net}, {tare},
// {mode}, {station}, {seq}, {time:%H:%M:%S}), keys ({Tab}, {Enter}, {Esc}, {Wait MS}), and {{ and
// }} for the braces themselves.
class TypeTemplate {
public:
    // The template, or one line saying what in it is wrong (naming an unknown field or key).
    // `decimal`: the separator typed in numbers ("." or ",").
    static std::variant<TypeTemplate, std::string> parse(std::string_view text,
                                                         std::string decimal = ".");

    // The steps for one weight; neighbouring text is joined into one step.
    std::vector<TypeStep> render(const TypeValues& values) const;
    // The steps as the audit record tells them: text as typed, keys and waits in the
    // template's own words ("12.345 kg{Enter}").
    static std::string describe(const std::vector<TypeStep>& steps);

private:
    enum class Field { Literal, Weight, Unit, Gross, Net, Tare, Mode, Station, Seq, Time, Key, Wait };
    struct Piece {
        Field field = Field::Literal;
        std::string text;   // Literal: the text; Time: the strftime format
        int decimals = -1;  // numbers: fixed decimals, -1 as the indicator shows them
        TypeKey key = TypeKey::Enter;
        int waitMillis = 0;
    };

    std::string number(const Piece& piece, double value, bool known,
                       const scale::StreamFrame& frame) const;

    std::vector<Piece> m_pieces;
    std::string m_decimal = ".";
};

}  // namespace scaleread
