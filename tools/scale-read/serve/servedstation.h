#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>

#include "protocols/formats/encoding.h"
#include "protocols/stream/framestream.h"
#include "tools/scale-read/serve/requestcutter.h"
#include "tools/scale-read/stations/indicatorcommand.h"

namespace scaleread {

// A weight is fresh for this long after its frame, and only while the port is open: a stale
// or lost station is never served as a weight.
inline constexpr std::int64_t kServedFreshMicros = 2'000'000;

// What a station shows, as the served formats' encoders take it: the last weight in kg and
// when it came. Frames with an error (overload apart) leave no weight to serve.
class StationView {
public:
    void frame(const scale::StreamFrame& frame, bool stable, std::int64_t steadyMicros);
    // A port that is not open has no weight to serve until its next frame.
    void portOpen(bool open);

    // The state to serve at `steadyMicros`; nullopt when there is no fresh weight.
    std::optional<scale::IndicatorState> fresh(std::int64_t steadyMicros) const;
    bool stable() const { return m_stable; }
    // The last state whatever its age, for a command's answer.
    const scale::IndicatorState& last() const { return m_state; }

private:
    scale::IndicatorState m_state;
    bool m_weight = false;  // m_state holds a weight (or an overload) to serve
    bool m_stable = false;
    std::int64_t m_atMicros = 0;
};

// One client of a served station: its requests cut out and answered in the format's words. A
// command goes to the station through `command` (null when commands are not allowed: refused
// in the format's words); `S` (the next stable weight) waits for one.
class ServedClient {
public:
    using Send = std::function<void(const std::string&)>;
    using CommandDone = std::function<void(CommandResult)>;
    using Command = std::function<void(CommandKind, CommandDone)>;

    ServedClient(const ServedFormat& format, const StationView& view, Send send, Command command);
    ~ServedClient();
    ServedClient(const ServedClient&) = delete;
    ServedClient& operator=(const ServedClient&) = delete;

    void received(std::span<const std::uint8_t> bytes, std::int64_t steadyMicros);
    // A frame has come: a waiting `S` is answered once the weight is fresh and stable.
    void frameArrived(std::int64_t steadyMicros);

private:
    void answer(const ServedRequest& request, std::int64_t steadyMicros);

    const ServedFormat& m_format;
    const StationView& m_view;
    RequestCutter m_cutter;
    Send m_send;
    Command m_command;
    bool m_waitingStable = false;
    // Cleared when the client goes, so that a command's late result is not answered to nobody.
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
};

}  // namespace scaleread
