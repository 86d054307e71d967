#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "tools/indicator-sim/cli/options.h"
#include "tools/indicator-sim/faults/faults.h"
#include "tools/indicator-sim/formats/formatrequests.h"
#include "tools/indicator-sim/formats/requestscanner.h"
#include "tools/indicator-sim/indicator/scalestate.h"
#include "tools/indicator-sim/indicator/weightsource.h"
#include "tools/indicator-sim/line/linedriver.h"
#include "tools/indicator-sim/micros.h"

namespace indicatorsim {

// The indicator itself, without a line or a clock: the caller reports the time and what arrived,
// and writes what comes back, in order.
class Simulator : public LineDriver {
public:
    Simulator(const SimOptions& options, std::uint64_t faultSeed);

    std::optional<Micros> nextDue() const override;

    // The writes due by `now`, frames made for every send slot that has come.
    std::vector<SimOutput> due(Micros now) override;

    // Bytes read from the line at `now`: their rx line, a request line for each request they
    // complete, and (command mode) replies scheduled for due().
    std::vector<SimOutput> received(Micros now, std::span<const std::uint8_t> bytes) override;

private:
    // Whether weights follow the send slots: always but in command mode, which takes the next
    // weight for each reply.
    bool ticks() const { return m_protocol != Protocol::Command; }
    // Whether the slots send frames.
    bool streams() const { return !m_format ? ticks() : !m_format->asked || m_stream; }
    void makeFrameAt(Micros at);
    void answer(Micros now, const FormatRequest& request);
    void answerSteadyWaiters(Micros at);
    OutgoingFrame formatReply(RequestKind kind, bool done);
    void schedule(std::vector<Piece> pieces);

    Protocol m_protocol;
    const SpokenFormat* m_format;  // null for the three built-in protocols
    FormatSettings m_formatSettings;
    Refusals m_refusals;
    bool m_stream;
    double m_badCheck;  // the share of frames whose own check byte goes wrong
    double m_framesPerSecond;
    Micros m_replyDelay;
    double m_dropRate;
    Silence m_silence;
    WeightSource m_weights;
    FaultInjector m_faults;
    RequestScanner m_requests;
    FormatRequestScanner m_formatRequests;
    ScaleState m_scale;
    int m_waitingForSteady = 0;  // stable-weight requests held until the weight settles
    // Unasked frames: slot m_slot is due at m_slotBase + frameOffset(rate, m_slot).
    Micros m_slotBase = 0;
    std::int64_t m_slot = 0;
    std::multimap<Micros, Piece> m_pending;  // equal times keep the order they were added in
};

}  // namespace indicatorsim
