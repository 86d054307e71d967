#include "tools/indicator-sim/simulator.h"

#include <algorithm>
#include <utility>

#include "tools/indicator-sim/eventlog.h"
#include "tools/indicator-sim/pacing.h"

namespace indicatorsim {

Simulator::Simulator(const SimOptions& options, std::uint64_t faultSeed)
    : m_protocol(options.protocol),
      m_framesPerSecond(paceFor(options).framesPerSecond),
      m_replyDelay(options.replyDelay),
      m_dropRate(options.dropRate),
      m_silence(options.silence),
      m_weights(options.weight),
      m_faults(options.faults, options.cutPause, faultSeed) {}

std::optional<Micros> Simulator::nextDue() const {
    std::optional<Micros> next;
    if (m_protocol != Protocol::Command) {
        next = m_slotBase + frameOffset(m_framesPerSecond, m_slot);
    }
    if (!m_pending.empty()) {
        next = next ? std::min(*next, m_pending.begin()->first) : m_pending.begin()->first;
    }
    return next;
}

std::vector<SimOutput> Simulator::due(Micros now) {
    if (m_protocol != Protocol::Command) {
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
    return outputs;
}

void Simulator::makeFrameAt(Micros at) {
    if (m_silence.covers(at)) {
        return;
    }
    OutgoingFrame frame = makeFrame(m_protocol, m_weights.next());
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
