#include "tools/indicator-sim/formatanswers.h"

#include "tools/indicator-sim/formatframes.h"

namespace indicatorsim {

std::string answerSics(RequestKind kind, bool done, const IndicatorState& state,
                       const FormatSettings& settings) {
    // "+" is the scale's own reason for refusing (over capacity), "I" any other.
    const std::string refusal = state.overCapacity ? " +\r\n" : " I\r\n";
    switch (kind) {
        case RequestKind::Weight:
        case RequestKind::StableWeight:
            return renderSics(state, settings);
        case RequestKind::Zero:
            return done ? "Z A\r\n" : "Z" + refusal;
        case RequestKind::Tare:
            return done ? "T S " + padLeft(signedText(state.tare, state.decimals), 10) + " kg\r\n"
                        : "T" + refusal;
        case RequestKind::ClearTare:
            return done ? "TAC A\r\n" : "TAC I\r\n";
        case RequestKind::Unknown:
            return "ES\r\n";
    }
    return {};
}

// Zero and tare are carried out silently; their effect shows in the next lines.
std::string answerAd(RequestKind kind, bool, const IndicatorState& state,
                     const FormatSettings& settings) {
    return kind == RequestKind::Weight ? renderAd(state, settings) : std::string();
}

std::string answerSbi(RequestKind kind, bool, const IndicatorState& state,
                      const FormatSettings& settings) {
    return kind == RequestKind::Weight ? renderSbi(state, settings) : std::string();
}

// Every command is answered with a weight reply; a refused one carries the error status, E for
// zero and T for tare.
std::string answerSma(RequestKind kind, bool done, const IndicatorState& state,
                      const FormatSettings& settings) {
    switch (kind) {
        case RequestKind::Weight:
        case RequestKind::StableWeight:
            return renderSma(state, settings);
        case RequestKind::Zero:
            return done ? renderSma(state, settings) : smaFrame(state, 'E');
        case RequestKind::Tare:
        case RequestKind::ClearTare:
            return done ? renderSma(state, settings) : smaFrame(state, 'T');
        case RequestKind::Unknown:
            return "\n?\r";
    }
    return {};
}

// A zero is carried out silently; a refused one answers with the status "outside the zero range".
std::string answer8217(RequestKind kind, bool done, const IndicatorState& state,
                       const FormatSettings& settings) {
    constexpr unsigned kOutsideZeroRange = 1u << 3;
    if (kind == RequestKind::Weight) {
        return render8217(state, settings);
    }
    if (kind == RequestKind::Zero && !done) {
        return status8217(state, kOutsideZeroRange);
    }
    return {};
}

}  // namespace indicatorsim
