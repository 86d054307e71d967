#pragma once

#include <QString>
#include <optional>

namespace scaleread {

// --type-hotkey read once for every desktop: its modifiers and the X keysym of its key.
struct HotkeyName {
    enum Modifier : unsigned { Ctrl = 1, Alt = 2, Shift = 4, Super = 8 };
    unsigned modifiers = 0;
    unsigned long keysym = 0;
};

// "F9", "ctrl+alt+w" (modifier names in any case: ctrl or control, alt, shift, super or win);
// nothing, with `error` in one line, for an unknown modifier or key name.
std::optional<HotkeyName> parseHotkey(const QString& key, QString& error);

// The same as a desktop portal asks for a shortcut's trigger: "CTRL+ALT+w", "LOGO+F9".
QString shortcutTrigger(const HotkeyName& hotkey);

}  // namespace scaleread
