#pragma once

#include <QString>
#include <functional>
#include <memory>

#include "app/qtserialcontrol.h"
#include "app/qttimercontrol.h"
#include "tools/scale-read/clock.h"
#include "tools/scale-read/keyboard/keyboardrun.h"
#include "tools/scale-read/stations/stationreader.h"
#include "tools/scale-wedge/wedgesettings.h"

namespace scalewedge {

// The one station the wedge reads and types from: the reader's station and keyboard, as
// scale-read --port PORT --type runs them.
class WedgeStation {
public:
    std::function<void(const QString& weight, bool stable)> onWeight;
    std::function<void(const QString& text)> onNote;   // the port's and the keyboard's notes
    std::function<void(const QString& text)> onTyped;  // a value typed, as its record tells it

    // Opens the desktop's keyboard and the port; false with `error` in one line.
    bool start(const WedgeSettings& settings, QString& error);
    void setPaused(bool paused);
    QString keyboardName() const { return m_keyboardName; }

private:
    scaleread::SystemClock m_clock;
    std::unique_ptr<scale::QtSerialControl> m_port;
    scale::QtTimerControl m_pollTimer;
    scale::QtTimerControl m_watchTimer;
    std::unique_ptr<scaleread::StationReader> m_reader;
    std::unique_ptr<scaleread::KeyboardRun> m_keyboard;
    QString m_keyboardName;
};

}  // namespace scalewedge
