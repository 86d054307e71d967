#include "tools/indicator-sim/replay/recordingfile.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <system_error>

namespace indicatorsim {

ReplaySchedule loadRecording(const std::string& path) {
    std::error_code error;
    // A FIFO or a device would never end, or not be a recording at all.
    if (std::filesystem::exists(path, error) && !std::filesystem::is_regular_file(path, error)) {
        throw std::runtime_error(path + ": not a regular file");
    }
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        throw std::system_error(errno, std::generic_category(), "cannot read " + path);
    }
    std::ostringstream text;
    text << file.rdbuf();
    if (file.bad()) {
        throw std::system_error(errno, std::generic_category(), "cannot read " + path);
    }
    auto result = readRecording(std::move(text).str());
    if (const auto* problem = std::get_if<RecordingProblem>(&result)) {
        throw std::runtime_error(path + " line " + std::to_string(problem->line) + ": " +
                                 problem->what);
    }
    return std::get<ReplaySchedule>(std::move(result));
}

}  // namespace indicatorsim
