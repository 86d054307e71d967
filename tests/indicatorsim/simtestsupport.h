#pragma once

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "tools/indicator-sim/cli/options.h"
#include "tools/indicator-sim/indicator/simulator.h"

namespace indicatorsim {

// The options a command line gives; fails the test when it is refused.
inline SimOptions optionsFrom(std::initializer_list<std::string_view> args) {
    const std::vector<std::string_view> list(args);
    ParseResult result = parseOptions(list);
    if (const auto* error = std::get_if<UsageError>(&result)) {
        ADD_FAILURE() << "refused: " << error->what();
    }
    return std::holds_alternative<SimOptions>(result) ? std::get<SimOptions>(result) : SimOptions{};
}

// The message a command line is refused with, or "" when it is accepted.
inline std::string refusalOf(std::vector<std::string_view> args) {
    ParseResult result = parseOptions(args);
    const auto* error = std::get_if<UsageError>(&result);
    return error ? error->what() : "";
}

inline std::vector<std::string> linesOf(const std::vector<SimOutput>& outputs) {
    std::vector<std::string> lines;
    for (const SimOutput& output : outputs) {
        lines.push_back(output.line);
    }
    return lines;
}

}  // namespace indicatorsim
