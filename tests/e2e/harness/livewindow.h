#pragma once

#include <QStringList>
#include <QTemporaryDir>
#include <functional>
#include <memory>

#include "app/serial/qtserialcontrol.h"
#include "app/timers/qttimercontrol.h"
#include "app/window/form1.h"
#include "ui/mainwindow.h"

namespace scale::test {

// The main window that records message boxes instead of waiting for an operator.
class RecordingWindow : public MainWindow {
public:
    void showMessage(const QString& text) override { messages << text; }
    QStringList messages;
};

// The program as main() wires it, in a temporary program folder whose ports/Com1 the test links.
class LiveWindow {
    QTemporaryDir m_folder;  // first: the serial control is built with its ports folder

public:
    LiveWindow();

    QString folder() const { return m_folder.path(); }
    QString portLink() const { return m_folder.path() + QStringLiteral("/ports/Com1"); }
    // Writes Setting.ini selecting the given baud position and mode.
    void writeSettings(int baudPosition, int mode);
    // Form_Load, then the window shown.
    void start();
    // Runs the event loop until `done` holds or `milliseconds` pass; returns whether it held.
    static bool waitFor(const std::function<bool()>& done, int milliseconds);
    static void pump(int milliseconds);
    // CPU time this process has used so far, to tell an idle event loop from a spinning one.
    static double processCpuSeconds();

    RecordingWindow window;
    QtSerialControl comm;
    QtTimerControl timer1;
    QtTimerControl timer3;
    std::unique_ptr<Form1> form;
};

}  // namespace scale::test
