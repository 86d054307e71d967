#pragma once

#include <QString>
#include <functional>
#include <optional>
#include <string>

#include "tools/scale-read/keyboard/typetemplate.h"

namespace scaleread {

// The window that has the keyboard's focus.
struct FocusedWindow {
    QString title;
    QString windowClass;  // WM_CLASS: instance and class, "gnumeric.Gnumeric"
};

// The desktop's keyboard as the wedge uses it: keys typed by what they mean (keysyms), never by
// a layout's key positions, into whatever has the focus.
class KeyTyper {
public:
    virtual ~KeyTyper() = default;
    // For the start note: "X11 (XTEST) on :0".
    virtual QString name() const = 0;
    // Whether focusedWindow() can tell (a Wayland portal cannot).
    virtual bool knowsFocus() const = 0;
    virtual std::optional<FocusedWindow> focusedWindow() = 0;
    // Types the text (UTF-8) or presses the key. False, with `error` set, when it could not.
    virtual bool type(const TypeStep& step, QString& error) = 0;
    // A short sound: the hotkey found no weight to type.
    virtual void bell() {}
    // Calls `pressed` each time the key ("F9", "ctrl+alt+w") is pressed anywhere. False with
    // `error` where the key is unknown, taken by another program, or the desktop offers none.
    virtual bool grabHotkey(const QString& key, std::function<void()> pressed, QString& error) {
        (void)key;
        (void)pressed;
        error = QStringLiteral("this desktop offers no hotkey to programs");
        return false;
    }
    // For the start note, once the hotkey is had: how it is taken ("a key grab on the X
    // server") and, where the desktop chose the keys, which.
    virtual QString hotkeyNote() const { return {}; }
};

}  // namespace scaleread
