#include "tools/scale-read/keyboard/desktop/x11typer.h"

#include "tools/scale-read/keyboard/desktop/hotkeyname.h"
#include "tools/scale-read/keyboard/desktop/keysyms.h"

#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <QStringList>

namespace scaleread {
namespace {

// Lent keycodes are given back this long after their last key, once the target has read the
// changed mapping with the key.
constexpr int kGiveBackMillis = 300;

// X errors (a window gone while its title is read, a key grabbed by another program) come here
// instead of ending the program, as Xlib's default handler does.
int lastXError = 0;
int recordXError(Display*, XErrorEvent* event) {
    lastXError = event->error_code;
    return 0;
}

QString textProperty(Display* display, Window window, const char* name, bool utf8) {
    Atom type = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    const Atom property = XInternAtom(display, name, False);
    const Atom wanted = utf8 ? XInternAtom(display, "UTF8_STRING", False) : XA_STRING;
    QString text;
    if (XGetWindowProperty(display, window, property, 0, 1024, False, wanted, &type, &format,
                           &count, &after, &data) == Success &&
        data != nullptr && format == 8) {
        const auto* chars = reinterpret_cast<const char*>(data);
        text = utf8 ? QString::fromUtf8(chars, static_cast<qsizetype>(count))
                    : QString::fromLatin1(chars, static_cast<qsizetype>(count));
    }
    if (data != nullptr) {
        XFree(data);
    }
    return text;
}

}  // namespace

std::unique_ptr<X11Typer> X11Typer::open(QString& error) {
    XSetErrorHandler(recordXError);
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        error = QStringLiteral("cannot open the X display %1")
                    .arg(QString::fromLocal8Bit(qgetenv("DISPLAY")));
        return nullptr;
    }
    int event = 0;
    int base = 0;
    int major = 0;
    int minor = 0;
    if (!XTestQueryExtension(display, &event, &base, &major, &minor)) {
        XCloseDisplay(display);
        error = QStringLiteral("the X display %1 lacks the XTEST extension")
                    .arg(QString::fromLocal8Bit(qgetenv("DISPLAY")));
        return nullptr;
    }
    int opcode = 0;
    int xkbMajor = XkbMajorVersion;
    int xkbMinor = XkbMinorVersion;
    if (!XkbQueryExtension(display, &opcode, &event, &base, &xkbMajor, &xkbMinor)) {
        XCloseDisplay(display);
        error = QStringLiteral("the X display %1 lacks the XKB extension")
                    .arg(QString::fromLocal8Bit(qgetenv("DISPLAY")));
        return nullptr;
    }
    return std::unique_ptr<X11Typer>(new X11Typer(display));
}

X11Typer::X11Typer(Display* display) : m_display(display) {
    m_events = std::make_unique<QSocketNotifier>(ConnectionNumber(display), QSocketNotifier::Read);
    QObject::connect(m_events.get(), &QSocketNotifier::activated, [this] { readEvents(); });
    m_giveBack.setSingleShot(true);
    m_giveBack.setInterval(kGiveBackMillis);
    QObject::connect(&m_giveBack, &QTimer::timeout, [this] { giveBackSpares(); });
}

X11Typer::~X11Typer() {
    m_events.reset();
    giveBackSpares();
    XCloseDisplay(m_display);
}

QString X11Typer::name() const {
    return QStringLiteral("X11 (XTEST) on %1").arg(QString::fromLocal8Bit(DisplayString(m_display)));
}

