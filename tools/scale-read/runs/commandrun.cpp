// One command to one indicator: sent once, its result printed as one record.
#include <QCoreApplication>

#include "app/serial/qtserialcontrol.h"
#include "app/timers/qttimercontrol.h"
#include "tools/scale-read/ports/openfailure.h"
#include "tools/scale-read/records/recordoutput.h"
#include "tools/scale-read/runs/runs.h"
#include "tools/scale-read/stations/stationreader.h"

namespace scaleread {

int sendCommand(const ReaderOptions& options, const std::function<void(Stopper)>& setStopper) {
    const CommandKind kind = *options.command;
    RecordFormatter formatter(options.format, false, options.localTime);
    const RecordSource source{options.port.toStdString(), std::string(options.rules.format->name),
                              {}};
    SystemClock clock;
    const auto print = [&](CommandResult result, const std::string& text) {
        std::string out;
        if (options.format == OutputFormat::Csv && startsNewOutput(stdout)) {
            out = "time,port,protocol,command,result,text\n";
        }
        formatter.appendCommand(out, source, clock.utcMillis(), commandName(kind),
                                resultName(result), text);
        std::fputs(out.c_str(), stdout);
        std::fflush(stdout);
        return result == CommandResult::Done ? 0 : 1;
    };
    // Nothing goes out, not even the port's opening, for a command the format does not have.
    if (commandOf(*options.rules.format, kind) == nullptr) {
        return print(CommandResult::Unsupported, {});
    }

    scale::QtSerialControl comm(portsFolder());
    if (!options.devicePath.isEmpty()) {
        comm.setFixedDevice(options.devicePath);
    }
    (void)comm.setCommPort(static_cast<std::int16_t>(options.commPort));
    (void)comm.setSettings(options.settings);
    if (!comm.setPortOpen(true)) {
        note(openFailureText(options.port, comm.deviceName(options.commPort), comm.openFailure()));
        return 1;
    }
    scale::QtTimerControl pollTimer;
    scale::QtTimerControl watchTimer;
    scale::QtTimerControl commandTimer;
    ReadingRules rules = options.rules;
    StationReader reader(comm, pollTimer, watchTimer, clock, rules, hostDecimalSeparator());
    reader.setCommandTimer(commandTimer);
    if (!reader.start()) {
        note(QStringLiteral("cannot read %1").arg(options.port));
        return 1;
    }
    int status = 1;
    bool ended = false;
    setStopper([&](int) {
        // Interrupted before an answer: nothing is printed, as nothing is known.
        ended = true;
        QCoreApplication::exit(1);
    });
    reader.sendCommand(kind, [&](CommandResult result, const std::string& text) {
        if (!ended) {
            ended = true;
            status = print(result, text);
            QCoreApplication::exit(status);
        }
    });
    if (!ended) {
        QCoreApplication::exec();
    }
    return status;
}

}  // namespace scaleread
