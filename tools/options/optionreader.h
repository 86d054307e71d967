#pragma once

#include <map>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

// The command line of scale-read and indicator-sim: "--name value", "--name=value" and flags,
// read against the options a tool knows, with the same one-line refusals in both tools.
namespace tooloptions {

// An option a tool takes, by its long name without the dashes.
struct OptionName {
    std::string_view name;
    bool takesValue = false;
    bool repeats = false;  // may come more than once; otherwise a second time is refused
};

// The options given, by name, each with its values in the order given.
class GivenOptions {
public:
    bool isSet(std::string_view name) const { return m_values.contains(name); }
    // The last value given, or empty.
    std::string value(std::string_view name) const;
    std::vector<std::string> values(std::string_view name) const;
    // Each option's name once, in the order of the line.
    const std::vector<std::string>& names() const { return m_order; }

    void add(std::string_view name, std::string value);

private:
    std::map<std::string, std::vector<std::string>, std::less<>> m_values;
    std::vector<std::string> m_order;
};

enum class Request { Run, Help, Version };

// --help or -h anywhere on the line, then --version or -V, win over any mistake elsewhere.
Request requestOf(std::span<const std::string_view> arguments);

// Reads every argument against `known`. A refusal is the first fault on the line, as one line
// naming the argument as typed: unknown, without its value, a value for a flag, given twice,
// or an argument that is no option.
std::variant<GivenOptions, std::string> readOptions(std::span<const std::string_view> arguments,
                                                    std::span<const OptionName> known);

// An option's lines in --help: `label` ("--port PORT") from column 3, `help` from column 26,
// or on the next line when the label is longer; each further line of `help` in that column.
std::string helpLines(std::string_view label, std::string_view help);

}  // namespace tooloptions
