// A window that records what the keyboard types into it, for the typing tests: each key's text
// appended to a file as it comes (Enter as a line end, Tab as a tab, Esc as "<Esc>"). It says
// "focused TITLE" on standard output when it has the keyboard's focus, and takes "focus" on
// standard input to take it. With TYPE_TARGET_TIMES set it also says "key SECONDS TEXT" for
// each key, SECONDS on the monotonic clock, for the typing benchmark.
#include <QApplication>
#include <QFile>
#include <QKeyEvent>
#include <QSocketNotifier>
#include <QWidget>
#include <cstdio>
#include <ctime>
#include <unistd.h>

// In a file of its own: Xlib's macros (KeyPress, None) clash with Qt's names.
void takeFocus(Display* display, unsigned long window);

namespace {

class Recorder : public QWidget {
public:
    Recorder(const QString& path, const QString& title) : m_file(path) {
        (void)m_file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered);
        setWindowTitle(title);
        setFocusPolicy(Qt::StrongFocus);
        resize(320, 80);
    }

protected:
    bool event(QEvent* event) override {
        if (event->type() == QEvent::KeyPress) {
            const auto* key = static_cast<QKeyEvent*>(event);
            QString text = key->text();
            switch (key->key()) {
                case Qt::Key_Return:
                case Qt::Key_Enter: text = QStringLiteral("\n"); break;
                case Qt::Key_Tab: text = QStringLiteral("\t"); break;
                case Qt::Key_Escape: text = QStringLiteral("<Esc>"); break;
                default: break;
            }
            if (!text.isEmpty()) {
                (void)m_file.write(text.toUtf8());
                if (m_times) {
                    timespec now{};
                    clock_gettime(CLOCK_MONOTONIC, &now);
                    std::printf("key %lld.%06ld %s\n", static_cast<long long>(now.tv_sec),
                                now.tv_nsec / 1000, text == QLatin1String("\n") ? "Enter"
                                                                                : text.toUtf8().constData());
                    std::fflush(stdout);
                }
            }
            return true;
        }
        if (event->type() == QEvent::WindowActivate) {
            std::printf("focused %s\n", windowTitle().toUtf8().constData());
            std::fflush(stdout);
        }
        return QWidget::event(event);
    }

private:
    QFile m_file;
    bool m_times = qEnvironmentVariableIsSet("TYPE_TARGET_TIMES");
};

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const QStringList args = QApplication::arguments();
    if (args.size() != 3) {
        std::fprintf(stderr, "usage: type-target FILE TITLE\n");
        return 2;
    }
    Recorder window(args[1], args[2]);
    window.show();
    window.activateWindow();
    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, [&] {
        char buffer[256];
        const ssize_t length = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (length <= 0) {
            QApplication::quit();
            return;
        }
        // Straight to the server with the current time: without a window manager, Qt's own
        // request carries the time of its last event, older than the other window's focus,
        // and the server ignores it.
        takeFocus(qApp->nativeInterface<QNativeInterface::QX11Application>()->display(),
                  window.winId());
    });
    return QApplication::exec();
}
