#pragma once

#include <QString>
#include <QStringList>
#include <QTimer>
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <vector>

#include "tools/scale-read/clock.h"
#include "tools/scale-read/keyboard/desktop/keytyper.h"
#include "tools/scale-read/keyboard/typeoptions.h"
#include "tools/scale-read/keyboard/typetrigger.h"
#include "tools/scale-read/outlets/outlet.h"

namespace scaleread {

// A value the keyboard typed, for its record.
struct TypedValue {
    std::size_t station;
    QString trigger;      // "settle", "print", "hotkey", "http", "mqtt"
    std::string text;     // as the template's description tells it: "12.345 kg{Enter}"
    QString window;       // the focused window's title
    std::int64_t utcMillis;
    const scale::StreamFrame& frame;
};

// The keyboard as an outlet: each station's frames go through its trigger, and each weight to
// type is rendered by the template and typed in turn, into the focused window when it is the
// one --type-into names. Waits of the template run on a timer, never blocking the loop.
class KeyboardOutlet : public Outlet {
public:
    using Typed = std::function<void(const TypedValue& value)>;
    using Note = std::function<void(const QString& text)>;

    // `stationNames`: the run's stations in order (one for a single port).
    KeyboardOutlet(TypeSettings settings, KeyTyper& typer, const Clock& clock,
                   QStringList stationNames, Typed typed, Note note);

    void record(const Record& record) override {
        if (record.typed == nullptr) {  // a value typed already is no frame to type
            frame(record.station, record.utcMillis, record.frame, record.stable);
        }
    }
    void frame(std::size_t station, std::int64_t utcMillis, const scale::StreamFrame& frame,
               bool stable);
    void portChanged(std::size_t station, PortState state, const QString& reason) override;

    // What became of an asked value: typed (queued to be typed), or not (paused, or nothing
    // settled within the wait, or another ask took its place).
    using Asked = std::function<void(bool typed)>;
    // The hotkey or a remote button (`trigger` names it): the weight standing now on the typed
    // station, or the next to settle within the wait. False when `station` is not typed.
    bool typeStanding(std::size_t station, const QString& trigger, Asked asked = {});
    // Grabs --type-hotkey where the rule is hotkey; false with `error` where it cannot.
    bool startHotkey(QString& error);

    void setPaused(bool paused) { m_paused = paused; }
    bool paused() const { return m_paused; }
    std::uint64_t typedCount() const { return m_seq; }

private:
    struct Pending {
        std::size_t station;
        QString trigger;
        std::int64_t utcMillis;
        scale::StreamFrame frame;
        std::vector<std::uint8_t> raw;  // the frame's bytes, which `frame` no longer holds
    };

    bool typed(std::size_t station) const;
    void queue(std::size_t station, const QString& trigger, std::int64_t utcMillis,
               const scale::StreamFrame& frame);
    void typeNext();
    bool startValue();
    void hotkeyWaitEnded();

    TypeSettings m_settings;
    KeyTyper& m_typer;
    const Clock& m_clock;
    QStringList m_stations;
    Typed m_typed;
    Note m_note;
    std::vector<TypeTrigger> m_triggers;  // by station
    std::deque<Pending> m_queue;
    std::optional<Pending> m_current;  // the value being typed
    std::vector<TypeStep> m_steps;     // its steps, from m_nextStep on still to do
    std::size_t m_nextStep = 0;
    QString m_window;                  // the title of the window it goes to
    QTimer m_stepTimer;
    QTimer m_hotkeyWait;
    std::size_t m_askedStation = 0;
    QString m_askedBy;
    Asked m_asked;
    std::uint64_t m_seq = 0;
    bool m_paused = false;
};

}  // namespace scaleread
