#include "tools/indicator-sim/indicator/simulator.h"

#include <algorithm>
#include <utility>

#include "protocols/formats/encoding.h"
#include "tools/indicator-sim/eventlog.h"
#include "tools/indicator-sim/indicator/pacing.h"

namespace indicatorsim {

Simulator::Simulator(const SimOptions& options, std::uint64_t faultSeed)
    : m_protocol(options.protocol),
      m_format(options.format),
      m_formatSettings(options.formatSettings),
      m_refusals(options.refusals),
      m_stream(options.stream),
      m_badCheck(options.faults.badChecksum),
      m_framesPerSecond(paceFor(options).framesPerSecond),
      m_replyDelay(options.replyDelay),
      m_dropRate(options.dropRate),
      m_silence(options.silence),
      m_weights(options.weight),
      m_faults(options.faults, options.cutPause, faultSeed),
      m_formatRequests(options.format),
      m_scale(options.capacity) {}

std::optional<Micros> Simulator::nextDue() const {
    std::optional<Micros> next;
    if (ticks()) {
        next = m_slotBase + frameOffset(m_framesPerSecond, m_slot);
    }
    if (!m_pending.empty()) {
        next = next ? std::min(*next, m_pending.begin()->first) : m_pending.begin()->first;
    }
    return next;
}

std::vector<SimOutput> Simulator::due(Micros now) {
    if (ticks()) {
        Micros slot = m_slotBase + frameOffset(m_framesPerSecond, m_slot);
        if (slot <= now - frameOffset(m_framesPerSecond, 1)) {
            // More than a whole slot late (the process was held up): start counting afresh
            // rather than sending the missed frames back to back.
            m_slotBase = now;
            m_slot = 0;
            slot = now;
        }
        while (slot <= now) {
            makeFrameAt(slot);
            ++m_slot;
            slot = m_slotBase + frameOffset(m_framesPerSecond, m_slot);
        }
    }
    std::vector<SimOutput> outputs;
    while (!m_pending.empty() && m_pending.begin()->first <= now) {
        Piece piece = std::move(m_pending.begin()->second);
        m_pending.erase(m_pending.begin());
        std::string line = txLine(now, piece.bytes, piece.text);
        outputs.push_back({std::move(piece.bytes), std::move(line)});
    }
    return outputs;
}

std::vector<SimOutput> Simulator::received(Micros now, std::span<const std::uint8_t> bytes) {
    std::vector<SimOutput> outputs;
    outputs.push_back({{}, rxLine(now, bytes)});
    // Requests are recognised in every mode, so that a test can see one sent at the wrong time;
    // only command mode answers them.
    for (int i = m_requests.feed(bytes); i > 0; --i) {
        outputs.push_back({{}, requestLine(now)});
        if (m_protocol != Protocol::Command) {
            continue;
        }
        const Micros replyAt = now + m_replyDelay;
        if (m_faults.chance(m_dropRate) || m_silence.covers(replyAt)) {
            continue;
        }
        OutgoingFrame reply = makeFrame(m_protocol, m_weights.next());
        schedule(m_faults.shape(replyAt, std::move(reply), true));
    }
    // The table's formats' requests are logged whatever the protocol, and answered by their own.
    for (const FormatRequest& request : m_formatRequests.feed(bytes)) {
        outputs.push_back({{}, requestLine(now, request.format->name, request.name)});
        if (request.format == m_format) {
            answer(now, request);
        }
    }
    return outputs;
}

void Simulator::answer(Micros now, const FormatRequest& request) {
    bool done = true;
    switch (request.kind) {
        case RequestKind::Zero:
            done = !m_refusals.zero && m_scale.zero();
            break;
        case RequestKind::Tare:
            done = !m_refusals.tare && m_scale.tare();
            break;
        case RequestKind::ClearTare:
            done = !m_refusals.clearTare;
            if (done) {
                m_scale.clearTare();
            }
            break;
        case RequestKind::StableWeight:
            if (const IndicatorState state = asShown(*m_format, m_scale.state());
                state.motion && !state.overCapacity) {
                ++m_waitingForSteady;
                return;
            }
            break;
        case RequestKind::Weight:
        case RequestKind::Unknown:
            break;
    }
    // A command is carried out even when its answer is lost.
    const Micros replyAt = now + m_replyDelay;
    if (m_faults.chance(m_dropRate) || m_silence.covers(replyAt)) {
        return;
    }
    OutgoingFrame reply = formatReply(request.kind, done);
    if (!reply.bytes.empty()) {
        schedule(m_faults.shape(replyAt, std::move(reply), false));
    }
}

void Simulator::answerSteadyWaiters(Micros at) {
    if (m_waitingForSteady == 0) {
        return;
    }
    const IndicatorState state = asShown(*m_format, m_scale.state());
    if (state.motion && !state.overCapacity) {
        return;
    }
    for (; m_waitingForSteady > 0; --m_waitingForSteady) {
        schedule(m_faults.shape(at, formatReply(RequestKind::StableWeight, true), false));
    }
}

OutgoingFrame Simulator::formatReply(RequestKind kind, bool done) {
    const IndicatorState state = asShown(*m_format, m_scale.state());
    std::string answer = m_format->answer(kind, done, state, m_formatSettings);
    // A reply that is the weight frame reads as the weight; any other as nothing to show.
    const bool weightFrame = answer == m_format->render(state, m_formatSettings);
    // A weight frame with a check of its own may go out with the check wrong, as a streamed
    // one may; drawn only for such formats, so that the others keep their sequence of choices.
    if (weightFrame && m_format->spoilCheck && m_faults.chance(m_badCheck) &&
        m_format->spoilCheck(answer, m_formatSettings)) {
        return {{answer.begin(), answer.end()}, std::string(kNoReadout)};
    }
    return {{answer.begin(), answer.end()},
            weightFrame ? frameText(*m_format, state) : std::string(kNoReadout)};
}

void Simulator::makeFrameAt(Micros at) {
    OutgoingFrame frame;
    if (m_format) {
        // The load moves with time whether or not anyone asks.
        m_scale.follow(m_weights.next());
        answerSteadyWaiters(at);
        if (!streams() || m_silence.covers(at)) {
            return;
        }
        std::string bytes = renderFrame(*m_format, m_scale.state(), m_formatSettings);
        std::string text = frameText(*m_format, m_scale.state());
        // Drawn only for formats with a check of their own, so that the other protocols' runs
        // keep their sequence of choices.
        if (m_format->spoilCheck && m_faults.chance(m_badCheck) &&
            m_format->spoilCheck(bytes, m_formatSettings)) {
            text = kNoReadout;
        }
        frame = {{bytes.begin(), bytes.end()}, std::move(text)};
    } else {
        if (m_silence.covers(at)) {
            return;
        }
        frame = makeFrame(m_protocol, m_weights.next());
    }
    std::vector<Piece> pieces = m_faults.shape(at, std::move(frame), hasChecksum(m_protocol));
    const Micros last = pieces.back().at;
    schedule(std::move(pieces));
    if (last > m_slotBase + frameOffset(m_framesPerSecond, m_slot + 1)) {
        // A frame cut with a pause longer than the frame interval holds back the frames after
        // it, as the indicator would: its line carries one frame at a time.
        m_slotBase = last;
        m_slot = -1;
    }
}

void Simulator::schedule(std::vector<Piece> pieces) {
    for (Piece& piece : pieces) {
        const Micros at = piece.at;
        m_pending.emplace(at, std::move(piece));
    }
}

}  // namespace indicatorsim
