#include "tools/scale-read/keyboard/keyboardoutlet.h"

#include <cstdint>
#include <utility>

namespace scaleread {
namespace {

QString triggerName(TypeOn on) {
    switch (on) {
        case TypeOn::Settle: return QStringLiteral("settle");
        case TypeOn::Print: return QStringLiteral("print");
        case TypeOn::Hotkey: return QStringLiteral("hotkey");
    }
    return {};
}

}  // namespace

KeyboardOutlet::KeyboardOutlet(TypeSettings settings, KeyTyper& typer, const Clock& clock,
                               QStringList stationNames, Typed typed, Note note)
    : m_settings(std::move(settings)),
      m_typer(typer),
      m_clock(clock),
      m_stations(std::move(stationNames)),
      m_typed(std::move(typed)),
      m_note(std::move(note)) {
    for (qsizetype i = 0; i < m_stations.size(); ++i) {
        m_triggers.emplace_back(m_settings.rules);
    }
    m_stepTimer.setSingleShot(true);
    QObject::connect(&m_stepTimer, &QTimer::timeout, [this] { typeNext(); });
    m_hotkeyWait.setSingleShot(true);
    QObject::connect(&m_hotkeyWait, &QTimer::timeout, [this] { hotkeyWaitEnded(); });
}

bool KeyboardOutlet::typed(std::size_t station) const {
    return station < m_triggers.size() &&
           (m_settings.station.isEmpty() ||
            m_stations[static_cast<qsizetype>(station)] == m_settings.station);
}

void KeyboardOutlet::frame(std::size_t station, std::int64_t utcMillis,
                           const scale::StreamFrame& frame, bool stable) {
    if (!typed(station)) {
        return;
    }
    const auto on = m_triggers[station].frame(frame, stable, m_clock.steadyMicros() / 1000);
    if (!on) {
        return;
    }
    // A paused keyboard lets the placement pass: nothing is typed for it on resuming.
    if (m_paused) {
        return;
    }
    if (*on == TypeOn::Hotkey) {
        m_hotkeyWait.stop();
        if (auto asked = std::exchange(m_asked, {})) {
            asked(true);
        }
    }
    queue(station, *on == TypeOn::Hotkey ? m_askedBy : triggerName(*on), utcMillis, frame);
}

void KeyboardOutlet::portChanged(std::size_t station, PortState state, const QString& reason) {
    (void)reason;
    if (station < m_triggers.size() && state != PortState::Open) {
        m_triggers[station].unsettled();
    }
}

bool KeyboardOutlet::typeStanding(std::size_t station, const QString& trigger, Asked asked) {
    if (!typed(station)) {
        return false;
    }
    const auto answer = [](const Asked& handler, bool done) {
        if (handler) {
            handler(done);
        }
    };
    if (m_paused) {
        m_note(QStringLiteral("typing is paused: the %1 types nothing").arg(trigger));
        answer(asked, false);
        return true;
    }
    TypeTrigger& rule = m_triggers[station];
    if (rule.hotkey(m_clock.steadyMicros() / 1000)) {
        queue(station, trigger, m_clock.utcMillis(), *rule.standing());
        answer(asked, true);
        return true;
    }
    // One ask waits at a time: the one before it has its answer now.
    if (m_hotkeyWait.isActive() && m_askedStation != station) {
        (void)m_triggers[m_askedStation].hotkeyExpired(INT64_MAX);
    }
    answer(std::exchange(m_asked, std::move(asked)), false);
    m_askedStation = station;
    m_askedBy = trigger;
    // A moment past the wait, so that the trigger's own clock has seen it end.
    m_hotkeyWait.start(static_cast<int>(m_settings.rules.hotkeyWaitMillis) + 10);
    return true;
}

void KeyboardOutlet::hotkeyWaitEnded() {
    if (m_triggers[m_askedStation].hotkeyExpired(m_clock.steadyMicros() / 1000)) {
        m_note(QStringLiteral("%1: no stable weight within %2 s; nothing typed")
                   .arg(m_askedBy)
                   .arg(static_cast<double>(m_settings.rules.hotkeyWaitMillis) / 1000.0));
        m_typer.bell();
        if (auto asked = std::exchange(m_asked, {})) {
            asked(false);
        }
    }
}

bool KeyboardOutlet::startHotkey(QString& error) {
    if (m_settings.rules.on != TypeOn::Hotkey) {
        return true;
    }
    for (std::size_t station = 0; station < m_triggers.size(); ++station) {
        if (typed(station)) {
            return m_typer.grabHotkey(m_settings.hotkey,
                                      [this, station] { (void)typeStanding(station, QStringLiteral("hotkey")); },
                                      error);
        }
    }
    return true;
}

void KeyboardOutlet::queue(std::size_t station, const QString& trigger, std::int64_t utcMillis,
                           const scale::StreamFrame& frame) {
    Pending value{station, trigger, utcMillis, frame, {frame.raw.begin(), frame.raw.end()}};
    value.frame.raw = {};
    m_queue.push_back(std::move(value));
    if (!m_current) {
        typeNext();
    }
}

bool KeyboardOutlet::startValue() {
    m_current = std::move(m_queue.front());
    m_queue.pop_front();
    m_current->frame.raw = m_current->raw;
    const auto window = m_typer.focusedWindow();
    m_window = window ? window->title : QString();
    const QString held = QString::fromStdString(m_current->frame.text);
    if (!m_settings.into.isEmpty()) {
        const bool matches = window && (m_settings.intoRule.match(window->title).hasMatch() ||
                                        m_settings.intoRule.match(window->windowClass).hasMatch());
        if (!matches) {
            m_note(window ? QStringLiteral("%1 held back: the focus is on \"%2\" (%3), not a "
                                           "window --type-into '%4' matches")
                                .arg(held, window->title, window->windowClass, m_settings.into)
                          : QStringLiteral("%1 held back: no window has the focus").arg(held));
            m_current.reset();
            return false;
        }
    }
    const std::string station = m_stations[static_cast<qsizetype>(m_current->station)].toStdString();
    m_steps = m_settings.text.render({m_current->frame, station, m_seq + 1, m_current->utcMillis});
    m_nextStep = 0;
    return true;
}

void KeyboardOutlet::typeNext() {
    for (;;) {
        if (!m_current) {
            if (m_queue.empty()) {
                return;
            }
            if (!startValue()) {
                continue;
            }
        }
        bool whole = true;
        while (whole && m_nextStep < m_steps.size()) {
            const TypeStep& step = m_steps[m_nextStep++];
            if (step.kind == TypeStep::Kind::Wait) {
                m_stepTimer.start(step.waitMillis);
                return;
            }
            QString error;
            whole = m_typer.type(step, error);
            if (!whole) {
                m_note(QStringLiteral("%1 not typed whole: %2")
                           .arg(QString::fromStdString(m_current->frame.text), error));
            }
        }
        if (whole) {
            ++m_seq;
            if (m_typed) {
                m_typed({m_current->station, m_current->trigger, TypeTemplate::describe(m_steps),
                         m_window, m_current->utcMillis, m_current->frame});
            }
        }
        m_current.reset();
    }
}

}  // namespace scaleread
