// What a message on the command topic asks for, and what a result says of one that asks for
// nothing known.
#include <gtest/gtest.h>

#include "tools/scale-read/commandpayload.h"

namespace scaleread {
namespace {

// "KIND ID" for a command, "? COMMAND ID: TEXT" for a problem.
std::string read(std::string_view payload) {
    const auto request = readCommandPayload(payload);
    if (const auto* asked = std::get_if<CommandPayload>(&request)) {
        return std::string(commandName(asked->kind)) + " " + asked->idJson;
    }
    const auto& problem = std::get<PayloadProblem>(request);
    return "? " + problem.commandJson + " " + problem.idJson + ": " + problem.text;
}

TEST(CommandPayload, ReadsPlainNamesAndJsonWithItsIdAsGiven) {
    const std::string expected = ": expected zero, tare, clear-tare or {\"command\":\"zero\",\"id\":…}";
    const std::pair<const char*, std::string> cases[] = {
        {"zero", "zero "},
        {" clear-tare\n", "clear-tare "},
        {R"({"command":"tare","id":"r-1"})", R"(tare "r-1")"},
        {R"({"id":{"n":[1,2]},"command":"zero"})", R"(zero {"n":[1,2]})"},
        {"ZERO", R"(? "ZERO" )" + expected},
        {R"({"command":"reboot","id":7})", R"(? "reboot" 7)" + expected},
        {R"({"command":3})", "? 3 " + expected},
        {R"({"command":"zero")", "?  : not JSON (at character 17)"},
        {"{} []", "?  : not JSON (at character 3)"},
    };
    for (const auto& [payload, outcome] : cases) {
        EXPECT_EQ(read(payload), outcome) << payload;
    }
}

}  // namespace
}  // namespace scaleread
