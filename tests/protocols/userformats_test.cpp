// Formats described in a formats file: read as the built-in ones are, refused with the file, the
// line and what is wrong, and rendered for the simulator.
#include <gtest/gtest.h>

#include <string>

#include "protocols/stream/formattable.h"
#include "protocols/stream/framestream.h"
#include "protocols/userformats/formatcatalog.h"
#include "tests/support/plantformats.h"

namespace scale::test {
namespace {

const std::string kFile(kPlantFormats);

std::string readAll(const FormatDescription& format, std::string_view bytes) {
    FrameStream stream(format);
    StreamFrame frame;
    std::string out;
    for (const char c : bytes) {
        if (stream.push(static_cast<std::uint8_t>(c), frame)) {
            out += frame.error != FrameError::None
                       ? "error " + std::string(frameErrorName(frame.error)) +
                             (frame.message.empty() ? "" : " " + frame.message) + "\n"
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
    FormatCatalog unsent;
    ASSERT_EQ(unsent.addFile("[[format]]\nname = \"quiet\"\npattern = '(?<value>\\d+)'\n", "q.toml"),
              std::nullopt);
    EXPECT_EQ(renderUserFrame(*unsent.userFormat("quiet"), 1, 0, false, false), "");
}

// An indicator polled with READ, with status frames for what it cannot weigh, and the same
// one with an XOR of each line's text before its CR LF.
const std::string kStatusFile = R"(
[[format]]
name = "wt-line"
pattern = 'WT:(?<sign>[-+])(?<value>\d{4}\.\d{2})(?<unit>kg) (?<stable>ST|US)'
request = "READ\r\n"
stable-text = "ST"
overload = 'WT:OL'
underload = 'WT:UL'
busy = 'WT:BUSY'
error = 'WT:ER (?<text>.+)'
send = "WT:{sign}{value:07}{unit} {stable}\r\n"
send-overload = "WT:OL\r\n"

[[format]]
name = "wt-xor"
pattern = 'WT:(?<sign>[-+])(?<value>\d{4}\.\d{2})(?<unit>kg) (?<stable>ST|US)'
stable-text = "ST"
overload = 'WT:OL'
check = { kind = "xor", as = "hex" }
send = "WT:{sign}{value:07}{unit} {stable}\r\n"
send-overload = "WT:OL\r\n"
)";

TEST(UserFormats, StatusFramesAndFailedChecksAreErrorRecordsWithTheirReasons) {
    FormatCatalog catalog;
    ASSERT_EQ(catalog.addFile(kStatusFile, "plant.toml"), std::nullopt);
    EXPECT_EQ(readAll(*catalog.find("wt-line"),
                      "WT:+0012.34kg ST\r\nWT:-0000.50kg US\r\nWT:OL\r\nWT:UL\r\nWT:BUSY\r\n"
                      "WT:ER 23 \r\nWT:ER\r\nWT:OK\r\n"),
              "12.34kg  steady\n-0.50kg  moving\nerror overload\nerror underload\nerror busy\n"
              "error indicator-error 23\nerror malformed\nerror malformed\n");
    // The check in either case, a wrong one, one left out, and a status frame's.
    EXPECT_EQ(readAll(*catalog.find("wt-xor"),
                      "WT:+0012.34kg ST13\r\nWT:+0012.38kg US1e\r\nWT:+0012.39kg US1F\r\n"
                      "WT:+0012.34kg ST14\r\nWT:+0012.34kg ST\r\nWT:OL3A\r\nWT:OL\r\n"),
              "12.34kg  steady\n12.38kg  moving\n12.39kg  moving\nerror checksum\n"
              "error checksum\nerror overload\nerror checksum\n");
    EXPECT_EQ(renderUserStatusFrame(*catalog.userFormat("wt-xor"), false), "WT:OL3A\r\n");
    EXPECT_EQ(renderUserStatusFrame(*catalog.userFormat("wt-line"), true), "");
}

TEST(UserFormats, EveryKindOfCheckTheSimulatorWritesIsReadBackAndASpoiledOneRefused) {
    const std::string kinds[] = {"xor", "sum", "twos-complement"};
    const std::string forms[] = {
        "as = \"hex\"", "as = \"hex-lower\"", "as = \"byte\"",
        "as = \"byte\", at = \"after-terminator\"",
        "as = \"hex\", from = 0"};
    for (const std::string& kind : kinds) {
        for (const std::string& form : forms) {
            const std::string file = "[[format]]\nname = \"c\"\nstart = \"\\u0002\"\n"
                                     "terminator = \"\\r\"\npattern = '(?<value>[0-9.]+)'\n"
                                     "check = { kind = \"" + kind + "\", " + form + " }\n"
                                     "send = \"\\u0002{value}\\r\"\n";
            FormatCatalog catalog;
            ASSERT_EQ(catalog.addFile(file, "c.toml"), std::nullopt) << file;
            const UserFormat& format = *catalog.userFormat("c");
            std::string frames;
            for (const double weight : {12.5, 7.25, 0.0, 130.75}) {
                frames += renderUserFrame(format, weight, 2, false, false);
            }
            std::string spoiled = renderUserFrame(format, 12.5, 2, false, false);
            spoilCheck(format.check, spoiled, format.terminator, 2);
            EXPECT_EQ(readAll(format.description, frames + spoiled),
                      "12.50  steady\n7.25  steady\n0.00  steady\n130.75  steady\n"
                      "error checksum\n")
                << kind << ", " << form;
        }
    }
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
        {"[[format]]\nname = \"a\"\npattern = '(?<value>\\d+)'\nerror = 'E(?<code>\\d+)'\n",
         "my.toml line 4: error: group 'code': the only group here is text"},
        {"[[format]]\nname = \"a\"\npattern = '(?<value>\\d+)'\noverload = 'O(?<text>L)'\n",
         "my.toml line 4: overload: group 'text': no named groups here"},
        {"[[format]]\nname = \"a\"\npattern = '(?<value>\\d+)'\ncheck = { kind = \"crc\" }\n",
         "my.toml line 4: check: kind is one of \"xor\", \"sum\", \"twos-complement\""},
        {"[[format]]\nname = \"a\"\npattern = '(?<value>\\d+)'\n"
         "check = { kind = \"sum\", at = \"after-terminator\" }\n",
         "my.toml line 4: check: after the terminator it is one byte (as = \"byte\")"},
        {"[[format]]\nname = \"a\"\npattern = '(?<value>\\d+)'\ncheck = { kind = \"sum\" }\n"
         "send-overload = \"OL\"\n",
         "my.toml line 5: send-overload: with a check, the template ends with the terminator"},
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
