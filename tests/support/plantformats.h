#pragma once

#include <string_view>

namespace scale::test {

// The sample formats file the tests share: a line format none of the built-in ones reads, and a
// polled one framed by 02 ... 03. Both have a send template, so the simulator speaks them too.
inline constexpr std::string_view kPlantFormats = R"toml(# Two indicators of the plant
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
send = "\u0002{sign:}{value}\u0003"
)toml";

}  // namespace scale::test
