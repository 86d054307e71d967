#pragma once

#include <stdexcept>
#include <string>
#include <utility>

namespace indicatorsim {

// A command line the simulator cannot run with. The message is one line, without the program's
// name, naming the option and what was wrong with it.
class UsageError : public std::runtime_error {
public:
    // `see`: where the user reads on, the options' --help or the formats files' description.
    explicit UsageError(const std::string& message, std::string see = "--help")
        : std::runtime_error(message), m_see(std::move(see)) {}
    const std::string& see() const { return m_see; }

private:
    std::string m_see;
};

}  // namespace indicatorsim
