#include "tools/scale-read/mqtt/broker/brokernotes.h"

namespace scaleread {
namespace {

QString failedAgain(int times) {
    return QStringLiteral("failed %1 more time%2 in the last %3 s")
        .arg(times)
        .arg(times == 1 ? "" : "s")
        .arg(BrokerNotes::kQuietMillis / 1000);
}

}  // namespace

BrokerNotes::BrokerNotes(QString broker, Note note, scale::TimerControl& timer)
    : m_broker(std::move(broker)), m_note(std::move(note)), m_timer(timer) {
    m_timer.setEnabled(false);
    m_timer.setOnTick([this] { quietTimeOver(); });
}

void BrokerNotes::failed(const void* station, const BrokerFailure& failure) {
    if (m_failing.empty()) {
        m_spellAfterConnection = m_everConnected;
        // The timer runs from the last spell told until a quiet time passes without one.
        m_spellHeld = m_timer.Enabled();
        if (m_spellHeld) {
            ++m_spellsHeld;
        } else {
            m_timer.setInterval(kQuietMillis);
            m_timer.setEnabled(true);
        }
    }
    m_failing.insert(station);
    if (m_spellHeld) {
        m_lastTrouble = failure;
    } else if (m_told.insert(failure.trouble).second) {
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
    if (!m_told.empty() && !m_spellHeld) {
        m_note(QStringLiteral("%1 %2; publishing %3 stable weights kept meanwhile")
                   .arg(m_broker, m_spellAfterConnection
                                      ? QStringLiteral("is back")
                                      : QStringLiteral("accepted the connection"))
                   .arg(m_kept));
        m_told.clear();
        m_kept = 0;
    }
}

void BrokerNotes::quietTimeOver() {
    if (m_spellsHeld == 0) {
        m_timer.setEnabled(false);
        return;
    }
    // The timer goes on: what repeats this often will likely repeat again.
    if (m_failing.empty()) {
        m_note(QStringLiteral("%1 %2; connected now, publishing %3 stable weights kept meanwhile")
                   .arg(m_broker, failedAgain(m_spellsHeld))
                   .arg(m_kept));
        m_kept = 0;
    } else {
        m_note(QStringLiteral("%1 %2; still failing: %3")
                   .arg(m_broker, failedAgain(m_spellsHeld), m_lastTrouble.text));
        // This spell is told now, so its end is told too.
        m_spellHeld = false;
        m_told.insert(m_lastTrouble.trouble);
    }
    m_spellsHeld = 0;
}

}  // namespace scaleread
