// Presses keys through XTEST for the typing tests, as a person would: "press-key ctrl+F9" holds
// the modifiers, presses and releases the key, then releases the modifiers.
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr || argc != 2) {
        std::fprintf(stderr, "usage: press-key [ctrl+|alt+|shift+]KEY, with DISPLAY set\n");
        return 2;
    }
    std::vector<KeyCode> held;
    std::string rest = argv[1];
    for (std::size_t plus; (plus = rest.find('+')) != std::string::npos; rest.erase(0, plus + 1)) {
        const std::string name = rest.substr(0, plus);
        const KeySym modifier = name == "ctrl" ? XK_Control_L : name == "alt" ? XK_Alt_L : XK_Shift_L;
        held.push_back(XKeysymToKeycode(display, modifier));
    }
    const KeyCode key = XKeysymToKeycode(display, XStringToKeysym(rest.c_str()));
    if (key == 0) {
        std::fprintf(stderr, "press-key: no key %s\n", rest.c_str());
        return 1;
    }
    for (const KeyCode code : held) {
        XTestFakeKeyEvent(display, code, True, CurrentTime);
    }
    XTestFakeKeyEvent(display, key, True, CurrentTime);
    XTestFakeKeyEvent(display, key, False, CurrentTime);
    for (const KeyCode code : held) {
        XTestFakeKeyEvent(display, code, False, CurrentTime);
    }
    XSync(display, False);
    XCloseDisplay(display);
    return 0;
}
