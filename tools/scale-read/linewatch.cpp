#include "tools/scale-read/linewatch.h"

namespace scaleread {

LineWatch::LineWatch(scale::TimerControl& timer, const Clock& clock,
                     scale::IndicatorProtocol protocol)
    : m_timer(timer), m_clock(clock), m_protocol(protocol) {
    m_timer.setEnabled(false);
    m_timer.setOnTick([this] { check(); });
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
    if (m_noted) {
        m_noted = false;
        m_timer.setEnabled(true);
    }
}

void LineWatch::check() {
    const std::int64_t elapsed = m_clock.steadyMicros() / 1000 - m_sinceMillis;
    const bool asked = m_protocol == scale::IndicatorProtocol::Command;
    QString text;
    if (m_bytes > 0 && elapsed >= kGarbledMillis) {
        text = QStringLiteral(
                   "%1 bytes in %2 s, no %3 %4: wrong baud, framing or protocol? try "
                   "--detect")
                   .arg(m_bytes)
                   .arg(elapsed / 1000)
                   .arg(QLatin1String(scale::protocolName(m_protocol)),
                        asked ? QStringLiteral("reply") : QStringLiteral("frame"));
    } else if (m_bytes == 0 && elapsed >= kSilentMillis) {
        text = asked ? QStringLiteral(
                           "nothing received in %1 s: the indicator does not answer "
                           "the command request; check the cable, --port and "
                           "--settings, or try --detect")
                     : QStringLiteral(
                           "nothing received in %1 s: check the indicator, the cable "
                           "and --port; one that waits to be asked needs --protocol "
                           "command (or try --detect)");
        text = text.arg(elapsed / 1000);
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
