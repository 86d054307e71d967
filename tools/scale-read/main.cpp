// scale-read: reads weighing indicators on serial lines and writes every weight as a record.
#include <QCoreApplication>
#include <cstdio>

#include "app/settings/datafolder.h"
#include "tools/scale-read/cli/readeroptions.h"
#include "tools/scale-read/runs/runoutlets.h"
#include "tools/scale-read/runs/runs.h"
#include "tools/scale-read/runs/signalwatch.h"

int main(int argc, char* argv[]) {
    using namespace scaleread;
    Stopper stop;
    // Made before the application object, which may start threads that must not get the signals.
    SignalWatch endingSignals([&stop](int) {
        if (stop) {
            stop(0);
        }
    });
    // Qt's own event loop rather than GLib's. GLib wakes a loop through its wake-up descriptor
    // each time a socket notifier is switched on or off (twice for each client write), and after
    // a timer has fired it runs it behind every socket, so that a flood of connections can hold
    // it back. This program starts no other program and needs no GLib source.
    if (!qEnvironmentVariableIsSet("QT_NO_GLIB")) {
        qputenv("QT_NO_GLIB", "1");
    }
    QCoreApplication application(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("scale-read"));
    QCoreApplication::setApplicationVersion(QStringLiteral(SCALE_READOUT_VERSION));
    endingSignals.start();

    const ParsedOptions parsed = parseReaderOptions(
        QCoreApplication::arguments().mid(1),
        [](const char* name) { return qEnvironmentVariable(name); },
        scale::dataFolder(QCoreApplication::applicationDirPath()) + QStringLiteral("/formats"));
    if (std::holds_alternative<HelpRequested>(parsed)) {
        std::fputs(helpText().toLocal8Bit().constData(), stdout);
        return 0;
    }
    if (std::holds_alternative<VersionRequested>(parsed)) {
        std::printf("scale-read %s\n", SCALE_READOUT_VERSION);
        return 0;
    }
    if (const auto* error = std::get_if<UsageError>(&parsed)) {
        note(error->message + QStringLiteral(" (see ") + error->see + QStringLiteral(")"));
        return 2;
    }
    if (const auto* error = std::get_if<FileError>(&parsed)) {
        note(error->message);
        return 1;
    }
    const auto& options = std::get<ReaderOptions>(parsed);
    if (const QString missing = missingOutlet(options); !missing.isEmpty()) {
        note(missing);
        return 2;
    }
    // A CA file that will not do is a mistake on the command line, told before anything starts.
    if (options.mqtt && !options.mqtt->caFile.isEmpty()) {
        if (const auto problem = caFileProblem(options.mqtt->caFile)) {
            note(*problem + QStringLiteral(" (see --help)"));
            return 2;
        }
    }
    const auto setStopper = [&stop](Stopper stopper) { stop = std::move(stopper); };
    try {
        switch (options.task) {
            case ReaderOptions::Task::Read:
                return readPort(options, setStopper);
            case ReaderOptions::Task::Decode:
                return decodeRecording(options);
            case ReaderOptions::Task::Detect:
                return detectSettings(options, setStopper);
            case ReaderOptions::Task::Ports:
                return listHostPorts(options);
            case ReaderOptions::Task::Command:
                return sendCommand(options, setStopper);
        }
    } catch (const std::exception& failure) {
        note(QString::fromLocal8Bit(failure.what()));
    }
    return 1;
}