std::optional<FocusedWindow> X11Typer::focusedWindow() {
    lastXError = 0;
    Window window = None;
    int revert = 0;
    XGetInputFocus(m_display, &window, &revert);
    const Window root = DefaultRootWindow(m_display);
    // A window manager names the window it gave the focus to; without one, the focus itself.
    unsigned long count = 0;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    Atom type = None;
    int format = 0;
    if (XGetWindowProperty(m_display, root, XInternAtom(m_display, "_NET_ACTIVE_WINDOW", False),
                           0, 1, False, XA_WINDOW, &type, &format, &count, &after,
                           &data) == Success &&
        data != nullptr && count == 1 && format == 32) {
        const Window active = *reinterpret_cast<const Window*>(data);
        if (active != None) {
            window = active;
        }
    }
    if (data != nullptr) {
        XFree(data);
    }
    // The focus may sit on a child of the top-level window, which carries the names.
    while (window != None && window != PointerRoot && window != root) {
        XClassHint hint{};
        if (XGetClassHint(m_display, window, &hint) != 0) {
            FocusedWindow focused;
            focused.windowClass = QStringLiteral("%1.%2").arg(
                QString::fromLocal8Bit(hint.res_name), QString::fromLocal8Bit(hint.res_class));
            XFree(hint.res_name);
            XFree(hint.res_class);
            focused.title = textProperty(m_display, window, "_NET_WM_NAME", true);
            if (focused.title.isEmpty()) {
                focused.title = textProperty(m_display, window, "WM_NAME", false);
            }
            return focused;
        }
        Window parent = None;
        Window rootReturn = None;
        Window* children = nullptr;
        unsigned int childCount = 0;
        if (XQueryTree(m_display, window, &rootReturn, &parent, &children, &childCount) == 0) {
            break;
        }
        if (children != nullptr) {
            XFree(children);
        }
        window = parent;
    }
    return std::nullopt;
}

void X11Typer::releaseModifiers() {
    // A hotkey's Ctrl or Alt still held would turn the digits into shortcuts.
    char keys[32] = {};
    XQueryKeymap(m_display, keys);
    XModifierKeymap* modifiers = XGetModifierMapping(m_display);
    if (modifiers == nullptr) {
        return;
    }
    for (int i = 0; i < 8 * modifiers->max_keypermod; ++i) {
        const KeyCode code = modifiers->modifiermap[i];
        const bool lockRow = i / modifiers->max_keypermod == LockMapIndex;
        if (code != 0 && !lockRow && (keys[code / 8] & (1 << (code % 8))) != 0) {
            XTestFakeKeyEvent(m_display, code, False, CurrentTime);
        }
    }
    XFreeModifiermap(modifiers);
}

unsigned char X11Typer::spareKeycodeFor(unsigned long keysym) {
    for (const auto& [code, held] : m_lent) {
        if (held == keysym) {
            return code;
        }
    }
    int least = 0;
    int most = 0;
    XDisplayKeycodes(m_display, &least, &most);
    int perCode = 0;
    KeySym* syms = XGetKeyboardMapping(m_display, static_cast<KeyCode>(least), most - least + 1,
                                       &perCode);
    unsigned char spare = 0;
    // From the top down: the highest keycodes are the least likely on a real keyboard.
    for (int code = most; code >= least && spare == 0; --code) {
        if (m_lent.contains(static_cast<unsigned char>(code))) {
            continue;
        }
        bool empty = true;
        for (int i = 0; i < perCode; ++i) {
            empty = empty && syms[(code - least) * perCode + i] == NoSymbol;
        }
        if (empty) {
            spare = static_cast<unsigned char>(code);
        }
    }
    XFree(syms);
    if (spare == 0 && !m_lent.empty()) {
        // All lent already: the oldest mapping is surely read by now.
        spare = m_lent.begin()->first;
    }
    if (spare != 0) {
        KeySym both[2] = {keysym, keysym};
        XChangeKeyboardMapping(m_display, spare, 2, both, 1);
        m_lent[spare] = keysym;
    }
    return spare;
}

void X11Typer::giveBackSpares() {
    for (const auto& [code, keysym] : m_lent) {
        (void)keysym;
        KeySym none[2] = {NoSymbol, NoSymbol};
        XChangeKeyboardMapping(m_display, code, 2, none, 1);
    }
    m_lent.clear();
    XSync(m_display, False);
}

