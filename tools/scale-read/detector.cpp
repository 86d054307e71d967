#include "tools/scale-read/detector.h"

#include <algorithm>
#include <cstdio>

#include "protocols/commandrequest.h"

namespace scaleread {
namespace {

using scale::IndicatorProtocol;

// The window's thirteen rates, commonest first.
constexpr int kBauds[] = {9600, 19200, 4800, 2400, 1200, 57600, 14400,
                          28800, 600,  128000, 256000, 28400, 152000};

struct Framing {
    const char* name;
    const char* fields;  // parity, data bits, stop bits
};
constexpr Framing kFramings[] = {
    {"8N1", "N,8,1"}, {"7E1", "E,7,1"}, {"7O1", "O,7,1"}, {"8E1", "E,8,1"}, {"8O1", "O,8,1"},
};

// A ShenTong frame carries no checksum, so any "=" and seven bytes would pass; when the rate is
// wrong such frames turn up in the garbage. Only the characters of a weight count as valid here.
bool plausibleShenTong(std::span<const std::uint8_t> raw) {
    return std::all_of(raw.begin() + 1, raw.end(), [](std::uint8_t byte) {
        return (byte >= '0' && byte <= '9') || byte == '.' || byte == '-' || byte == ' ';
    });
}

}  // namespace

std::vector<DetectionCandidate> detectionCandidates() {
    std::vector<DetectionCandidate> candidates;
    for (const Framing& framing : kFramings) {
        for (const int baud : kBauds) {
            candidates.push_back({QStringLiteral("%1,%2").arg(baud).arg(QLatin1String(framing.fields)),
                                  QLatin1String(framing.name)});
        }
    }
    return candidates;
}

void rankScores(std::vector<DetectionScore>& scores) {
    std::stable_sort(scores.begin(), scores.end(),
                     [](const DetectionScore& a, const DetectionScore& b) {
                         if (a.validPerSecond() != b.validPerSecond()) {
                             return a.validPerSecond() > b.validPerSecond();
                         }
                         return a.rejected < b.rejected;
                     });
}

std::optional<DetectionScore> foundScore(const std::vector<DetectionScore>& ranked) {
    for (const DetectionScore& score : ranked) {
        if (score.validRun >= Detector::kEarlyRun && score.rejected == 0) {
            return score;
        }
    }
    if (!ranked.empty() && ranked.front().valid >= 3 &&
        ranked.front().rejected * 4 <= ranked.front().valid) {
        return ranked.front();
    }
    return std::nullopt;
}

std::string detectionReport(std::vector<DetectionScore> scores,
                            const std::vector<HeardSetting>& heard) {
    rankScores(scores);
    std::string report;
    char row[128];
    std::snprintf(row, sizeof row, "%-14s %-11s %8s %9s %9s\n", "settings", "protocol", "valid/s",
                  "rejected", "bytes");
    report += row;
    for (const DetectionScore& score : scores) {
        std::snprintf(row, sizeof row, "%-14s %-11s %8.1f %9d %9lld\n",
                      score.settings.toLatin1().constData(),
                      std::string(scale::protocolName(score.protocol)).c_str(),
                      score.validPerSecond(), score.rejected, static_cast<long long>(score.bytes));
        report += row;
    }
    std::int64_t total = 0;
    for (const HeardSetting& setting : heard) {
        total += setting.bytes;
        const bool framed = std::any_of(scores.begin(), scores.end(), [&](const auto& score) {
            return score.settings == setting.settings;
        });
        if (setting.bytes > 0 && !framed) {
            std::snprintf(row, sizeof row, "%-14s %-11s %8s %9s %9lld\n",
                          setting.settings.toLatin1().constData(), "-", "-", "-",
                          static_cast<long long>(setting.bytes));
            report += row;
        }
    }
    if (const auto found = foundScore(scores)) {
        report += "found: --settings " + found->settings.toStdString() + " --protocol " +
                  std::string(scale::protocolName(found->protocol)) + "\n";
    } else if (total == 0) {
        report += "not found: the line was silent\n";
    } else if (scores.empty()) {
        report += "not found: " + std::to_string(total) + " bytes heard, none in a known format\n";
    } else {
        report += "not found: " + std::to_string(total) +
                  " bytes heard, too few valid frames at any setting\n";
    }
    return report;
}

Detector::Detector(scale::SerialControl& port, scale::TimerControl& dwellTimer,
                   scale::TimerControl& requestTimer, const Clock& clock,
                   std::vector<DetectionCandidate> candidates)
    : m_port(port),
      m_dwellTimer(dwellTimer),
      m_requestTimer(requestTimer),
      m_clock(clock),
      m_candidates(std::move(candidates)),
      m_streams{scale::FrameStream(IndicatorProtocol::Continuous),
                scale::FrameStream(IndicatorProtocol::Command),
                scale::FrameStream(IndicatorProtocol::ShenTong)} {
    m_dwellTimer.setEnabled(false);
    m_requestTimer.setEnabled(false);
    m_dwellTimer.setOnTick([this] { listenEnded(); });
    m_requestTimer.setOnTick([this] { sendRequest(); });
    m_port.setOnComm([this] { readWaiting(); });
}

std::int64_t Detector::elapsedMillis() const {
    return (m_clock.steadyMicros() - m_startMicros) / 1000;
}

void Detector::start() {
    m_startMicros = m_clock.steadyMicros();
    next();
}

void Detector::next() {
    while (m_next < m_candidates.size()) {
        const DetectionCandidate& candidate = m_candidates[m_next++];
        if (elapsedMillis() >= kSweepMillis) {
            break;
        }
        // Refused outright, or taken and silently dropped (the serial port's own read-back
        // catches some of those, ours the rest): either way this host cannot listen so.
        const auto wanted = scale::parseLineSettings(candidate.settings);
        const bool taken = m_port.setSettings(candidate.settings);
        const auto actual = m_port.deviceLineSettings();
        if (!taken || !actual || actual->parity != wanted->parity ||
            actual->dataBits != wanted->dataBits || actual->stopBits != wanted->stopBits) {
            skip(candidate, QStringLiteral("the port does not take these settings"));
            continue;
        }
        // Arming: every byte as it comes, nothing left over from the setting before.
        if (!m_port.setInputMode(1) || !m_port.setInputLen(0) || !m_port.setRThreshold(1) ||
            !m_port.setInBufferCount(0)) {
            skip(candidate, QStringLiteral("the port is not open"));
            continue;
        }
        for (std::size_t i = 0; i < m_streams.size(); ++i) {
            m_streams[i].reset();
            m_current[i] = DetectionScore{candidate.settings, static_cast<IndicatorProtocol>(i)};
        }
        // An even share of what is left of the sweep, within bounds that let a 10-frame-a-second
        // indicator show five frames in a row at the commonest settings.
        const auto left = static_cast<std::int64_t>(m_candidates.size() - m_next + 1);
        const auto dwell =
            std::clamp<std::int64_t>((kSweepMillis - elapsedMillis()) / left, 300, 1500);
        m_listening = true;
        ++m_listened;
        m_currentBytes = 0;
        m_extended = false;
        m_listenStartMicros = m_clock.steadyMicros();
        m_dwellTimer.setInterval(static_cast<int>(dwell));
        m_dwellTimer.setEnabled(true);
        m_requestTimer.setInterval(kRequestMillis);
        m_requestTimer.setEnabled(true);
        sendRequest();
        return;
    }
    finish();
}

void Detector::skip(const DetectionCandidate& candidate, const QString& reason) {
    if (m_onSkip) {
        m_onSkip(candidate, reason);
    }
}

void Detector::stop() {
    closeCandidate();
    finish();
}

void Detector::sendRequest() {
    const auto request = scale::buildCommandRequest(m_txFrame);
    (void)m_port.setOutput(QByteArray(reinterpret_cast<const char*>(request.data()),
                                      static_cast<qsizetype>(request.size())));
}

void Detector::readWaiting() {
    const auto chunk = m_port.Input();
    if (!m_listening || !chunk) {
        return;
    }
    m_currentBytes += chunk->size();
    bool early = false;
    for (const char c : *chunk) {
        const auto byte = static_cast<std::uint8_t>(c);
        for (std::size_t i = 0; i < m_streams.size(); ++i) {
            if (!m_streams[i].push(byte, m_frame)) {
                continue;
            }
            DetectionScore& score = m_current[i];
            const bool valid = m_frame.error == scale::FrameError::None &&
                               (score.protocol != IndicatorProtocol::ShenTong ||
                                plausibleShenTong(m_frame.raw));
            if (valid) {
                ++score.valid;
                ++score.validRun;
            } else {
                ++score.rejected;
                score.validRun = 0;
            }
            early = early || (score.validRun >= kEarlyRun && score.rejected == 0);
        }
    }
    if (early) {
        closeCandidate();
        finish();
    }
}

void Detector::listenEnded() {
    // A setting that reads valid frames and nothing else gets a second share before moving on.
    const bool promising = std::any_of(m_current.begin(), m_current.end(), [](const auto& score) {
        return score.valid > 0 && score.rejected == 0;
    });
    if (promising && !m_extended && elapsedMillis() < kSweepMillis) {
        m_extended = true;
        return;  // the timer runs on for another period
    }
    closeCandidate();
    next();
}

void Detector::closeCandidate() {
    if (!m_listening) {
        return;
    }
    m_listening = false;
    m_dwellTimer.setEnabled(false);
    m_requestTimer.setEnabled(false);
    const double seconds =
        static_cast<double>(m_clock.steadyMicros() - m_listenStartMicros) / 1e6;
    m_heard.push_back({m_current.front().settings, m_currentBytes});
    for (DetectionScore& score : m_current) {
        score.seconds = seconds;
        score.bytes = m_currentBytes;
        if (score.valid > 0 || score.rejected > 0) {
            m_scores.push_back(score);
        }
    }
}

void Detector::finish() {
    if (m_finished) {
        return;
    }
    m_finished = true;
    m_dwellTimer.setEnabled(false);
    m_requestTimer.setEnabled(false);
    if (m_onFinished) {
        m_onFinished();
    }
}

}  // namespace scaleread
