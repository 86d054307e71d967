#include "tools/scale-read/engine/enginekeyboard.h"

#include <QStringList>

namespace scaleread {

std::unique_ptr<KeyboardRun> startKeyboard(const TypeSettings& settings, StationEngine& engine,
                                           const Clock& clock, const KeyboardRun::Note& note,
                                           const QString& settingsFolder) {
    QStringList stations;
    for (std::size_t index = 0; index < engine.stationCount(); ++index) {
        stations << QString::fromStdString(engine.source(index).station);
    }
    auto keyboard = KeyboardRun::start(settings, stations, clock, note, settingsFolder);
    if (!keyboard) {
        return nullptr;
    }
    keyboard->setOnTyped([&engine](const TypedValue& value) {
        const std::string trigger = value.trigger.toStdString();
        const std::string window = value.window.toStdString();
        engine.typed(value.station, value.utcMillis, value.frame,
                     TypedNote{trigger, value.text, window});
    });
    engine.setTyper([run = keyboard.get()](std::size_t station, const QString& trigger,
                                           StationControl::TypeDone done) {
        (void)run->typeAsked(station, trigger, done);
    });
    return keyboard;
}

}  // namespace scaleread