bool X11Typer::typeKeysym(unsigned long keysym, QString& error) {
    // The key and the Shift that give the keysym in the group and with the locks (Caps Lock,
    // Num Lock) as they are now.
    XkbStateRec state{};
    XkbGetState(m_display, XkbUseCoreKbd, &state);
    XkbDescPtr keyboard = XkbGetMap(m_display, XkbAllClientInfoMask, XkbUseCoreKbd);
    if (keyboard == nullptr) {
        error = QStringLiteral("cannot read the X keyboard's layout");
        return false;
    }
    const unsigned int locks = state.locked_mods & (LockMask | Mod2Mask);
    KeyCode found = 0;
    bool shift = false;
    for (int code = keyboard->min_key_code; code <= keyboard->max_key_code && found == 0; ++code) {
        for (const bool withShift : {false, true}) {
            unsigned int used = 0;
            KeySym result = NoSymbol;
            const unsigned int mods = XkbBuildCoreState(locks | (withShift ? ShiftMask : 0U),
                                                        state.group);
            if (found == 0 &&
                XkbTranslateKeyCode(keyboard, static_cast<KeyCode>(code), mods, &used, &result) &&
                result == keysym) {
                found = static_cast<KeyCode>(code);
                shift = withShift;
            }
        }
    }
    XkbFreeKeyboard(keyboard, XkbAllComponentsMask, True);
    if (found == 0) {
        found = spareKeycodeFor(keysym);
        shift = false;
        if (found == 0) {
            error = QStringLiteral("no key gives %1 and no spare key is free")
                        .arg(QString::fromLatin1(XKeysymToString(keysym)));
            return false;
        }
    }
    const KeyCode shiftCode = XKeysymToKeycode(m_display, XK_Shift_L);
    if (shift && shiftCode != 0) {
        XTestFakeKeyEvent(m_display, shiftCode, True, CurrentTime);
    }
    XTestFakeKeyEvent(m_display, found, True, CurrentTime);
    XTestFakeKeyEvent(m_display, found, False, CurrentTime);
    if (shift && shiftCode != 0) {
        XTestFakeKeyEvent(m_display, shiftCode, False, CurrentTime);
    }
    return true;
}

bool X11Typer::type(const TypeStep& step, QString& error) {
    releaseModifiers();
    bool done = true;
    for (const std::uint32_t keysym : keysymsOf(step)) {
        if (!(done = typeKeysym(keysym, error))) {
            break;
        }
    }
    XSync(m_display, False);
    if (!m_lent.empty()) {
        m_giveBack.start();
    }
    readEvents();
    return done;
}

void X11Typer::bell() {
    XBell(m_display, 0);
    XFlush(m_display);
}

bool X11Typer::grabHotkey(const QString& key, std::function<void()> pressed, QString& error) {
    const auto hotkey = parseHotkey(key, error);
    if (!hotkey) {
        return false;
    }
    static constexpr std::pair<unsigned, unsigned int> kMasks[] = {
        {HotkeyName::Ctrl, ControlMask},
        {HotkeyName::Alt, Mod1Mask},
        {HotkeyName::Shift, ShiftMask},
        {HotkeyName::Super, Mod4Mask}};
    unsigned int modifiers = 0;
    for (const auto& [modifier, mask] : kMasks) {
        if ((hotkey->modifiers & modifier) != 0) {
            modifiers |= mask;
        }
    }
    const KeySym keysym = hotkey->keysym;
    const KeyCode code = XKeysymToKeycode(m_display, keysym);
    if (code == 0) {
        error = QStringLiteral("--type-hotkey '%1': this keyboard has no %2 key")
                    .arg(key, key.section(QLatin1Char('+'), -1).trimmed());
        return false;
    }
    lastXError = 0;
    const Window root = DefaultRootWindow(m_display);
    // The same key whatever Caps Lock and Num Lock say.
    for (const unsigned int locks : {0U, unsigned{LockMask}, unsigned{Mod2Mask},
                                     unsigned{LockMask | Mod2Mask}}) {
        XGrabKey(m_display, code, modifiers | locks, root, False, GrabModeAsync, GrabModeAsync);
    }
    XSync(m_display, False);
    if (lastXError != 0) {
        error = QStringLiteral("--type-hotkey '%1' is taken by another program").arg(key);
        return false;
    }
    m_hotkeyCode = code;
    m_hotkeyPressed = std::move(pressed);
    return true;
}

void X11Typer::readEvents() {
    while (XPending(m_display) > 0) {
        XEvent event;
        XNextEvent(m_display, &event);
        // On its release, so that the hotkey's own key is up before anything is typed.
        if (event.type == KeyRelease && event.xkey.keycode == m_hotkeyCode && m_hotkeyPressed) {
            m_hotkeyPressed();
        }
    }
}

}  // namespace scaleread
