#pragma once

#include <QSocketNotifier>
#include <QTimer>
#include <map>
#include <memory>
#include <vector>

#include "tools/scale-read/keyboard/desktop/keytyper.h"

using Display = struct _XDisplay;

namespace scaleread {

// Typing through the X server's XTEST extension. Each character is typed by its keysym: the
// key and level that give it in the keyboard's layout and group as it is now (Shift for an
// AZERTY digit), and, for a keysym the layout lacks, a spare keycode mapped to it for the moment
// and given back shortly after the last key, as careful X tools do. The hotkey is a passive
// grab on the root window.
class X11Typer : public KeyTyper {
public:
    // The display of $DISPLAY with XTEST and XKB; nullptr with `error` set otherwise.
    static std::unique_ptr<X11Typer> open(QString& error);
    ~X11Typer() override;

    QString name() const override;
    bool knowsFocus() const override { return true; }
    std::optional<FocusedWindow> focusedWindow() override;
    bool type(const TypeStep& step, QString& error) override;
    void bell() override;
    bool grabHotkey(const QString& key, std::function<void()> pressed, QString& error) override;
    QString hotkeyNote() const override { return QStringLiteral("a key grab on the X server"); }

private:
    explicit X11Typer(Display* display);
    bool typeKeysym(unsigned long keysym, QString& error);
    unsigned char spareKeycodeFor(unsigned long keysym);
    void releaseModifiers();
    void giveBackSpares();
    void readEvents();

    Display* m_display;
    std::unique_ptr<QSocketNotifier> m_events;
    QTimer m_giveBack;
    // Spare keycodes lent to keysyms the layout lacks, and the keysym each holds now.
    std::map<unsigned char, unsigned long> m_lent;
    unsigned char m_hotkeyCode = 0;
    std::function<void()> m_hotkeyPressed;
};

}  // namespace scaleread
