#include "tools/scale-read/detect/detector.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <iterator>

#include "device/baudrates.h"

namespace scaleread {
namespace {

// The window's rates tried first, commonest first; the rest follow in the window's order.
constexpr std::int32_t kCommonBauds[] = {9600,  19200, 4800, 2400,   1200,  57600,
                                         14400, 28800, 600,  128000, 256000};
static_assert(std::ranges::all_of(kCommonBauds, [](std::int32_t baud) {
    return std::ranges::find(scale::kBaudRates, baud) != std::end(scale::kBaudRates);
}));

std::vector<std::int32_t> baudsInTrialOrder() {
    std::vector<std::int32_t> bauds(std::begin(kCommonBauds), std::end(kCommonBauds));
    for (const std::int32_t baud : scale::kBaudRates) {
        if (std::ranges::find(bauds, baud) == bauds.end()) {
            bauds.push_back(baud);
        }
    }
    return bauds;
}

struct Framing {
    const char* name;
    const char* fields;  // parity, data bits, stop bits
};
constexpr Framing kFramings[] = {
    {"8N1", "N,8,1"}, {"7E1", "E,7,1"}, {"7O1", "O,7,1"}, {"8E1", "E,8,1"}, {"8O1", "O,8,1"},
};

// The longest answer a read request is given time for, in bytes, and the indicator's own delay.
constexpr std::size_t kAnswerBytes = 24;
constexpr int kAnswerDelayMillis = 50;
// Long enough for an indicator sending unasked at 10 frames a second to show two frames.
constexpr std::int64_t kLeastDwellMillis = 250;

int bitsPerByte(const scale::LineSettings& settings) {
    return 1 + settings.dataBits + (settings.parity == scale::Parity::None ? 0 : 1) +
           (settings.stopBits == scale::StopBits::One ? 1 : 2);
}

int bytesMillis(std::size_t bytes, int baud, int bitsPerByte) {
    return static_cast<int>((static_cast<std::int64_t>(bytes) * bitsPerByte * 1000 + baud - 1) /
                            baud);
}

// A ShenTong frame carries no checksum, so any "=" and seven bytes would pass; when the rate is
// wrong such frames turn up in the garbage. Only the characters of a weight count as valid here.
bool plausibleShenTong(std::span<const std::uint8_t> raw) {
    return std::all_of(raw.begin() + 1, raw.end(), [](std::uint8_t byte) {
        return (byte >= '0' && byte <= '9') || byte == '.' || byte == '-' || byte == ' ';
    });
}

enum class Evidence { Valid, Neutral, Rejected };

// A frame that says the load moves or is out of range still shows its format's layout; an
// answer to a command of no meaning to the indicator (another format's request) says little
// either way; everything else is a frame the format does not read.
Evidence evidenceOf(scale::FrameError error) {
    switch (error) {
        case scale::FrameError::None:
        case scale::FrameError::Motion:
        case scale::FrameError::Overload:
        case scale::FrameError::Underload:
        case scale::FrameError::Busy:
            return Evidence::Valid;
        case scale::FrameError::IndicatorError:
        case scale::FrameError::Reply:
            return Evidence::Neutral;
        default:
            return Evidence::Rejected;
    }
}

// 0: read only valid frames and is vouched for; 1: the same without a check; 2: the rest.
int tier(const DetectionScore& score) {
    if (score.valid == 0 || score.rejected > 0) {
        return 2;
    }
    return score.checked ? 0 : 1;
}

}  // namespace

int DetectionScore::runNeeded() const {
    return checked ? Detector::kEarlyRun : Detector::kUncheckedRun;
}

bool formatIsChecked(const scale::FormatDescription& format) {
    if (format.framing.kind == scale::FramingKind::ShenTong) {
        return false;
    }
    return format.framing.kind == scale::FramingKind::StxEtx || format.decode != nullptr ||
           format.matcher != nullptr || format.columns.length > 0;
}

std::vector<DetectionCandidate> detectionCandidates() {
    std::vector<DetectionCandidate> candidates;
    for (const Framing& framing : kFramings) {
        for (const std::int32_t baud : baudsInTrialOrder()) {
            candidates.push_back(
                {QStringLiteral("%1,%2").arg(baud).arg(QLatin1String(framing.fields)),
                 QLatin1String(framing.name)});
        }
    }
    return candidates;
}

std::vector<std::string> detectionRequests(
    const std::vector<const scale::FormatDescription*>& formats) {
    std::vector<std::string> requests;
    for (const scale::FormatDescription* format : formats) {
        const std::string request(format->request);
        if (!request.empty() &&
            std::find(requests.begin(), requests.end(), request) == requests.end()) {
            requests.push_back(request);
        }
    }
    // An indicator reading lines keeps a request without a line end until the next line end, or
    // until a control byte such as STX or ESC makes it drop what it has. So the requests that
    // leave something behind go just before those that begin with such a byte, and a request
    // that begins with a line end, which would close what is left, comes last.
    const auto isControl = [](char c) { return static_cast<unsigned char>(c) < 0x20; };
    const auto isLineEnd = [](char c) { return c == '\r' || c == '\n'; };
    const auto order = [&](const std::string& request) {
        const bool endsClean = isControl(request.back());
        if (isLineEnd(request.front())) {
            return 4;
        }
        if (isControl(request.front())) {
            return endsClean ? 3 : 2;
        }
        return endsClean ? 0 : 1;
    };
    std::stable_sort(
        requests.begin(), requests.end(),
        [&](const std::string& a, const std::string& b) { return order(a) < order(b); });
    return requests;
}

void rankScores(std::vector<DetectionScore>& scores) {
    std::stable_sort(scores.begin(), scores.end(),
                     [](const DetectionScore& a, const DetectionScore& b) {
                         if (tier(a) != tier(b)) {
                             return tier(a) < tier(b);
                         }
                         if (a.validPerSecond() != b.validPerSecond()) {
                             return a.validPerSecond() > b.validPerSecond();
                         }
                         return a.rejected < b.rejected;
                     });
}

std::optional<DetectionScore> foundScore(const std::vector<DetectionScore>& ranked) {
    for (const DetectionScore& score : ranked) {
        if (score.validRun >= score.runNeeded() && score.rejected == 0) {
            return score;
        }
    }
    if (!ranked.empty()) {
        const DetectionScore& best = ranked.front();
        if (best.valid >= (best.checked ? 3 : 6) && best.rejected * 4 <= best.valid) {
            return best;
        }
    }
    return std::nullopt;
}

std::string detectionReport(std::vector<DetectionScore> scores,
                            const std::vector<HeardSetting>& heard,
                            const std::string& foundSuffix) {
    rankScores(scores);
    std::string report;
    char row[160];
    for (const DetectionScore& score : scores) {
        std::snprintf(row, sizeof row, "%-14s %-12s %8.1f %9d %9lld\n",
                      score.settings.toLatin1().constData(), score.format.c_str(),
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
            std::snprintf(row, sizeof row, "%-14s %-12s %8s %9s %9lld\n",
                          setting.settings.toLatin1().constData(), "-", "-", "-",
                          static_cast<long long>(setting.bytes));
            report += row;
        }
    }
    // The table's header only over rows: a silent line gives the verdict alone.
    if (!report.empty()) {
        std::snprintf(row, sizeof row, "%-14s %-12s %8s %9s %9s\n", "settings", "protocol",
                      "valid/s", "rejected", "bytes");
        report.insert(0, row);
    }
    if (const auto found = foundScore(scores)) {
        report += "found: --settings " + found->settings.toStdString() + " --protocol " +
                  found->format + foundSuffix + "\n";
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
                   std::vector<DetectionCandidate> candidates,
                   std::vector<const scale::FormatDescription*> formats)
    : m_port(port),
      m_dwellTimer(dwellTimer),
      m_requestTimer(requestTimer),
      m_clock(clock),
      m_candidates(std::move(candidates)),
      m_formats(std::move(formats)),
      m_requests(detectionRequests(m_formats)) {
    m_streams.reserve(m_formats.size());
    for (const scale::FormatDescription* format : m_formats) {
        m_streams.emplace_back(*format);
    }
    m_current.resize(m_formats.size());
    m_dwellTimer.setEnabled(false);
    m_requestTimer.setEnabled(false);
    m_dwellTimer.setOnTick([this] { listenEnded(); });
    m_requestTimer.setOnTick([this] { sendRequest(); });
    m_port.setOnBytes([this](std::span<const std::uint8_t> bytes) { bytesArrived(bytes); });
}

std::int64_t Detector::elapsedMillis() const {
    return (m_clock.steadyMicros() - m_startMicros) / 1000;
}

int Detector::lineMillis(std::size_t bytes) const {
    return bytesMillis(bytes, m_baud, m_bitsPerByte);
}

std::int64_t Detector::leastDwell(const DetectionCandidate& candidate) const {
    const auto settings = scale::parseLineSettings(candidate.settings.toStdString());
    if (!settings) {
        return 0;
    }
    const int baud = std::max(1, static_cast<int>(settings->baud));
    const int bits = bitsPerByte(*settings);
    // Every request in turn, and time for the last one's answer.
    std::int64_t least =
        m_requests.empty() ? 0 : kAnswerDelayMillis + bytesMillis(kAnswerBytes, baud, bits);
    for (const std::string& request : m_requests) {
        least += bytesMillis(request.size(), baud, bits) + kPauseMillis;
    }
    return std::max<std::int64_t>(least, kLeastDwellMillis);
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
        const auto wanted = scale::parseLineSettings(candidate.settings.toStdString());
        const bool taken = m_port.setSettings(candidate.settings);
        const auto actual = m_port.deviceLineSettings();
        if (!taken || !actual || actual->parity != wanted->parity ||
            actual->dataBits != wanted->dataBits || actual->stopBits != wanted->stopBits) {
            skip(candidate, QStringLiteral("the port does not take these settings"));
            continue;
        }
        // Arming: every byte as it comes, nothing left over from the setting before.
        if (!m_port.setRThreshold(1) || !m_port.setInBufferCount(0)) {
            skip(candidate, QStringLiteral("the port is not open"));
            continue;
        }
        m_baud = std::max(1, static_cast<int>(wanted->baud));
        m_bitsPerByte = bitsPerByte(*wanted);
        for (std::size_t i = 0; i < m_streams.size(); ++i) {
            m_streams[i].reset();
            m_current[i] = DetectionScore{candidate.settings, std::string(m_formats[i]->name)};
            m_current[i].checked = formatIsChecked(*m_formats[i]);
        }
        // Each setting's least time, and an even share of what the sweep has left over them.
        std::int64_t leastLeft = 0;
        for (std::size_t i = m_next; i < m_candidates.size(); ++i) {
            leastLeft += leastDwell(m_candidates[i]);
        }
        const std::int64_t least = leastDwell(candidate);
        const auto left = static_cast<std::int64_t>(m_candidates.size() - m_next + 1);
        const std::int64_t spare = kSweepMillis - elapsedMillis() - leastLeft - least;
        const auto dwell = std::max(
            least, std::min<std::int64_t>(least + std::max<std::int64_t>(spare, 0) / left, 1500));
        m_listening = true;
        ++m_listened;
        m_currentBytes = 0;
        m_extensions = 0;
        m_nextRequest = 0;
        m_answered.reset();
        m_listenStartMicros = m_clock.steadyMicros();
        m_dwellTimer.setInterval(static_cast<int>(dwell));
        m_dwellTimer.setEnabled(true);
        // The last request at the setting before may still be on its way.
        const std::int64_t wait =
            (m_lineFreeMicros + kPauseMillis * 1000 - m_clock.steadyMicros() + 999) / 1000;
        if (m_requests.empty() || wait <= 0) {
            sendRequest();
        } else {
            m_requestTimer.setInterval(static_cast<int>(wait));
            m_requestTimer.setEnabled(true);
        }
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
    m_requestTimer.setEnabled(false);
    if (!m_listening || m_requests.empty()) {
        return;
    }
    const auto isControl = [](char c) { return static_cast<unsigned char>(c) < 0x20; };
    std::size_t index = m_answered.value_or(m_nextRequest);
    std::size_t next = m_nextRequest;
    // The order of the requests keeps text left behind from being glued to the next request.
    // Two steps leave that order: the answered request repeated at once, and the first request
    // at a new setting. There the next request in turn that begins with a control byte goes
    // first, so that "ESC P" then "SI" never reads as "PSI".
    if (m_leftBehind && !isControl(m_requests[index].front())) {
        for (std::size_t k = 0; k < m_requests.size(); ++k) {
            const std::size_t candidate = (m_nextRequest + k) % m_requests.size();
            if (isControl(m_requests[candidate].front())) {
                index = candidate;
                next = candidate;
                break;
            }
        }
    }
    m_nextRequest = (next + 1) % m_requests.size();
    const std::string& request = m_requests[index];
    m_leftBehind = !isControl(request.back());
    (void)m_port.setOutput(QByteArray(request.data(), static_cast<qsizetype>(request.size())));
    m_lineFreeMicros = m_clock.steadyMicros() + lineMillis(request.size()) * std::int64_t{1000};
    // The next one only once this one has left the line and a pause has passed.
    m_requestTimer.setInterval(lineMillis(request.size()) +
                               (m_answered ? kAnsweredMillis : kPauseMillis));
    m_requestTimer.setEnabled(true);
}

void Detector::bytesArrived(std::span<const std::uint8_t> bytes) {
    if (!m_listening) {
        return;
    }
    m_currentBytes += static_cast<std::int64_t>(bytes.size());
    bool early = false;
    for (const std::uint8_t byte : bytes) {
        for (std::size_t i = 0; i < m_streams.size(); ++i) {
            if (m_streams[i].push(byte, m_frame)) {
                early = scoreFrame(i) || early;
            }
        }
    }
    for (std::size_t i = 0; i < m_streams.size(); ++i) {
        if (m_streams[i].pause(m_frame)) {
            early = scoreFrame(i) || early;
        }
    }
    if (early) {
        closeCandidate();
        finish();
    }
}

bool Detector::scoreFrame(std::size_t i) {
    DetectionScore& score = m_current[i];
    const Evidence evidence = evidenceOf(m_frame.error);
    if (evidence == Evidence::Neutral) {
        return false;
    }
    const bool valid = evidence == Evidence::Valid &&
                       (m_formats[i]->framing.kind != scale::FramingKind::ShenTong ||
                        plausibleShenTong(m_frame.raw));
    if (valid) {
        ++score.valid;
        ++score.validRun;
        if (m_formats[i]->asks() && !m_answered) {
            const auto at = std::find(m_requests.begin(), m_requests.end(),
                                      std::string(m_formats[i]->request));
            m_answered = static_cast<std::size_t>(at - m_requests.begin());
            // What it refused before were its answers to the other formats' requests.
            score.rejected = 0;
        }
    } else {
        ++score.rejected;
        score.validRun = 0;
    }
    return score.validRun >= score.runNeeded() && score.rejected == 0;
}

void Detector::listenEnded() {
    // A setting that reads valid frames and nothing else gets more time before moving on: a
    // format without a check needs twice the run.
    const bool promising = std::any_of(m_current.begin(), m_current.end(), [](const auto& score) {
        return score.valid > 0 && score.rejected == 0;
    });
    if (promising && m_extensions < 3 && elapsedMillis() < kSweepMillis) {
        ++m_extensions;
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
    const double seconds = static_cast<double>(m_clock.steadyMicros() - m_listenStartMicros) / 1e6;
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
