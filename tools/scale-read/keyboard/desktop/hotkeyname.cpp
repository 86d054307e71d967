#include "tools/scale-read/keyboard/desktop/hotkeyname.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <QStringList>

namespace scaleread {
namespace {

struct ModifierName {
    const char* name;  // as --type-hotkey writes it
    unsigned modifier;
    const char* trigger;  // as a portal's trigger writes it
};

constexpr ModifierName kModifiers[] = {
    {"ctrl", HotkeyName::Ctrl, "CTRL"},   {"control", HotkeyName::Ctrl, "CTRL"},
    {"alt", HotkeyName::Alt, "ALT"},      {"shift", HotkeyName::Shift, "SHIFT"},
    {"super", HotkeyName::Super, "LOGO"}, {"win", HotkeyName::Super, "LOGO"}};

}  // namespace

std::optional<HotkeyName> parseHotkey(const QString& key, QString& error) {
    QStringList parts = key.split(QLatin1Char('+'));
    const QString keyName = parts.takeLast().trimmed();
    HotkeyName hotkey;
    for (const QString& part : parts) {
        bool known = false;
        for (const ModifierName& modifier : kModifiers) {
            if (part.trimmed().compare(QLatin1String(modifier.name), Qt::CaseInsensitive) == 0) {
                hotkey.modifiers |= modifier.modifier;
                known = true;
            }
        }
        if (!known) {
            error = QStringLiteral("--type-hotkey '%1': '%2' is not ctrl, alt, shift or super")
                        .arg(key, part);
            return std::nullopt;
        }
    }
    // Xlib's table of keysym names needs no display. Its names are case-sensitive ("F9",
    // "Return", "Page_Up"), people's are not: as given, then lower case ("w"), then each word
    // capitalised ("f9", "page_down").
    const QString lower = keyName.toLower();
    QStringList words = lower.split(QLatin1Char('_'));
    for (QString& word : words) {
        if (!word.isEmpty()) {
            word[0] = word[0].toUpper();
        }
    }
    for (const QString& name : {keyName, lower, words.join(QLatin1Char('_'))}) {
        hotkey.keysym = XStringToKeysym(name.toLatin1().constData());
        if (hotkey.keysym != NoSymbol) {
            break;
        }
    }
    if (hotkey.keysym == NoSymbol) {
        error = QStringLiteral("--type-hotkey '%1': '%2' is not an X key name such as F9")
                    .arg(key, keyName);
        return std::nullopt;
    }
    return hotkey;
}

QString shortcutTrigger(const HotkeyName& hotkey) {
    QStringList parts;
    unsigned written = 0;
    for (const ModifierName& modifier : kModifiers) {
        if ((hotkey.modifiers & modifier.modifier) != 0 && (written & modifier.modifier) == 0) {
            parts << QLatin1String(modifier.trigger);
            written |= modifier.modifier;
        }
    }
    // The key by its canonical name on the keyboard's base level: "w" for "W".
    KeySym lower = NoSymbol;
    KeySym upper = NoSymbol;
    XConvertCase(hotkey.keysym, &lower, &upper);
    const char* name = XKeysymToString(lower);
    parts << (name != nullptr ? QLatin1String(name) : QLatin1String());
    return parts.join(QLatin1Char('+'));
}

}  // namespace scaleread
