// Reading one port live until the run ends.
#include <QCoreApplication>
#include <QFile>
#include <QTimer>
#include <cerrno>
#include <cstring>
#include <memory>

#include "app/qtserialcontrol.h"
#include "app/qttimercontrol.h"
#include "tools/scale-read/linerecorder.h"
#include "tools/scale-read/openfailure.h"
#include "tools/scale-read/recordoutput.h"
#include "tools/scale-read/runs.h"
#include "tools/scale-read/stationreader.h"

namespace scaleread {
namespace {

bool isEmptyFile(std::FILE* file) {
    return file != stdout && std::fseek(file, 0, SEEK_END) == 0 && std::ftell(file) == 0;
}

}  // namespace

int readPort(const ReaderOptions& options, const std::function<void(Stopper)>& setStopper) {
    scale::QtSerialControl comm(portsFolder());
    if (!options.devicePath.isEmpty()) {
        comm.setFixedDevice(options.devicePath);
    }
    if (!comm.setCommPort(static_cast<std::int16_t>(options.commPort)) ||
        !comm.setSettings(options.settings) || !comm.setPortOpen(true)) {
        note(openFailureText(options.port, comm.deviceName(options.commPort), comm.openFailure()));
        return 1;
    }
    const QString label = portLabel(options.port, comm.deviceName(options.commPort));

    std::FILE* out = openOutput(options.outputPath);
    if (out == nullptr) {
        return 1;
    }
    const bool header = options.format == OutputFormat::Csv &&
                        (options.outputPath.isEmpty() || isEmptyFile(out));
    RecordFormatter formatter(options.format, options.choice.errors);
    auto sink = std::make_unique<RecordSink>(
        out, options.outputPath.isEmpty() ? "standard output" : options.outputPath.toStdString(),
        true);
    const std::string protocol(scale::protocolName(options.rules.protocol));
    StationOutput station({options.port.toStdString(), protocol, {}}, options.choice, formatter,
                          *sink);
    if (header) {
        sink->buffer() += formatter.header(false);
        sink->commit();
    }

    std::unique_ptr<LineRecorder> recorder;
    if (!options.recordPath.isEmpty()) {
        std::FILE* file = std::fopen(QFile::encodeName(options.recordPath).constData(), "w");
        if (file == nullptr) {
            note(QStringLiteral("cannot open %1 for the recording: %2")
                     .arg(options.recordPath, QString::fromLocal8Bit(std::strerror(errno))));
            return 1;
        }
        recorder = std::make_unique<LineRecorder>(
            file, options.recordPath.toStdString(),
            scale::RecordingHeader{options.port.toStdString(), options.settings.toStdString(),
                                   protocol, {}, {}});
    }

    int status = 0;
    bool ending = false;
    const auto end = [&](int code) {
        if (!ending) {
            ending = true;
            status = code;
            QCoreApplication::exit(code);
        }
    };
    setStopper(end);

    SystemClock clock;
    scale::QtTimerControl pollTimer;
    StationReader reader(comm, pollTimer, clock, options.rules, hostDecimalSeparator());
    std::int64_t written = 0;
    reader.setOnFrame([&](std::int64_t utc, const scale::StreamFrame& frame, bool stable,
                          bool became) {
        if (ending) {
            return;
        }
        if (station.frame(utc, frame, stable, became)) {
            ++written;
            if (options.count && written >= *options.count) {
                end(0);
            }
        }
        if (sink->stopped()) {
            end(sink->failure().empty() ? 0 : 1);
        }
    });
    if (recorder) {
        reader.setOnRead([&](std::int64_t steady, std::span<const std::uint8_t> bytes) {
            if (!recorder->write(steady, clock.utcMillis(), bytes)) {
                note(QString::fromStdString(recorder->failure()));
                end(1);
            }
        });
    }

    QTimer giveUp;
    giveUp.setSingleShot(true);
    QObject::connect(&giveUp, &QTimer::timeout, [&] {
        note(QStringLiteral("%1 did not come back within %2 s")
                 .arg(label)
                 .arg(*options.reconnectTimeoutMs / 1000));
        end(1);
    });
    reader.setOnLineEvent([&](scale::SerialControl::LineEvent event) {
        if (event == scale::SerialControl::LineEvent::Lost) {
            note(QStringLiteral("%1 is gone; waiting for it to come back").arg(label));
            if (options.reconnectTimeoutMs) {
                giveUp.start(static_cast<int>(std::min<std::int64_t>(*options.reconnectTimeoutMs,
                                                                     INT32_MAX)));
            }
        } else {
            giveUp.stop();
            note(QStringLiteral("%1 is back; reading again").arg(label));
        }
    });
    if (!reader.start()) {
        note(QStringLiteral("cannot read %1").arg(label));
        return 1;
    }
    if (options.durationMs) {
        QTimer::singleShot(std::chrono::milliseconds(*options.durationMs), [&] { end(0); });
    }
    QCoreApplication::exec();
    sink->finish();
    if (!sink->failure().empty()) {
        note(QString::fromStdString(sink->failure()));
        return 1;
    }
    return status;
}

}  // namespace scaleread
