// Reading ports live until the run ends: one port, or several stations on this one thread, each
// frame a record for the run's outlets (see runoutlets.cpp).
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QTimer>
#include <cerrno>
#include <memory>
#include <vector>

#include "tools/scale-read/engine/stationengine.h"
#include "tools/scale-read/engine/systemhost.h"
#include "tools/scale-read/filelimit.h"
#include "tools/scale-read/records/linerecorder.h"
#include "tools/scale-read/runs/runoutlets.h"
#include "tools/scale-read/runs/runs.h"

namespace scaleread {
namespace {

std::vector<StationConfig> stationsOf(const ReaderOptions& options) {
    if (!options.stations.empty()) {
        return options.stations;
    }
    return {singleStation(options.port, options.commPort, options.devicePath, options.settings,
                          options.rules.format)};
}

QString recordingExists(const ReaderOptions& options) {
    return QStringLiteral(
               "the recording %1 exists; give --overwrite to replace it, or another name")
        .arg(options.recordPath);
}

// --record: the first station's bytes as they come. The file is made once the ports are open, so
// that a port that fails leaves no empty one behind.
std::unique_ptr<LineRecorder> startRecording(const ReaderOptions& options, StationEngine& engine,
                                             const Clock& clock) {
    std::FILE* file = std::fopen(QFile::encodeName(options.recordPath).constData(),
                                 options.overwrite ? "w" : "wx");
    if (file == nullptr) {
        note(errno == EEXIST ? recordingExists(options)
                             : QStringLiteral("cannot open %1 for the recording: %2")
                                   .arg(options.recordPath, systemReason(errno)));
        return nullptr;
    }
    auto recorder = std::make_unique<LineRecorder>(
        file, options.recordPath.toStdString(),
        scale::RecordingHeader{options.port.toStdString(), options.settings.toStdString(),
                               std::string(options.rules.format->name),
                               {},
                               {}});
    engine.setOnRead(0, [recorder = recorder.get(), &engine, &clock](
                            std::int64_t steady, std::span<const std::uint8_t> bytes) {
        if (!recorder->write(steady, clock.utcMillis(), bytes)) {
            note(QString::fromStdString(recorder->failure()));
            engine.end(1);
        }
    });
    return recorder;
}

}  // namespace

int readPort(const ReaderOptions& options, const std::function<void(Stopper)>& setStopper) {
    // Ports, the broker and clients all take file descriptors; the usual 1024 runs out early.
    raiseFileLimit();
    // A recording in the way is refused before any port opens.
    if (!options.recordPath.isEmpty() && !options.overwrite &&
        QFileInfo(options.recordPath).exists()) {
        note(recordingExists(options));
        return 1;
    }
    SystemClock clock;
    EngineSettings settings{options.rules,         options.choice,
                            options.reconnectTimeoutMs, options.quiet,
                            !options.stations.empty(), hostDecimalSeparator()};
    StationEngine engine(stationsOf(options), settings,
                         systemHost(portsFolder(), clock, [](const QString& text) { note(text); },
                                    [](int status) { QCoreApplication::exit(status); }));
    setStopper([&engine](int status) { engine.end(status); });
    if (!addRunOutlets(options, engine, clock) || !engine.open()) {
        return 1;
    }
    std::unique_ptr<LineRecorder> recorder;
    if (!options.recordPath.isEmpty()) {
        recorder = startRecording(options, engine, clock);
        if (!recorder) {
            return 1;
        }
    }
    if (options.durationMs) {
        QTimer::singleShot(std::chrono::milliseconds(*options.durationMs), Qt::PreciseTimer,
                           [&engine] { engine.end(0); });
    }
    QCoreApplication::exec();
    return engine.finish() ? engine.status() : 1;
}

}  // namespace scaleread
