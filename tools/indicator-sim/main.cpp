// indicator-sim: a weighing indicator on a serial line, for trying and testing the readout tool.
#include <sys/signalfd.h>
#include <unistd.h>

#include <cctype>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <exception>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "tools/indicator-sim/cli/helptext.h"
#include "tools/indicator-sim/cli/options.h"
#include "tools/indicator-sim/indicator/simulator.h"
#include "tools/indicator-sim/line/device/deviceline.h"
#include "tools/indicator-sim/line/tcp/tcpline.h"
#include "tools/indicator-sim/line/linemodel.h"
#include "tools/indicator-sim/line/pty/ptyline.h"
#include "tools/indicator-sim/line/runloop.h"
#include "tools/indicator-sim/replay/recordingfile.h"
#include "tools/indicator-sim/replay/replayer.h"

namespace {

using namespace indicatorsim;

void note(const std::string& text) {
    std::fprintf(stderr, "indicator-sim: %s\n", text.c_str());
}

// SIGINT, SIGTERM and SIGHUP end the run through the poll loop, so that the link is removed on
// the way out like on any other end. They are blocked first and read from a signalfd.
int endingSignals() {
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGHUP);
    if (::sigprocmask(SIG_BLOCK, &signals, nullptr) != 0) {
        throw std::system_error(errno, std::generic_category(), "cannot block signals");
    }
    const int fd = ::signalfd(-1, &signals, SFD_CLOEXEC | SFD_NONBLOCK);
    if (fd < 0) {
        throw std::system_error(errno, std::generic_category(), "cannot watch signals");
    }
    return fd;
}

std::string numberText(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

// The simulated indicator, with a note on its pace and seed where they matter.
std::unique_ptr<LineDriver> simulatorFor(const SimOptions& options) {
    const Pace pace = paceFor(options);
    if (options.protocol != Protocol::Command && pace.clamped) {
        note("--rate " + numberText(options.rate) + " is more than the line carries at " +
             std::to_string(options.settings.baud) + " baud; sending " +
             numberText(pace.framesPerSecond) + " frames per second");
    }
    std::uint64_t seed = 0;
    if (options.seed) {
        seed = *options.seed;
    } else {
        seed =
            std::random_device{}() ^
            static_cast<std::uint64_t>(std::chrono::system_clock::now().time_since_epoch().count());
        if (usesRandomFaults(options)) {
            note("fault seed " + std::to_string(seed) + " (--seed repeats this run)");
        }
    }
    return std::make_unique<Simulator>(options, seed);
}

int run(const SimOptions& options) {
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    std::signal(SIGPIPE, SIG_IGN);

    // A recording is read and checked whole first, so that a bad one never brings up the line.
    std::unique_ptr<LineDriver> driver =
        options.replayPath.empty()
            ? simulatorFor(options)
            : std::make_unique<Replayer>(loadRecording(options.replayPath), options.speed);
    std::optional<LineModel> lineModel;
    if (options.lineModel) {
        lineModel.emplace(options.settings);
    }

    const int signalFd = endingSignals();
    std::unique_ptr<Line> line;
    if (options.tcp) {
        line = std::make_unique<TcpLine>(*options.tcp);
    } else if (!options.linkPath.empty()) {
        line = std::make_unique<PtyLine>(options.linkPath);
    } else {
        line = std::make_unique<DeviceLine>(options.devicePath, options.settings);
    }
    std::printf("ready %s\n", line->devicePath().c_str());
    const RunEnd end = runLine(*line, *driver, plannedEnd(options), signalFd, options.verbose,
                               lineModel ? &*lineModel : nullptr);
    line.reset();
    ::close(signalFd);
    if (end == RunEnd::Unplugged) {
        note("unplugged after " + std::to_string(*options.unplugAfter / 1000) + " ms");
    }
    return 0;
}

}  // namespace

int main(int argc, char* argv[]) {
    try {
        const std::vector<std::string_view> args(argv + 1, argv + argc);
        const ParseResult parsed = parseOptions(args);
        if (std::holds_alternative<HelpRequested>(parsed)) {
            std::fputs(std::string(helpText()).c_str(), stdout);
            return 0;
        }
        if (std::holds_alternative<VersionRequested>(parsed)) {
            std::printf("indicator-sim %s\n", SCALE_READOUT_VERSION);
            return 0;
        }
        if (const auto* error = std::get_if<UsageError>(&parsed)) {
            note(std::string(error->what()) + " (see " + error->see() + ")");
            return 2;
        }
        return run(std::get<SimOptions>(parsed));
    } catch (const std::system_error& failure) {
        // "cannot open /dev/x: No such file or directory": the system's reason in lower case,
        // as the rest of the line.
        std::string text = failure.what();
        const std::string reason = failure.code().message();
        if (!reason.empty() && text.ends_with(reason)) {
            auto& first = text[text.size() - reason.size()];
            first = static_cast<char>(std::tolower(static_cast<unsigned char>(first)));
        }
        note(text);
        return 1;
    } catch (const std::exception& failure) {
        note(failure.what());
        return 1;
    } catch (...) {
        note("unexpected failure");
        return 1;
    }
}
