#include "tools/options/optionreader.h"

#include <algorithm>

namespace tooloptions {
namespace {

constexpr std::size_t kHelpColumn = 25;  // where the help starts, counted from 0

bool isOneOf(std::string_view argument, std::string_view longForm, std::string_view shortForm) {
    return argument == longForm || argument == shortForm;
}

}  // namespace

std::string GivenOptions::value(std::string_view name) const {
    const auto found = m_values.find(name);
    return found == m_values.end() ? std::string() : found->second.back();
}

std::vector<std::string> GivenOptions::values(std::string_view name) const {
    const auto found = m_values.find(name);
    return found == m_values.end() ? std::vector<std::string>() : found->second;
}

void GivenOptions::add(std::string_view name, std::string value) {
    auto [entry, added] = m_values.try_emplace(std::string(name));
    if (added) {
        m_order.emplace_back(name);
    }
    entry->second.push_back(std::move(value));
}

Request requestOf(std::span<const std::string_view> arguments) {
    const auto given = [&](std::string_view longForm, std::string_view shortForm) {
        return std::ranges::any_of(arguments, [&](std::string_view argument) {
            return isOneOf(argument, longForm, shortForm);
        });
    };
    return given("--help", "-h")       ? Request::Help
           : given("--version", "-V") ? Request::Version
                                      : Request::Run;
}

std::variant<GivenOptions, std::string> readOptions(std::span<const std::string_view> arguments,
                                                    std::span<const OptionName> known) {
    GivenOptions given;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string_view argument = arguments[i];
        if (!argument.starts_with("--")) {
            return argument.starts_with('-') && argument.size() > 1
                       ? "unknown option " + std::string(argument)
                       : "unexpected argument '" + std::string(argument) + "'";
        }
        const auto equals = argument.find('=');
        const std::string_view typed = argument.substr(0, equals);
        const auto option = std::ranges::find(known, typed.substr(2), &OptionName::name);
        if (option == known.end()) {
            return "unknown option " + std::string(typed);
        }
        std::string value;
        if (!option->takesValue) {
            if (equals != std::string_view::npos) {
                return std::string(typed) + " takes no value";
            }
        } else if (equals != std::string_view::npos) {
            value = argument.substr(equals + 1);
        } else if (i + 1 < arguments.size() && !arguments[i + 1].starts_with("--")) {
            value = arguments[++i];
        }
        if (option->takesValue && value.empty()) {
            return std::string(typed) + " needs a value";
        }
        if (!option->repeats && given.isSet(option->name)) {
            return std::string(typed) + " given twice";
        }
        given.add(option->name, std::move(value));
    }
    return given;
}

std::string helpLines(std::string_view label, std::string_view help) {
    std::string lines = "  " + std::string(label);
    if (lines.size() < kHelpColumn) {
        lines.append(kHelpColumn - lines.size(), ' ');
    } else {
        lines += '\n' + std::string(kHelpColumn, ' ');
    }
    for (std::size_t start = 0; start < help.size();) {
        const auto end = std::min(help.find('\n', start), help.size());
        if (start > 0) {
            lines.append(kHelpColumn, ' ');
        }
        lines.append(help.substr(start, end - start)).append("\n");
        start = end + 1;
    }
    return lines;
}

}  // namespace tooloptions
