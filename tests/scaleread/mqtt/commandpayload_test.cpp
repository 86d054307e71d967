// What a message on the command topic asks for, and what a result says of one that asks for
// nothing known.
#include <gtest/gtest.h>

#include "tools/scale-read/mqtt/commandpayload.h"

namespace scaleread {
namespace {

// "KIND ID" for a command, "RESULT COMMAND ID: TEXT" for a problem.
std::string read(std::string_view payload) {
    const auto request = readCommandPayload(payload);
    if (const auto* asked = std::get_if<CommandPayload>(&request)) {
        return std::string(commandName(asked->kind)) + " " + asked->idJson;
    }
    const auto& problem = std::get<PayloadProblem>(request);
    return std::string(resultName(problem.result)) + " " + problem.commandJson + " " + problem.idJson + ": " + problem.text;
}

TEST(CommandPayload, ReadsPlainNamesAndJsonWithItsIdAsGiven) {
    const std::string expected = ": expected zero, tare, clear-tare or {\"command\":\"zero\",\"id\":…}";
    const std::pair<const char*, std::string> cases[] = {
        {"zero", "zero "},
        {" clear-tare\n", "clear-tare "},
        {R"({"command":"tare","id":"r-1"})", R"(tare "r-1")"},
        {R"({"id":-2.5e3,"command":"zero"})", R"(zero -2500)"},
        {"ZERO", R"(unsupported "ZERO" )" + expected},
        {R"({"command":"reboot","id":7})", R"(unsupported "reboot" 7)" + expected},
        {R"({"command":3})", "unsupported 3 " + expected},
        {R"({"command":"zero")", "unsupported  : not JSON (at character 17)"},
        {"{} []", "unsupported  : not JSON (at character 3)"},
    };
    for (const auto& [payload, outcome] : cases) {
        EXPECT_EQ(read(payload), outcome) << payload;
    }
}

// Nothing long or odd is read, or named back in the result.
TEST(CommandPayload, RefusesLongMessagesAndIdsThatAreNotShortText) {
    const std::string badId =
        "refused  : the id is a number or up to 64 printable ASCII characters";
    const std::string id64(64, 'x');
    const std::pair<std::string, std::string> cases[] = {
        {R"({"command":"zero","id":")" + id64 + R"("})", "zero \"" + id64 + "\""},
        {R"({"command":"zero","id":")" + id64 + R"(y"})", badId},
        {R"({"command":"zero","id":""})", badId},
        {R"({"command":"zero","id":"a\u0007"})", badId},
        {R"({"command":"zero","id":"Waage ü"})", badId},
        {R"({"command":"zero","id":{"n":[1,2]}})", badId},
        {R"({"command":"zero","id":null})", badId},
        {std::string(4096, ' ') + "zero", "refused  : the message is over 4096 bytes"},
    };
    for (const auto& [payload, outcome] : cases) {
        EXPECT_EQ(read(payload), outcome) << payload.substr(0, 80);
    }
    EXPECT_EQ(read(std::string(4092, ' ') + "zero"), "zero ");
}

}  // namespace
}  // namespace scaleread
