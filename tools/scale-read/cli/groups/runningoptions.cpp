// How long a run goes on, what it tells, and the program's own questions.
#include "tools/scale-read/cli/optiongroups.h"

namespace scaleread {
namespace {

// Both end on one timer, which counts at most 2^31 - 1 ms (24 days).
constexpr std::int64_t kLongestTimerMs = INT32_MAX;

std::optional<QString> storeReconnectTimeout(const QString& value, ReaderOptions& options) {
    std::int64_t seconds = 0;
    if (auto refused = readWhole("reconnect-timeout", value, 0, seconds)) {
        return refused;
    }
    if (seconds > kLongestTimerMs / 1000) {
        return QStringLiteral("--reconnect-timeout goes up to 2147483 s (24 days); leave it out "
                              "to wait for ever");
    }
    options.reconnectTimeoutMs = seconds * 1000;
    return std::nullopt;
}

std::optional<QString> storeDuration(const QString& value, ReaderOptions& options) {
    std::int64_t ms = 0;
    if (auto refused = readWhole("duration", value, 1, ms)) {
        return refused;
    }
    if (ms > kLongestTimerMs) {
        return QStringLiteral("--duration goes up to 2147483647 ms (24 days); leave it out to "
                              "read until stopped");
    }
    options.durationMs = ms;
    return std::nullopt;
}

std::optional<QString> storeCount(const QString& value, ReaderOptions& options) {
    return readWhole("count", value, 1, options.count.emplace());
}

const OptionRow kRunningRows[] = {
    {.name = "reconnect-timeout",
     .valueName = "S",
     .help = "after the device went away, give up when it is not back within S\n"
             "seconds (default: wait for ever)",
     .modes = kRead | kDetect | kCommand,
     .store = storeReconnectTimeout},
    {.name = "duration",
     .valueName = "MS",
     .help = "end after MS",
     .modes = kRead | kDetect,
     .store = storeDuration},
    {.name = "count",
     .valueName = "N",
     .help = "end after N records written (error records too, with --errors)",
     .modes = kRead | kDecode,
     .store = storeCount},
    {.name = "quiet",
     .help = "no notes on what is read and heard; errors and a lost or returned\n"
             "device are still reported",
     .modes = kEveryMode & ~kPorts,
     .store = [](const QString&, ReaderOptions& options) -> std::optional<QString> {
         options.quiet = true;
         return std::nullopt;
     }},
    {.name = "version", .help = "print \"scale-read VERSION\" and end", .shortName = "-V"},
    {.name = "help", .help = "this text", .shortName = "-h"},
};

}  // namespace

const OptionGroup runningOptions{.heading = "Running:", .rows = kRunningRows};

}  // namespace scaleread
