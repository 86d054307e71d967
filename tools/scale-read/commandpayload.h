#pragma once

#include <string>
#include <string_view>
#include <variant>

#include "tools/scale-read/indicatorcommand.h"

namespace scaleread {

// A command as a message asks for it: "zero", or {"command":"zero","id":…} whose id, any JSON
// value, is handed back with the result as it came.
struct CommandPayload {
    CommandKind kind;
    std::string idJson;  // empty: none
};

// What is wrong with a payload that asks for no known command, in one line.
struct PayloadProblem {
    std::string commandJson;  // the "command" it named, as JSON, for the result; empty: none
    std::string idJson;
    std::string text;
};

std::variant<CommandPayload, PayloadProblem> readCommandPayload(std::string_view payload);

}  // namespace scaleread
