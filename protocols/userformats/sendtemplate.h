#pragma once

#include <string>
#include <string_view>

namespace scale {

// What a `send` template's placeholders stand for.
struct SendValues {
    double weight = 0;
    int decimals = 0;
    std::string_view unit;
    std::string_view stable;  // the stable or the motion text
    std::string_view mode;    // the gross or the net text
};

// A `send` template: literal text with placeholders {value}, {value:W} (right-aligned in W
// characters), {value:0W} (zero-filled), {sign} ("-" or "+"), {sign:C} (C instead of "+",
// nothing with {sign:}),
// {unit}, {stable}, {mode}; "{{" and "}}" stand for braces. False with `error` set for a
// template that is not of that form.
bool renderSendTemplate(std::string_view text, const SendValues& values, std::string& out,
                        std::string& error);
bool checkSendTemplate(std::string_view text, std::string& error);

}  // namespace scale
