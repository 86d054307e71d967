#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

#include "tools/scale-read/keyboard/keyboardoutlet.h"

namespace scaleread {

// The keyboard of one run of the reader: the desktop's keyboard opened, the hotkey grabbed, the
// start note given, and the outlet that types.
class KeyboardRun : public Outlet {
public:
    using Note = std::function<void(const QString& text)>;
    // nullptr, with a note given, where there is no desktop, it refuses, or the hotkey cannot
    // be had.
    // `settingsFolder` keeps what the desktop lets us keep (the portal's restore token).
    static std::unique_ptr<KeyboardRun> start(const TypeSettings& settings,
                                              const QStringList& stations, const Clock& clock,
                                              const Note& note, const QString& settingsFolder);
    // The same on a keyboard of the caller's (a fake in tests).
    static std::unique_ptr<KeyboardRun> start(const TypeSettings& settings,
                                              const QStringList& stations, const Clock& clock,
                                              const Note& note, std::unique_ptr<KeyTyper> typer);

    KeyboardOutlet& outlet() { return *m_outlet; }
    void record(const Record& record) override { m_outlet->record(record); }
    void portChanged(std::size_t station, PortState state, const QString& reason) override {
        m_outlet->portChanged(station, state, reason);
    }
    void setOnTyped(KeyboardOutlet::Typed typed) { m_onTyped = std::move(typed); }

    // A remote button (HTTP, MQTT): `done` gets "done" once the value is on its way, "refused"
    // while paused, "no-answer" when nothing settled within the wait, "unsupported" for a
    // station not typed. Returns how to drop the ask (a client gone).
    std::function<void()> typeAsked(std::size_t station, const QString& trigger,
                                    const std::function<void(const QString& result,
                                                             const QString& text)>& done);

private:
    std::unique_ptr<KeyTyper> m_typer;
    std::unique_ptr<KeyboardOutlet> m_outlet;
    KeyboardOutlet::Typed m_onTyped;
};

}  // namespace scaleread
