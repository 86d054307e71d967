#pragma once

#include <optional>

namespace scale {

// `--help` and `--version` are answered before anything of the window is made, so that they
// work without a display. The exit status when one of them was given and answered.
std::optional<int> answerInfoOption(int argc, char* argv[]);

// While it lives, a window system that cannot be reached ends the program with one line saying
// so (exit status 1) instead of the toolkit's abort; the toolkit's own messages of that time
// are held back and passed on once the window system was reached.
class DisplayGuard {
public:
    DisplayGuard();
    ~DisplayGuard();
    DisplayGuard(const DisplayGuard&) = delete;
    DisplayGuard& operator=(const DisplayGuard&) = delete;
};

}  // namespace scale
