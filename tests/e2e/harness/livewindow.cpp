#include "tests/e2e/harness/livewindow.h"

#include <time.h>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTimer>

namespace scale::test {

// The host's own serial ports stay out of it: a port with no link reaches nothing, whatever this
// machine has plugged in.
LiveWindow::LiveWindow()
    : comm(m_folder.path() + QStringLiteral("/ports"), [] { return QStringList(); }) {
    QDir(m_folder.path()).mkpath(QStringLiteral("ports"));
}

void LiveWindow::writeSettings(int baudPosition, int mode) {
    QFile file(m_folder.path() + QStringLiteral("/Setting.ini"));
    if (file.open(QIODevice::WriteOnly)) {
        file.write("0\r\n" + QByteArray::number(baudPosition) + "\r\n2\r\n0\r\n0\r\n" +
                   QByteArray::number(mode) + "\r\n");
    }
}

void LiveWindow::start() {
    form = std::make_unique<Form1>(window, comm, timer1, timer3, m_folder.path());
    QObject::connect(&window, &MainWindow::applyClicked, [this] { form->Command1_Click(); });
    form->Form_Load();
    window.show();
}

bool LiveWindow::waitFor(const std::function<bool()>& done, int milliseconds) {
    // An event loop that looks every 5 ms: the program's own events run in between, and the
    // test itself never spins.
    // What was seen counts: a condition that holds for a moment (a device held, then let go)
    // is not asked again.
    QEventLoop loop;
    QTimer check;
    QElapsedTimer clock;
    clock.start();
    bool met = done();
    QObject::connect(&check, &QTimer::timeout, &loop, [&] {
        met = done();
        if (met || clock.elapsed() >= milliseconds) {
            loop.quit();
        }
    });
    check.start(5);
    if (!met) {
        loop.exec();
    }
    return met || done();
}

void LiveWindow::pump(int milliseconds) {
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
}

}  // namespace scale::test

namespace scale::test {

double LiveWindow::processCpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

}  // namespace scale::test
