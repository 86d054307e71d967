#include "tools/scale-read/keyboard/keyboardrun.h"

#include "tools/scale-read/keyboard/desktop/desktopkeyboard.h"

namespace scaleread {

std::unique_ptr<KeyboardRun> KeyboardRun::start(const TypeSettings& settings,
                                                const QStringList& stations, const Clock& clock,
                                                const Note& note, const QString& settingsFolder) {
    QString error;
    auto typer = openDesktopKeyboard(settingsFolder, error);
    if (!typer) {
        note(error);
        return nullptr;
    }
    return start(settings, stations, clock, note, std::move(typer));
}

std::unique_ptr<KeyboardRun> KeyboardRun::start(const TypeSettings& settings,
                                                const QStringList& stations, const Clock& clock,
                                                const Note& note,
                                                std::unique_ptr<KeyTyper> typer) {
    if (!settings.into.isEmpty() && !typer->knowsFocus()) {
        note(QStringLiteral("--type-into: %1 cannot tell which window has the focus; leave it "
                            "out there")
                 .arg(typer->name()));
        return nullptr;
    }
    auto run = std::unique_ptr<KeyboardRun>(new KeyboardRun);
    run->m_typer = std::move(typer);
    KeyboardRun* self = run.get();
    run->m_outlet = std::make_unique<KeyboardOutlet>(
        settings, *run->m_typer, clock, stations,
        [self](const TypedValue& value) {
            if (self->m_onTyped) {
                self->m_onTyped(value);
            }
        },
        note);
    QString error;
    if (!run->m_outlet->startHotkey(error)) {
        note(error);
        return nullptr;
    }
    const QString on = settings.rules.on == TypeOn::Settle  ? QStringLiteral("each settled weight")
                       : settings.rules.on == TypeOn::Print ? QStringLiteral("each printed weight")
                                                            : QStringLiteral("the weight at %1")
                                                                  .arg(settings.hotkey);
    const QString hotkey = run->m_typer->hotkeyNote();
    note(QStringLiteral("typing %1 as \"%2\" through %3%4%5")
             .arg(on, settings.templateText, run->m_typer->name(),
                  hotkey.isEmpty() || settings.rules.on != TypeOn::Hotkey
                      ? QString()
                      : QStringLiteral(", the hotkey through %1").arg(hotkey),
                  settings.into.isEmpty()
                      ? QString()
                      : QStringLiteral(", into windows matching '%1'").arg(settings.into)));
    return run;
}

std::function<void()> KeyboardRun::typeAsked(
    std::size_t station, const QString& trigger,
    const std::function<void(const QString& result, const QString& text)>& done) {
    auto alive = std::make_shared<bool>(true);
    const bool paused = m_outlet->paused();
    const bool typed = m_outlet->typeStanding(station, trigger, [done, alive, paused](bool ok) {
        if (*alive) {
            *alive = false;
            done(ok ? QStringLiteral("done")
                    : paused ? QStringLiteral("refused") : QStringLiteral("no-answer"),
                 {});
        }
    });
    if (!typed) {
        done(QStringLiteral("unsupported"), QStringLiteral("this station's weights are not typed"));
    }
    return [alive] { *alive = false; };
}

}  // namespace scaleread
