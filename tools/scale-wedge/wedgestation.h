#pragma once

#include <QString>
#include <functional>
#include <memory>

#include "tools/scale-read/clock.h"
#include "tools/scale-read/engine/stationengine.h"
#include "tools/scale-read/keyboard/keyboardrun.h"
#include "tools/scale-wedge/paneloutlet.h"
#include "tools/scale-wedge/wedgesettings.h"

namespace scalewedge {

// The one station the wedge reads and types from: the reader's station engine with one station
// and the keyboard as its outlet, as scale-read --port PORT --type runs them, and the panel as
// one more outlet.
class WedgeStation {
public:
    PanelFeed feed;
    std::function<void(const QString& text)> onNote;  // the engine's and the keyboard's notes

    // Opens the desktop's keyboard and the port; false with `error` in one line.
    bool start(const WedgeSettings& settings, QString& error);
    void setPaused(bool paused);
    QString keyboardName() const { return m_keyboardName; }

private:
    void note(const QString& text);

    scaleread::SystemClock m_clock;
    std::unique_ptr<scaleread::StationEngine> m_engine;
    scaleread::KeyboardRun* m_keyboard = nullptr;  // an outlet of m_engine
    QString m_keyboardName;
    QString m_lastNote;
};

}  // namespace scalewedge
