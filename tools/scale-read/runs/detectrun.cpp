// Finding an unknown indicator's line settings and protocol.
#include <QCoreApplication>
#include <QMap>
#include <cstdio>

#include "app/serial/qtserialcontrol.h"
#include "app/timers/qttimercontrol.h"
#include "device/network/networkline.h"
#include "protocols/stream/formattable.h"
#include "tools/scale-read/detect/detector.h"
#include "tools/scale-read/ports/openfailure.h"
#include "tools/scale-read/runs/runs.h"

namespace scaleread {
namespace {

// Raw TCP carries the bytes at the device server's own settings, which cannot be set from here:
// only the formats are tried, at one setting that stands for all.
std::vector<DetectionCandidate> candidatesFor(const QString& devicePath) {
    const auto network = scale::parseNetworkLine(devicePath.toStdString());
    if (network && network->kind == scale::NetworkKind::Tcp) {
        return {{QStringLiteral("9600,N,8,1"), QStringLiteral("8N1")}};
    }
    return detectionCandidates();
}

}  // namespace

int detectSettings(const ReaderOptions& options, const std::function<void(Stopper)>& setStopper) {
    scale::QtSerialControl comm(portsFolder());
    if (!options.devicePath.isEmpty()) {
        comm.setFixedDevice(options.devicePath);
    }
    if (!comm.setCommPort(static_cast<std::int16_t>(options.commPort)) ||
        !comm.setSettings(QStringLiteral("9600,N,8,1")) || !comm.setPortOpen(true)) {
        note(openFailureText(options.port, comm.deviceName(options.commPort), comm.openFailure()));
        return 1;
    }
    const QString label = portLabel(options.port, comm.deviceName(options.commPort));
    // What the sweep does and skips are notes, which --quiet leaves out.
    const auto inform = [&options](const QString& text) {
        if (!options.quiet) {
            note(text);
        }
    };
    inform(QStringLiteral("listening on %1 at each setting for up to %2 s")
               .arg(label)
               .arg(Detector::kSweepMillis / 1000 + 2));

    SystemClock clock;
    scale::QtTimerControl dwellTimer;
    scale::QtTimerControl requestTimer;
    // Every format the reader knows, the users' too, on the same bytes.
    Detector detector(comm, dwellTimer, requestTimer, clock, candidatesFor(options.devicePath),
                      options.catalog->formats());
    // One note for each framing and reason, not one for each of thirteen rates.
    QMap<QString, QStringList> skipped;
    QStringList skipOrder;
    detector.setOnSkip([&](const DetectionCandidate& candidate, const QString& reason) {
        const QString key = candidate.framing + QStringLiteral(": ") + reason;
        if (!skipped.contains(key)) {
            skipOrder << key;
        }
        skipped[key] << candidate.settings.section(QLatin1Char(','), 0, 0);
    });
    int status = 1;
    bool interrupted = false;
    detector.setOnFinished([&] {
        for (const QString& key : skipOrder) {
            const QString framing = key.section(QStringLiteral(": "), 0, 0);
            const QString reason = key.section(QStringLiteral(": "), 1);
            const QStringList& bauds = skipped[key];
            inform(QStringLiteral("skipped %1 at %2: %3")
                       .arg(framing,
                            bauds.size() == 13
                                ? QStringLiteral("every baud")
                                : bauds.join(QLatin1Char(' ')) + QStringLiteral(" baud"),
                            reason));
        }
        const int listened = detector.listened();
        const QString settings = listened == 1 ? QStringLiteral("1 setting")
                                               : QStringLiteral("%1 settings").arg(listened);
        inform(QString::fromLatin1(interrupted ? "interrupted after %2 s, at %1"
                                               : "listened at %1 in %2 s")
                   .arg(settings)
                   .arg(static_cast<double>(detector.elapsedMillis()) / 1000.0, 0, 'f', 1));
        // Stopped by the user, the run ends as the help says a signal ends it, with what was
        // heard so far.
        std::vector<DetectionScore> ranked = detector.scores();
        rankScores(ranked);
        const auto found = foundScore(ranked);
        status = found || interrupted ? 0 : 1;
        // What to paste: a user's format needs the file that describes it.
        std::string suffix;
        if (found && !scale::builtinFormat(found->format) && !options.formatsPath.isEmpty()) {
            suffix = " --formats " + options.formatsPath.toStdString();
        }
        std::string report = detectionReport(detector.scores(), detector.heard(), suffix);
        if (found && !options.stationLine.isEmpty()) {
            report += QStringLiteral("%1=%2,%3,%4\n")
                          .arg(options.stationLine, options.port, found->settings,
                               QString::fromStdString(found->format))
                          .toStdString();
        }
        std::fputs(report.c_str(), stdout);
        std::fflush(stdout);
        QCoreApplication::exit(status);
    });
    setStopper([&](int) {
        interrupted = true;
        detector.stop();
    });
    detector.start();
    if (!detector.finished()) {
        QCoreApplication::exec();
    }
    return status;
}

}  // namespace scaleread
