#pragma once

#include <string>
#include <string_view>
#include <variant>

#include "tools/scale-read/stations/indicatorcommand.h"

namespace scaleread {

// The longest message taken as a command; a longer one is refused unread.
inline constexpr std::size_t kCommandPayloadLimit = 4096;
// The longest string id handed back; an id is such a string of printable ASCII, or a number.
inline constexpr std::size_t kCommandIdLimit = 64;

// A command as a message asks for it: "zero", or {"command":"zero","id":…} whose id is handed
// back with the result as it came.
struct CommandPayload {
    CommandKind kind;
    std::string idJson;  // empty: none
};

// What is wrong with a payload that asks for no known command, in one line. Nothing of the
// message is named back that could be long: not the payload, and not an id out of bounds.
struct PayloadProblem {
    std::string commandJson;  // the "command" it named, as JSON, for the result; empty: none
    std::string idJson;
    std::string text;
    // Unsupported for an unknown command; Refused for a message that is not taken at all.
    CommandResult result = CommandResult::Unsupported;
};

std::variant<CommandPayload, PayloadProblem> readCommandPayload(std::string_view payload);

}  // namespace scaleread
