// Formats described in a formats file: read as the built-in ones are, refused with the file, the
// line and what is wrong, and rendered for the simulator.
#include <gtest/gtest.h>

#include <string>

#include "protocols/formattable.h"
#include "protocols/framestream.h"
#include "protocols/userformats/formatcatalog.h"

namespace scale::test {
namespace {

// A line format none of the built-in ones reads, and a polled one framed by 02 ... 03.
const std::string kFile = R"(# Two indicators of the plant
[[format]]
name = "yard-line"
pattern = 'WT:(?<sign>[-+ ])(?<value>[0-9 .]{8}) (?<unit>\w+) (?<mode>GR|NT) (?<stable>ST|MO)'
terminator = "\r\n"
stable-text = "ST"
gross-text = "GR"
net-text = "NT"
send = "WT:{sign: }{value:8} {unit} {mode} {stable}\r\n"
motion-text = "MO"

[[format]]
name = "silo-poll"
start = "\u0002"
terminator = "\u0003"
pattern = '(?<value>-?\d+\.\d+)'
unit = "t"
request = "\u0005"
poll-interval = 250
zero = "Z"
)";

std::string readAll(const FormatDescription& format, std::string_view bytes) {
    FrameStream stream(format);
    StreamFrame frame;
    std::string out;
    for (const char c : bytes) {
        if (stream.push(static_cast<std::uint8_t>(c), frame)) {
            out += frame.error != FrameError::None
                       ? "error " + std::string(frameErrorName(frame.error)) + "\n"
                       : frame.text + " " + std::string(weighModeName(frame.mode)) +
                             (frame.motion == Motion::Moving ? " moving\n" : " steady\n");
        }
    }
    return out;
}

std::string refusal(const std::string& text) {
    FormatCatalog catalog;
    return catalog.addFile(text, "my.toml").value_or("accepted");
}

TEST(UserFormats, ReadLikeBuiltInFormats) {
    FormatCatalog catalog;
    ASSERT_EQ(catalog.addFile(kFile, "plant.toml"), std::nullopt);
    const FormatDescription* line = catalog.find("yard-line");
    ASSERT_NE(line, nullptr);
    EXPECT_FALSE(line->asks());
    EXPECT_EQ(readAll(*line, "WT:+  12.345 kg GR ST\r\nWT:-   0.500 lb NT MO\r\nWT:+  12.345 kg XX ST\r\n"),
              "12.345kg gross steady\n-0.500lb net moving\nerror malformed\n");

    const FormatDescription* poll = catalog.find("silo-poll");
    ASSERT_NE(poll, nullptr);
    EXPECT_EQ(poll->request, "\x05");
    EXPECT_EQ(poll->pollIntervalMs, 250);
    EXPECT_EQ(poll->zero.send, "Z");
    EXPECT_EQ(readAll(*poll, "\x02" "12.5\x03junk\x02-0.25\x03\x02" "12\x03"),
              "12.5t  steady\n-0.25t  steady\nerror malformed\n");
    EXPECT_EQ(catalog.find("toledo"), builtinFormat("toledo"));
    EXPECT_EQ(catalog.formats().size(), builtinFormats().size() + 2);
}

TEST(UserFormats, RenderedFramesReadBack) {
    FormatCatalog catalog;
    ASSERT_EQ(catalog.addFile(kFile, "plant.toml"), std::nullopt);
    const UserFormat& line = *catalog.userFormat("yard-line");
    EXPECT_EQ(renderUserFrame(line, -1.5, 3, true, true), "WT:-   1.500 kg NT MO\r\n");
    EXPECT_EQ(readAll(line.description, renderUserFrame(line, 12.25, 2, false, false)),
              "12.25kg gross steady\n");
    EXPECT_EQ(renderUserFrame(*catalog.userFormat("silo-poll"), 1, 0, false, false), "");
}

TEST(UserFormats, BadFilesNameTheFileTheLineAndWhatIsWrong) {
    const std::pair<std::string, std::string> cases[] = {
        {"[[format]]\nname = \"a\"\npattern = 'x\n", "my.toml line 3: "},
        {"[[format]]\nname = \"a\"\npattern = '(?<value>\\d+)'\ncolour = \"red\"\n",
         "my.toml line 4: unknown key 'colour'"},
        {"[[format]]\nname = \"a\"\npattern = '(?<value>\\d+'\n",
         "my.toml line 3: pattern: missing closing parenthesis at character 13"},
        {"[[format]]\nname = \"a\"\npattern = '(?<weight>\\d+)'\n",
         "my.toml line 3: pattern: group 'weight' is none of value, sign, unit, stable, mode"},
        {"[[format]]\nname = \"a\"\npattern = '(\\d+)'\n", "my.toml line 3: pattern: no (?<value>...) group"},
        {"[[format]]\nname = \"sics\"\npattern = '(?<value>\\d+)'\n",
         "my.toml line 2: name 'sics' is a built-in format's"},
        {"[[format]]\nname = \"a\"\npattern = '(?<value>\\d+)'\npoll-interval = 100\n",
         "my.toml line 4: poll-interval is for a format with a request"},
        {"[[format]]\nname = \"a\"\npattern = '(?<value>\\d+)'\nsend = '{weight}'\n",
         "my.toml line 4: send: unknown placeholder {weight}"},
        {"[[format]]\nname = \"a\"\npattern = '(?<value>\\d+)'\n[[format]]\nname = \"a\"\n"
         "pattern = '(?<value>\\d+)'\n",
         "my.toml line 5: format 'a' given twice"},
        {"[[format]]\nname = \"a\\nb\"\npattern = '(?<value>\\d+)'\n",
         "my.toml line 2: name 'a\\x0Ab': lower-case letters, digits, '-', '_' and '.' only"},
        {"# Waage \xC3\xA4\n[[format]]\nname = \"a\" # \xE3\x80\x82\nunit = \"\xC2\xB5g\"\n\xCE\x8B",
         "my.toml line 5: a character beyond ASCII outside a string or comment"},
        // Where the TOML reader would ask of it whether it is whitespace: after a bare value, in
        // a quoted key, after a line-ending backslash.
        {"[[format]]\nname = a\"\xC3\xBF\"\n",
         "my.toml line 2: a character beyond ASCII outside a string or comment"},
        {"[[format]]\n\"\xC3\xA9\" = \"a\"\n",
         "my.toml line 2: a character beyond ASCII outside a string or comment"},
        {"[[format]]\nunit = \"\"\"a\\\n  \xC3\xA9\"\"\"\n",
         "my.toml line 3: a character beyond ASCII outside a string or comment"},
        {"name = \"a\"\n", "my.toml line 1: 'name' is not a [[format]] table"},
        {"", "my.toml line 1: no [[format]] table"},
    };
    for (const auto& [text, expected] : cases) {
        // The TOML reader's own words on a syntax error are its to choose: only the start.
        const std::string got = refusal(text);
        EXPECT_EQ(expected.ends_with(": ") ? got.substr(0, expected.size()) : got, expected)
            << text;
    }
}

}  // namespace
}  // namespace scale::test
