#include "tools/options/optionreader.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

namespace tooloptions {
namespace {

constexpr OptionName kKnown[] = {{"port", true}, {"origin", true, true}, {"quiet", false}};

std::string refusal(std::vector<std::string_view> arguments) {
    const auto read = readOptions(arguments, kKnown);
    const auto* refused = std::get_if<std::string>(&read);
    return refused ? *refused : "accepted";
}

TEST(OptionReader, ValuesComeInEitherFormAndRepeatsKeepTheirOrder) {
    const std::vector<std::string_view> arguments{"--origin=a", "--quiet", "--port", "-",
                                                  "--origin", "b=c"};
    const auto read = readOptions(arguments, kKnown);
    const auto& given = std::get<GivenOptions>(read);
    EXPECT_EQ(given.names(), (std::vector<std::string>{"origin", "quiet", "port"}));
    EXPECT_EQ(given.values("origin"), (std::vector<std::string>{"a", "b=c"}));
    EXPECT_EQ(given.value("port"), "-");
    EXPECT_EQ(given.value("quiet"), "");
    EXPECT_FALSE(given.isSet("colour"));
}

TEST(OptionReader, TheFirstFaultOnTheLineIsNamed) {
    EXPECT_EQ(refusal({"--port", "a", "--port", "b", "--colour"}), "--port given twice");
    EXPECT_EQ(refusal({"--colour", "--port", "a", "--port", "b"}), "unknown option --colour");
    EXPECT_EQ(refusal({"--quiet", "--port"}), "--port needs a value");
    EXPECT_EQ(refusal({"--"}), "unknown option --");
    EXPECT_EQ(refusal({"-"}), "unexpected argument '-'");
}

TEST(OptionReader, HelpThenVersionWinAnywhere) {
    const std::vector<std::string_view> version{"--colour", "-V"};
    const std::vector<std::string_view> both{"--version", "--colour", "-h"};
    const std::vector<std::string_view> neither{"--help=yes", "-hV"};
    EXPECT_EQ(requestOf(version), Request::Version);
    EXPECT_EQ(requestOf(both), Request::Help);
    EXPECT_EQ(requestOf(neither), Request::Run);
}

TEST(OptionReader, HelpLinesStartInOneColumn) {
    EXPECT_EQ(helpLines("--port PORT", "the line\nor a device"),
              "  --port PORT            the line\n"
              "                         or a device\n");
    EXPECT_EQ(helpLines("--http-token-file FILE", "a token"),
              "  --http-token-file FILE a token\n");
    EXPECT_EQ(helpLines("--toledo-checksum on|off", "its check"),
              "  --toledo-checksum on|off\n"
              "                         its check\n");
}

}  // namespace
}  // namespace tooloptions
