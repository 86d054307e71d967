#pragma once

#include <QString>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "app/serial/serialcontrol.h"
#include "app/timers/timercontrol.h"
#include "protocols/stream/formatdescription.h"
#include "protocols/stream/framestream.h"
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

// What one format made of the bytes at one setting.
struct DetectionScore {
    QString settings;
    std::string format;  // its --protocol name
    int valid = 0;
    int rejected = 0;
    int validRun = 0;        // valid frames in a row, up to the last frame
    double seconds = 0;      // listened
    std::int64_t bytes = 0;  // heard at this setting, by every format alike
    // A checksum or a fixed layout vouches for the format's frames; a format without either
    // matches stray bytes more easily and must read more frames in a row.
    bool checked = true;
    double validPerSecond() const { return seconds > 0 ? valid / seconds : 0; }
    // Valid frames in a row that name the format, with none rejected.
    int runNeeded() const;
};

// Whether a checksum or a fixed layout vouches for a frame of `format`.
bool formatIsChecked(const scale::FormatDescription& format);

// The bytes heard at one setting listened at, frames or not.
struct HeardSetting {
    QString settings;
    std::int64_t bytes = 0;
};

// Best first: a format that read only valid frames, one with a checksum or fixed layout before
// one without; then more valid frames a second, then fewer rejected.
void rankScores(std::vector<DetectionScore>& scores);
// The score that names the indicator's settings: the best one that read its run of valid
// frames with none rejected, or failing that the best one with at least three valid frames
// (six without a check) and at most one rejected for every four valid.
std::optional<DetectionScore> foundScore(const std::vector<DetectionScore>& ranked);

// The table of what was heard, best first, with a row for each setting that heard bytes but no
// frame, and the last line: "found: --settings ... --protocol ..." followed by `foundSuffix`,
// or "not found: " and whether the line was silent or what it carried.
std::string detectionReport(std::vector<DetectionScore> scores,
                            const std::vector<HeardSetting>& heard,
                            const std::string& foundSuffix = {});

// The distinct read requests of the formats that must be asked, in the formats' order. Only
// requests for a weight: no command that changes the indicator is ever among them.
std::vector<std::string> detectionRequests(
    const std::vector<const scale::FormatDescription*>& formats);

// Listens on an open port at each candidate in turn and runs every format's decoder on the same
// bytes. The read requests go out one at a time, each after the one before has had time to
// leave the line and a pause, so that no indicator reads another format's request glued to its
// own; once a format that asks has answered, only its request is sent at that setting. Stops
// early once a format has read its run of valid frames with none rejected; the whole sweep ends
// within kSweepMillis.
class Detector {
public:
    static constexpr std::int64_t kSweepMillis = 28'000;
    static constexpr int kPauseMillis = 40;      // between one request's end and the next
    static constexpr int kAnsweredMillis = 100;  // between requests to a format that answered
    static constexpr int kEarlyRun = 5;
    static constexpr int kUncheckedRun = 10;

    Detector(scale::SerialControl& port, scale::TimerControl& dwellTimer,
             scale::TimerControl& requestTimer, const Clock& clock,
             std::vector<DetectionCandidate> candidates,
             std::vector<const scale::FormatDescription*> formats);

    // A setting left out, and why.
    void setOnSkip(std::function<void(const DetectionCandidate&, const QString& reason)> handler) {
        m_onSkip = std::move(handler);
    }
    void setOnFinished(std::function<void()> handler) { m_onFinished = std::move(handler); }

    void start();
    // Ends the sweep now, keeping what the current setting has read.
    void stop();
    bool finished() const { return m_finished; }
    // Every format at every setting that saw a frame, in the order tried.
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
    void bytesArrived(std::span<const std::uint8_t> bytes);
    // Scores the frame stream `i` just ended; true when it has shown enough to stop listening.
    bool scoreFrame(std::size_t i);
    void sendRequest();
    void closeCandidate();
    void finish();
    // Milliseconds `bytes` take on the line at the current setting.
    int lineMillis(std::size_t bytes) const;
    // The shortest listen at a setting: every request and an answer.
    std::int64_t leastDwell(const DetectionCandidate& candidate) const;

    scale::SerialControl& m_port;
    scale::TimerControl& m_dwellTimer;
    scale::TimerControl& m_requestTimer;
    const Clock& m_clock;
    std::vector<DetectionCandidate> m_candidates;
    std::vector<const scale::FormatDescription*> m_formats;
    std::vector<std::string> m_requests;
    std::size_t m_next = 0;
    std::int64_t m_startMicros = 0;
    std::int64_t m_listenStartMicros = 0;
    bool m_listening = false;
    int m_extensions = 0;
    bool m_finished = false;
    int m_listened = 0;
    int m_baud = 9600;
    int m_bitsPerByte = 10;
    std::size_t m_nextRequest = 0;
    // The last request sent ended in text, which an indicator reading lines still holds.
    bool m_leftBehind = false;
    std::int64_t m_lineFreeMicros = 0;      // when the last request has left the line
    std::optional<std::size_t> m_answered;  // the request a format answered at this setting
    std::vector<scale::FrameStream> m_streams;
    std::vector<DetectionScore> m_current;
    scale::StreamFrame m_frame;
    std::vector<DetectionScore> m_scores;
    std::vector<HeardSetting> m_heard;
    std::int64_t m_currentBytes = 0;
    std::function<void(const DetectionCandidate&, const QString&)> m_onSkip;
    std::function<void()> m_onFinished;
};

}  // namespace scaleread
