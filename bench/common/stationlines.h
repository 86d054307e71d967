#pragma once

// What the load benchmarks share: stations on pseudo-terminals in a folder of their own, the
// reader started on them, and the frames sent to them on a fixed schedule.
#include <spawn.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "bench/common/processfigures.h"
#include "protocols/formats/continuous/continuousframe.h"
#include "tools/indicator-sim/line/pty/ptyline.h"

extern char** environ;

namespace bench {

using Clock = std::chrono::steady_clock;

// Station i ("s" i) on a pseudo-terminal linked as FOLDER/si, and the reader's --station
// arguments for them all; the folder goes with them.
class StationLines {
public:
    StationLines(const StationLines&) = delete;
    StationLines& operator=(const StationLines&) = delete;
    ~StationLines() {
        m_lines.clear();
        ::rmdir(m_folder.c_str());
    }

    // Null, with the reason on standard error, when the folder cannot be made.
    static std::unique_ptr<StationLines> open(const std::string& name, int stations) {
        std::string folder = "/tmp/" + name + "-XXXXXX";
        if (::mkdtemp(folder.data()) == nullptr) {
            std::perror("mkdtemp");
            return nullptr;
        }
        std::unique_ptr<StationLines> made(new StationLines(folder));
        for (int i = 0; i < stations; ++i) {
            const std::string link = folder + "/s" + std::to_string(i);
            made->m_lines.push_back(std::make_unique<indicatorsim::PtyLine>(link));
            made->m_arguments.push_back("--station");
            std::string station = "s";  // appended piece by piece: GCC 12 warns on a + chain
            station += std::to_string(i);
            station += '=';
            station += link;
            station += ",continuous";
            made->m_arguments.push_back(std::move(station));
        }
        return made;
    }

    int count() const { return static_cast<int>(m_lines.size()); }
    const std::vector<std::string>& arguments() const { return m_arguments; }

    // Station i's frame n, weighing n, goes out at start + n * 100 ms + i * 100 ms / stations,
    // for `frames` frames each; `written(i, n, at)` hears the time just before it is written.
    // The reader's CPU ticks are taken in `ticksBefore` once `warmUp` frames have gone. Returns
    // the frames written after the warm-up.
    template <typename Written>
    long send(Clock::time_point start, int frames, int warmUp, pid_t reader, long& ticksBefore,
              Written written) {
        const int stations = count();
        long measured = 0;
        for (int frame = 0; frame < frames; ++frame) {
            if (frame == warmUp) {
                ticksBefore = cpuTicks(reader);
            }
            for (int i = 0; i < stations; ++i) {
                std::this_thread::sleep_until(start + std::chrono::microseconds(
                                                          frame * 100'000 + i * 100'000 / stations));
                const auto bytes = scale::encodeContinuousFrame(
                    scale::IndicatorReading{false, static_cast<std::uint32_t>(frame), 0});
                written(i, frame, Clock::now());
                m_lines[static_cast<std::size_t>(i)]->send(bytes);
                measured += frame >= warmUp ? 1 : 0;
            }
        }
        return measured;
    }

private:
    explicit StationLines(std::string folder) : m_folder(std::move(folder)) {}

    std::string m_folder;
    std::vector<std::unique_ptr<indicatorsim::PtyLine>> m_lines;
    std::vector<std::string> m_arguments;
};

// Starts `program` with `arguments` (the program's name first), with the file actions given;
// 0, with the reason on standard error, when it cannot be started.
inline pid_t spawn(const std::string& program, std::vector<std::string> arguments,
                   const posix_spawn_file_actions_t* actions = nullptr) {
    std::vector<char*> argv;
    for (std::string& argument : arguments) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (::posix_spawn(&pid, program.c_str(), actions, nullptr, argv.data(), environ) != 0) {
        std::perror("posix_spawn");
        return 0;
    }
    return pid;
}

// The CPU share, in percent of one core, of `ticks` clock ticks over `seconds`.
inline double cpuPercent(long ticks, int seconds) {
    return 100.0 * static_cast<double>(ticks) / static_cast<double>(::sysconf(_SC_CLK_TCK)) /
           seconds;
}

}  // namespace bench
