#pragma once

#include <QString>
#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/serialcontrol.h"
#include "app/timercontrol.h"
#include "protocols/framestream.h"
#include "tools/scale-read/clock.h"

namespace scaleread {

// One line setting to listen at.
struct DetectionCandidate {
    QString settings;  // "9600,N,8,1"
    QString framing;   // "8N1"
};

// Every baud of the window's list with 8N1, 7E1, 7O1, 8E1 and 8O1: the framings in that order,
// each at the commonest rates first.
std::vector<DetectionCandidate> detectionCandidates();

// What one protocol made of the bytes at one setting.
struct DetectionScore {
    QString settings;
    scale::IndicatorProtocol protocol = scale::IndicatorProtocol::Continuous;
    int valid = 0;
    int rejected = 0;
    int validRun = 0;  // valid frames in a row, up to the last frame
    double seconds = 0;  // listened
    std::int64_t bytes = 0;  // heard at this setting, by every protocol alike
    double validPerSecond() const { return seconds > 0 ? valid / seconds : 0; }
};

// The bytes heard at one setting listened at, frames or not.
struct HeardSetting {
    QString settings;
    std::int64_t bytes = 0;
};

// Best first: more valid frames a second, then fewer rejected.
void rankScores(std::vector<DetectionScore>& scores);
// The score that names the indicator's settings: five valid frames in a row with none
// rejected, or failing that the best one with at least three valid frames and at most one
// rejected for every four valid.
std::optional<DetectionScore> foundScore(const std::vector<DetectionScore>& ranked);

// The table of what was heard, best first, with a row for each setting that heard bytes but no
// frame, and the last line: "found: --settings ... --protocol ..." or "not found: " and whether
// the line was silent or what it carried.
std::string detectionReport(std::vector<DetectionScore> scores,
                            const std::vector<HeardSetting>& heard);

// Listens on an open port at each candidate in turn and tries the three decoders on the same
// bytes, sending the command-mode request all the while. Stops early once one protocol has
// read five valid frames in a row with none rejected; the whole sweep ends within kSweepMillis.
class Detector {
public:
    static constexpr std::int64_t kSweepMillis = 28'000;
    static constexpr int kRequestMillis = 150;
    static constexpr int kEarlyRun = 5;

    Detector(scale::SerialControl& port, scale::TimerControl& dwellTimer,
             scale::TimerControl& requestTimer, const Clock& clock,
             std::vector<DetectionCandidate> candidates);

    // A setting left out, and why.
    void setOnSkip(std::function<void(const DetectionCandidate&, const QString& reason)> handler) {
        m_onSkip = std::move(handler);
    }
    void setOnFinished(std::function<void()> handler) { m_onFinished = std::move(handler); }

    void start();
    // Ends the sweep now, keeping what the current setting has read.
    void stop();
    bool finished() const { return m_finished; }
    // Every protocol at every setting that saw a frame, in the order tried.
    const std::vector<DetectionScore>& scores() const { return m_scores; }
    // Every setting listened at, with the bytes it heard.
    const std::vector<HeardSetting>& heard() const { return m_heard; }
    // Settings listened at so far, and the sweep's time.
    int listened() const { return m_listened; }
    std::int64_t elapsedMillis() const;

private:
    void next();
    void skip(const DetectionCandidate& candidate, const QString& reason);
    void listenEnded();
    void readWaiting();
    void sendRequest();
    void closeCandidate();
    void finish();

    scale::SerialControl& m_port;
    scale::TimerControl& m_dwellTimer;
    scale::TimerControl& m_requestTimer;
    const Clock& m_clock;
    std::vector<DetectionCandidate> m_candidates;
    std::size_t m_next = 0;
    std::int64_t m_startMicros = 0;
    std::int64_t m_listenStartMicros = 0;
    bool m_listening = false;
    bool m_extended = false;
    bool m_finished = false;
    int m_listened = 0;
    std::array<scale::FrameStream, 3> m_streams;
    std::array<DetectionScore, 3> m_current;
    scale::StreamFrame m_frame;
    scale::TxFrameBytes m_txFrame{};
    std::vector<DetectionScore> m_scores;
    std::vector<HeardSetting> m_heard;
    std::int64_t m_currentBytes = 0;
    std::function<void(const DetectionCandidate&, const QString&)> m_onSkip;
    std::function<void()> m_onFinished;
};

}  // namespace scaleread
