#include "ui/windowstart.h"

#include <QString>
#include <QtGlobal>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace scale {
namespace {

constexpr const char* kHelp =
    "usage: scale-readout [QT-OPTIONS]\n"
    "Reads a weighing indicator over a serial line and shows its weight in a window.\n"
    "\n"
    "  --help      this text\n"
    "  --version   the version\n"
    "\n"
    "The Qt toolkit's options are taken too, among them -platform NAME, -display DISPLAY and\n"
    "-geometry WxH+X+Y. See man scale-readout.\n";

struct HeldMessage {
    QtMsgType type;
    int line;
    std::string category;
    std::string file;
    std::string function;
    QString text;
};

QtMessageHandler g_previous = nullptr;
std::vector<HeldMessage>* g_held = nullptr;

void holdMessage(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (type == QtFatalMsg) {
        const char* display = std::getenv("DISPLAY");
        const char* wayland = std::getenv("WAYLAND_DISPLAY");
        const bool none = (display == nullptr || *display == '\0') &&
                          (wayland == nullptr || *wayland == '\0');
        if (none) {
            std::fputs("scale-readout: no display to show the window on (DISPLAY and "
                       "WAYLAND_DISPLAY are not set); start it in a desktop session, or under "
                       "xvfb-run\n",
                       stderr);
        } else {
            std::fprintf(stderr, "scale-readout: the window system cannot be reached (%s): %s\n",
                         display != nullptr && *display != '\0' ? "DISPLAY" : "WAYLAND_DISPLAY",
                         text.section(QLatin1Char('\n'), 0, 0).toLocal8Bit().constData());
        }
        std::fflush(stderr);
        std::_Exit(1);
    }
    // Copied, so that the context's texts outlive the call.
    g_held->push_back({type, context.line, context.category ? context.category : "",
                       context.file ? context.file : "",
                       context.function ? context.function : "", text});
}

}  // namespace

std::optional<int> answerInfoOption(int argc, char* argv[]) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0) {
            std::fputs(kHelp, stdout);
            return 0;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("scale-readout %s\n", SCALE_READOUT_VERSION);
            return 0;
        }
    }
    return std::nullopt;
}

DisplayGuard::DisplayGuard() {
    g_held = new std::vector<HeldMessage>();
    g_previous = qInstallMessageHandler(holdMessage);
}

DisplayGuard::~DisplayGuard() {
    qInstallMessageHandler(g_previous);
    for (HeldMessage& held : *g_held) {
        const QMessageLogContext context(held.file.c_str(), held.line,
                                         held.function.c_str(), held.category.c_str());
        if (g_previous != nullptr) {
            g_previous(held.type, context, held.text);
        } else {
            qt_message_output(held.type, context, held.text);
        }
    }
    delete g_held;
    g_held = nullptr;
}

}  // namespace scale
