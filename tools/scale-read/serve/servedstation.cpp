#include "tools/scale-read/serve/servedstation.h"

#include <cmath>
#include <memory>

namespace scaleread {
namespace {

// "-12.345" at 3 decimals: -12345.
std::int64_t unitsOf(const std::string& number, int decimals) {
    try {
        return std::llround(std::stod(number) * std::pow(10.0, decimals));
    } catch (const std::exception&) {
        return 0;
    }
}

scale::RequestKind kindOf(CommandKind kind) {
    switch (kind) {
        case CommandKind::Zero:
            return scale::RequestKind::Zero;
        case CommandKind::Tare:
            return scale::RequestKind::Tare;
        case CommandKind::ClearTare:
            return scale::RequestKind::ClearTare;
    }
    return scale::RequestKind::Unknown;
}

std::optional<CommandKind> commandOf(scale::RequestKind kind) {
    for (const CommandKind command : {CommandKind::Zero, CommandKind::Tare, CommandKind::ClearTare}) {
        if (kindOf(command) == kind) {
            return command;
        }
    }
    return std::nullopt;
}

}  // namespace

void StationView::frame(const scale::StreamFrame& frame, bool stable, std::int64_t steadyMicros) {
    using scale::FrameError;
    // A command's reply says nothing of the weight; a garbled frame leaves the last one to age.
    if (frame.error == FrameError::Reply || frame.error == FrameError::Checksum ||
        frame.error == FrameError::Incomplete || frame.error == FrameError::Malformed ||
        frame.error == FrameError::Decimals || frame.error == FrameError::Overflow) {
        return;
    }
    m_atMicros = steadyMicros;
    m_stable = stable && frame.error == FrameError::None;
    // The encoders speak kg; a weight in another unit is not served as one in kg.
    const bool kg = frame.unit.empty() || frame.unit == "kg";
    m_weight = (frame.error == FrameError::None && kg) || frame.error == FrameError::Overload;
    scale::IndicatorState state;
    state.overCapacity = frame.error == FrameError::Overload;
    if (frame.error == FrameError::None) {
        state.decimals = frame.decimals;
        state.shown = unitsOf(frame.number, frame.decimals);
        state.net = frame.mode == scale::WeighMode::Net;
        state.tare = frame.tare.empty() ? 0 : unitsOf(frame.tare, frame.decimals);
        state.gross = state.net ? state.shown + state.tare : state.shown;
        state.motion = frame.motion == scale::Motion::Moving || !stable;
    }
    m_state = state;
}

void StationView::portOpen(bool open) {
    if (!open) {
        m_weight = false;
        m_stable = false;
    }
}

std::optional<scale::IndicatorState> StationView::fresh(std::int64_t steadyMicros) const {
    if (!m_weight || steadyMicros - m_atMicros > kServedFreshMicros) {
        return std::nullopt;
    }
    return m_state;
}

ServedClient::ServedClient(const ServedFormat& format, const StationView& view, Send send,
                           Command command)
    : m_format(format),
      m_view(view),
      m_cutter(format),
      m_send(std::move(send)),
      m_command(std::move(command)) {}

ServedClient::~ServedClient() {
    *m_alive = false;
}

void ServedClient::received(std::span<const std::uint8_t> bytes, std::int64_t steadyMicros) {
    for (const ServedRequest& request : m_cutter.feed(bytes)) {
        answer(request, steadyMicros);
    }
}

void ServedClient::frameArrived(std::int64_t steadyMicros) {
    if (!m_waitingStable || !m_view.stable()) {
        return;
    }
    if (const auto state = m_view.fresh(steadyMicros)) {
        m_waitingStable = false;
        m_send(m_format.speaking->answer(scale::RequestKind::StableWeight, true, *state, {}));
    }
}

void ServedClient::answer(const ServedRequest& request, std::int64_t steadyMicros) {
    const scale::SpokenFormat& speaking = *m_format.speaking;
    const auto state = m_view.fresh(steadyMicros);
    if (request.reset) {
        m_waitingStable = false;
        m_send(std::string(m_format.resetAnswer));
        return;
    }
    switch (request.kind) {
        case scale::RequestKind::Weight:
            m_send(state ? speaking.answer(request.kind, true, *state, {})
                         : std::string(m_format.noWeight));
            return;
        case scale::RequestKind::StableWeight:
            m_waitingStable = true;
            frameArrived(steadyMicros);
            return;
        case scale::RequestKind::Unknown:
            m_send(speaking.answer(request.kind, false, state.value_or(scale::IndicatorState{}), {}));
            return;
        default:
            break;
    }
    const auto command = commandOf(request.kind);
    if (!m_command || !command) {
        m_send(speaking.answer(request.kind, false, state.value_or(scale::IndicatorState{}), {}));
        return;
    }
    // A tare taken is the load on the scale when it was asked for, where frames carry none.
    scale::IndicatorState before = m_view.last();
    if (before.tare == 0 && !before.net) {
        before.tare = before.gross;
    }
    m_command(*command, [this, alive = m_alive, kind = request.kind, before](CommandResult result) {
        if (*alive) {
            m_send(m_format.speaking->answer(kind, result == CommandResult::Done, before, {}));
        }
    });
}

}  // namespace scaleread
