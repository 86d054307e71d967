#include "tools/scale-read/brokernotes.h"

namespace scaleread {

void BrokerNotes::failed(const void* station, const BrokerFailure& failure) {
    if (m_failing.empty()) {
        m_spellAfterConnection = m_everConnected;
    }
    m_failing.insert(station);
    if (m_told.insert(failure.trouble).second) {
        m_note(failure.text);
    }
}

void BrokerNotes::connected(const void* station, std::size_t kept) {
    const bool wasFailing = m_failing.erase(station) > 0;
    if (wasFailing) {
        m_kept += kept;
    }
    m_everConnected = true;
    if (!wasFailing || !m_failing.empty()) {
        return;
    }
    if (!m_told.empty()) {
        m_note(QStringLiteral("%1 %2; publishing %3 stable weights kept meanwhile")
                   .arg(m_broker, m_spellAfterConnection
                                      ? QStringLiteral("is back")
                                      : QStringLiteral("accepted the connection"))
                   .arg(m_kept));
    }
    m_told.clear();
    m_kept = 0;
}

}  // namespace scaleread
