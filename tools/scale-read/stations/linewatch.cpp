#include "tools/scale-read/stations/linewatch.h"

namespace scaleread {

LineWatch::LineWatch(scale::TimerControl& timer, const Clock& clock,
                     const scale::FormatDescription& format)
    : m_timer(timer), m_clock(clock), m_format(format) {
    m_timer.setEnabled(false);
    m_timer.setOnTick([this] { noteIfDue(false); });
}

void LineWatch::start() {
    m_sinceMillis = m_clock.steadyMicros() / 1000;
    m_bytes = 0;
    m_noted = false;
    m_timer.setInterval(kCheckMillis);
    m_timer.setEnabled(true);
}

void LineWatch::stop() {
    m_timer.setEnabled(false);
}

void LineWatch::bytesArrived(std::size_t count) {
    m_bytes += static_cast<std::int64_t>(count);
}

void LineWatch::validFrame() {
    m_sinceMillis = m_clock.steadyMicros() / 1000;
    m_bytes = 0;
    m_anyValid = true;
    if (m_noted) {
        m_noted = false;
        m_timer.setEnabled(true);
    }
}

void LineWatch::finish() {
    // A run shorter than the notes' delays that never read a frame says so as it ends, rather
    // than ending in silence.
    if (m_timer.Enabled() && !m_anyValid) {
        noteIfDue(true);
    }
    m_timer.setEnabled(false);
}

void LineWatch::noteIfDue(bool ending) {
    const std::int64_t elapsed = m_clock.steadyMicros() / 1000 - m_sinceMillis;
    const bool asked = m_format.asks();
    const QString name =
        QString::fromUtf8(m_format.name.data(), static_cast<qsizetype>(m_format.name.size()));
    const QString seconds = ending ? QString::number(static_cast<double>(elapsed) / 1000, 'f', 1)
                                   : QString::number(elapsed / 1000);
    QString text;
    if (m_bytes > 0 && (ending || elapsed >= kGarbledMillis)) {
        text = QStringLiteral(
                   "%1 bytes in %2 s, no %3 %4: wrong baud, framing or protocol? try "
                   "--detect")
                   .arg(m_bytes)
                   .arg(seconds)
                   .arg(name, asked ? QStringLiteral("reply") : QStringLiteral("frame"));
    } else if (m_bytes == 0 && (ending || elapsed >= kSilentMillis)) {
        text = asked ? QStringLiteral(
                           "nothing received in %1 s: the indicator does not answer "
                           "the %2 request; check the cable, --port and "
                           "--settings, or try --detect")
                     : QStringLiteral(
                           "nothing received in %1 s: check the indicator, the cable "
                           "and --port; one that waits to be asked needs the --protocol "
                           "of its format (or try --detect)");
        text = asked ? text.arg(seconds, name) : text.arg(seconds);
    } else {
        return;
    }
    m_noted = true;
    m_timer.setEnabled(false);
    if (m_onNote) {
        m_onNote(text);
    }
}

}  // namespace scaleread
