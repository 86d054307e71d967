#pragma once

#include <stdexcept>
#include <string>

namespace indicatorsim {

// A command line the simulator cannot run with. The message is one line, without the program's
// name, naming the option and what was wrong with it.
class UsageError : public std::runtime_error {
public:
    explicit UsageError(const std::string& message) : std::runtime_error(message) {}
};

}  // namespace indicatorsim
