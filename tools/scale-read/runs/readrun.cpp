// Reading ports live until the run ends: one port, or several stations on this one thread, each
// written locally and, with --mqtt, published.
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QTimer>
#include <cerrno>
#include <cstring>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "app/datafolder.h"
#include "app/qtserialcontrol.h"
#include "app/qttimercontrol.h"
#include "tools/scale-read/filelimit.h"
#include "tools/scale-read/http/httpservice.h"
#include "tools/scale-read/mqtt/brokernotes.h"
#include "tools/scale-read/mqtt/clientkey.h"
#include "tools/scale-read/mqtt/commandpayload.h"
#include "tools/scale-read/mqtt/mqttstation.h"
#include "tools/scale-read/ports/openfailure.h"
#include "tools/scale-read/records/linerecorder.h"
#include "tools/scale-read/records/recordoutput.h"
#include "tools/scale-read/runs/runs.h"
#include "tools/scale-read/serve/serveoutlet.h"
#include "tools/scale-read/stations/stationreader.h"

namespace scaleread {
namespace {

constexpr int kRetryOpenMillis = 2000;

// A single --port published to a broker needs a topic level: "Com1", or the device's name.
QString stationNameFor(const QString& port) {
    QString name = QFileInfo(port).fileName();
    for (QChar& c : name) {
        if (!c.isLetterOrNumber() && c != QLatin1Char('_') && c != QLatin1Char('-') &&
            c != QLatin1Char('.')) {
            c = QLatin1Char('_');
        }
    }
    return name.isEmpty() ? QStringLiteral("scale") : name;
}

// Everything one station needs, on this thread.
struct Station {
    StationConfig config;
    std::unique_ptr<scale::QtSerialControl> comm;
    scale::QtTimerControl pollTimer;
    scale::QtTimerControl watchTimer;
    scale::QtTimerControl commandTimer;
    std::unique_ptr<StationReader> reader;
    RecordSource source;
    RecordSource mqttSource;  // the same with the station key, which a broker's records carry
    std::unique_ptr<RecordFilter> filter;
    std::unique_ptr<MqttStation> mqtt;
    QTimer retryOpen;
    QTimer giveUp;
    QString label;
    bool abandoned = false;
    // Refused command messages are noted once each way: a flood of them must not flood the log.
    bool retainedTold = false;
    bool refusalTold = false;
};

// "Com1 (/dev/ttyUSB0)", or with several stations "station gate (Com1 (/dev/ttyUSB0))".
QString labelOf(const Station& station, bool several) {
    const QString port =
        portLabel(station.config.port, station.comm->deviceName(station.config.commPort));
    return several ? QStringLiteral("station %1 (%2)").arg(station.config.name, port) : port;
}

// A command from the broker's command topic, its result published back with the request's id.
// A retained one is refused: it is what the broker kept from before, and would run at every
// start and reconnection (a restart would tare the scale).
void commandFromBroker(Station& station, const std::string& message, bool retained,
                       const Clock& clock) {
    const auto publish = [&station, &clock](std::string_view command, std::string_view result,
                                            const std::string& text, const std::string& id) {
        RecordFormatter json(OutputFormat::Jsonl, false);
        std::string payload;
        json.appendCommand(payload, station.mqttSource, clock.utcMillis(), command, result, text,
                           id);
        payload.pop_back();  // the line end
        if (station.mqtt) {
            station.mqtt->publishCommandResult(payload);
        }
    };
    const auto request = readCommandPayload(message);
    if (const auto* problem = std::get_if<PayloadProblem>(&request)) {
        if (!std::exchange(station.refusalTold, true)) {
            note(QStringLiteral("station %1: a command message refused: %2 (further ones are "
                                "told only in their results)")
                     .arg(station.config.name, QString::fromStdString(problem->text)));
        }
        // The command as the message named it, or nothing.
        const std::string command =
            problem->commandJson.size() >= 2 && problem->commandJson.front() == '"'
                ? problem->commandJson.substr(1, problem->commandJson.size() - 2)
                : std::string();
        publish(command, resultName(problem->result), problem->text, problem->idJson);
        return;
    }
    const auto& asked = std::get<CommandPayload>(request);
    if (retained) {
        if (!std::exchange(station.retainedTold, true)) {
            note(QStringLiteral("station %1: a retained message on the command topic is ignored; "
                                "commands must be sent without the retain flag (clear it by "
                                "publishing an empty retained message there)")
                     .arg(station.config.name));
        }
        publish(commandName(asked.kind), resultName(CommandResult::Refused),
                "a retained message is not taken as a command", asked.idJson);
        return;
    }
    station.reader->sendCommand(
        asked.kind, [publish, asked](CommandResult result, const std::string& text) {
            publish(commandName(asked.kind), resultName(result), text, asked.idJson);
        });
}

// The run's stations as the outlets command them.
class RunStations : public StationControl {
public:
    explicit RunStations(const std::vector<std::unique_ptr<Station>>& stations)
        : m_stations(stations) {}
    std::size_t stationCount() const override { return m_stations.size(); }
    const RecordSource& source(std::size_t station) const override {
        return m_stations[station]->mqttSource;
    }
    const scale::FormatDescription& format(std::size_t station) const override {
        return *m_stations[station]->config.format;
    }
    StationReader::CommandId sendCommand(std::size_t station, CommandKind kind,
                                         StationReader::CommandHandler handler) override {
        return m_stations[station]->reader->sendCommand(kind, std::move(handler));
    }
    bool cancelCommand(std::size_t station, StationReader::CommandId id) override {
        return m_stations[station]->reader->cancelCommand(id);
    }

private:
    const std::vector<std::unique_ptr<Station>>& m_stations;
};

}  // namespace

int readPort(const ReaderOptions& options, const std::function<void(Stopper)>& setStopper) {
    // Ports, the broker and clients all take file descriptors; the usual 1024 runs out early.
    raiseFileLimit();
    const bool several = !options.stations.empty();
    std::vector<StationConfig> configs = options.stations;
    if (!several) {
        StationConfig single;
        single.name = stationNameFor(options.port);
        single.port = options.port;
        single.commPort = options.commPort;
        single.devicePath = options.devicePath;
        single.settings = options.settings;
        single.format = options.rules.format;
        configs.push_back(single);
    }

    // Local records: to --output, or to standard output unless the records go to a broker or
    // the HTTP service.
    std::unique_ptr<RecordSink> sink;
    RecordFormatter formatter(options.format, options.choice.errors, options.localTime);
    if ((!options.mqtt && !options.http) || !options.outputPath.isEmpty()) {
        std::FILE* out = openOutput(options.outputPath, options.format, formatter.header(several));
        if (out == nullptr) {
            return 1;
        }
        const bool header = options.format == OutputFormat::Csv && startsNewOutput(out);
        sink = std::make_unique<RecordSink>(out,
                                            options.outputPath.isEmpty()
                                                ? "standard output"
                                                : options.outputPath.toStdString(),
                                            true);
        if (header) {
            sink->buffer() += formatter.header(several);
            sink->commit();
        }
    }
    RecordFormatter payloads(OutputFormat::Jsonl, false);

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
    std::unique_ptr<LineRecorder> recorder;
    std::int64_t written = 0;
    // Made before the stations, whose broker connections report to it until they are gone.
    scale::QtTimerControl brokerNotesTimer;
    std::optional<BrokerNotes> brokerNotes;
    ClientKey clientKey;
    if (options.mqtt) {
        brokerNotes.emplace(brokerName(*options.mqtt), [](const QString& text) { note(text); },
                            brokerNotesTimer);
        clientKey = installationClientKey(scale::dataFolder(QCoreApplication::applicationDirPath()),
                                          randomClientKey);
        if (clientKey.problem) {
            note(*clientKey.problem);
        }
    }
    std::vector<std::unique_ptr<Station>> stations;
    for (const StationConfig& config : configs) {
        auto station = std::make_unique<Station>();
        station->config = config;
        station->comm = std::make_unique<scale::QtSerialControl>(portsFolder());
        if (!config.devicePath.isEmpty()) {
            station->comm->setFixedDevice(config.devicePath);
        }
        (void)station->comm->setCommPort(static_cast<std::int16_t>(config.commPort));
        (void)station->comm->setSettings(config.settings);
        station->label = labelOf(*station, several);
        ReadingRules rules = options.rules;
        rules.format = config.format;
        station->reader =
            std::make_unique<StationReader>(*station->comm, station->pollTimer, station->watchTimer,
                                            clock, rules, hostDecimalSeparator());
        // Every station can take a command; only the paths that were allowed give one.
        station->reader->setCommandTimer(station->commandTimer);
        station->source = {config.port.toStdString(), std::string(config.format->name),
                           several ? config.name.toStdString() : std::string()};
        station->mqttSource = station->source;
        station->mqttSource.station = config.name.toStdString();
        station->filter = std::make_unique<RecordFilter>(options.choice);
        stations.push_back(std::move(station));
    }

    // A recording in the way is refused before any port opens; the file itself is made once
    // the port is open, so that a port that fails leaves no empty one behind.
    const QString recordingExists =
        QStringLiteral("the recording %1 exists; give --overwrite to replace it, or another name")
            .arg(options.recordPath);
    if (!options.recordPath.isEmpty() && !options.overwrite &&
        QFileInfo(options.recordPath).exists()) {
        note(recordingExists);
        return 1;
    }

    std::unique_ptr<HttpService> http;
    if (options.http) {
        std::vector<HttpService::ServedStation> served;
        for (const auto& station : stations) {
            QStringList commands;
            for (const std::string_view name : commandNamesOf(*station->config.format)) {
                commands.append(QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size())));
            }
            served.push_back({station->mqttSource, commands});
        }
        // The same path as the broker's command topic: the station's reader sends it once.
        http = std::make_unique<HttpService>(
            *options.http, served, options.choice.errors, clock,
            [&stations](std::size_t index, const QString& command,
                        const HttpService::CommandDone& done) -> HttpService::CommandCancel {
                const auto kind = commandKindNamed(command.toStdString());
                if (!kind || index >= stations.size()) {
                    done(QStringLiteral("unsupported"), {});
                    return [] {};
                }
                StationReader* reader = stations[index]->reader.get();
                const StationReader::CommandId id = reader->sendCommand(
                    *kind, [done](CommandResult result, const std::string& text) {
                        const std::string_view name = resultName(result);
                        done(QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size())),
                             QString::fromStdString(text));
                    });
                return [reader, id] { (void)reader->cancelCommand(id); };
            },
            [](const QString& text) { note(text); });
        QString error;
        if (!http->start(error)) {
            note(error);
            return 1;
        }
    }

    RunStations runStations(stations);
    std::unique_ptr<ServeOutlet> served;
    if (!options.serve.empty()) {
        served = std::make_unique<ServeOutlet>(options.serve, runStations, options.serveCommands,
                                               clock, [](const QString& text) { note(text); });
        QString error;
        if (!served->start(error)) {
            note(error);
            return 1;
        }
    }

    std::string payload;
    for (auto& owned : stations) {
        Station& station = *owned;
        const auto index = static_cast<std::size_t>(&owned - stations.data());
        if (options.mqtt) {
            station.mqtt = std::make_unique<MqttStation>(*options.mqtt, station.config.name,
                                                         clientKey.key, *brokerNotes,
                                                         [](const QString& text) { note(text); });
            if (options.mqtt->commandsAllowed) {
                station.mqtt->setOnCommand(
                    [&, s = &station](const std::string& message, bool retained) {
                        commandFromBroker(*s, message, retained, clock);
                    });
            }
            QString error;
            if (!station.mqtt->start(error)) {
                note(error);
                return 1;
            }
        }
        station.reader->setOnFrame([&, s = &station, index](std::int64_t utc,
                                                     const scale::StreamFrame& frame, bool stable,
                                                     bool became) {
            if (http && !ending) {
                http->frame(index, utc, frame, stable, became);
            }
            if (served && !ending) {
                served->frame(index, frame, stable);
            }
            if (ending || !s->filter->wants(frame, became)) {
                return;
            }
            const bool reading = frame.error == scale::FrameError::None;
            if (sink) {
                formatter.appendRecord(sink->buffer(), s->source, utc, frame, stable);
                sink->commit();
                if (sink->stopped()) {
                    end(sink->failure().empty() ? 0 : 1);
                    return;
                }
            }
            if (s->mqtt) {
                payload.clear();
                payloads.appendRecord(payload, s->mqttSource, utc, frame, stable);
                payload.pop_back();  // the line end
                s->mqtt->publishReading(payload);
                if (reading && became) {
                    s->mqtt->publishStable(payload);
                }
            }
            // --count counts records, error records under --errors too.
            if (options.count && ++written >= *options.count) {
                end(0);
            }
        });

        if (!options.quiet) {
            station.reader->setOnNote([&, s = &station](const QString& text) {
                note(several ? QStringLiteral("station %1: %2").arg(s->config.name, text) : text);
            });
        }
        station.giveUp.setSingleShot(true);
        QObject::connect(&station.giveUp, &QTimer::timeout, [&, s = &station, index] {
            note(QStringLiteral("%1 did not come back within %2 s")
                     .arg(s->label)
                     .arg(*options.reconnectTimeoutMs / 1000));
            if (!several) {
                end(1);
                return;
            }
            note(QStringLiteral("%1 is no longer read").arg(s->label));
            (void)s->comm->setPortOpen(false);  // ends the watch
            if (http) {
                http->setPort(index, StationBoard::Port::Lost,
                              QStringLiteral("%1 did not come back; it is no longer read")
                                  .arg(portLabel(s->config.port,
                                                 s->comm->deviceName(s->config.commPort))));
            }
            s->abandoned = true;
            if (std::all_of(stations.begin(), stations.end(),
                            [](const auto& other) { return other->abandoned; })) {
                end(1);
            }
        });
        station.reader->setOnLineEvent([&, s = &station, index](scale::SerialControl::LineEvent event) {
            const bool lost = event == scale::SerialControl::LineEvent::Lost;
            if (lost) {
                note(QStringLiteral("%1 is gone; waiting for it to come back").arg(s->label));
                if (options.reconnectTimeoutMs) {
                    s->giveUp.start(static_cast<int>(
                        *options.reconnectTimeoutMs));
                }
            } else {
                s->giveUp.stop();
                // "ComN" may reach another device now (a new pseudo-terminal behind its link).
                s->label = labelOf(*s, several);
                note(QStringLiteral("%1 is back; reading again").arg(s->label));
            }
            if (s->mqtt) {
                s->mqtt->setPortPresent(!lost);
            }
            if (served) {
                served->portChanged(index, lost ? PortState::Lost : PortState::Open, {});
            }
            if (http) {
                // The board names the station already: the port alone.
                http->setPort(index, lost ? StationBoard::Port::Lost : StationBoard::Port::Open,
                              QStringLiteral("%1 is gone; waiting for it to come back")
                                  .arg(portLabel(s->config.port,
                                                 s->comm->deviceName(s->config.commPort))));
            }
        });

        const auto openFailure = [](const Station& s) {
            return openFailureText(s.config.port, s.comm->deviceName(s.config.commPort),
                                   s.comm->openFailure());
        };
        if (!station.comm->setPortOpen(true)) {
            note(openFailure(station) +
                 (several ? QStringLiteral(" (station %1; trying again every %2 s)")
                                .arg(station.config.name)
                                .arg(kRetryOpenMillis / 1000)
                          : QString()));
            if (!several) {
                return 1;
            }
            // One station that does not open never stops the others: it is tried again.
            if (station.mqtt) {
                station.mqtt->setPortPresent(false);
            }
            if (http) {
                http->setPort(index, StationBoard::Port::NotOpen, openFailure(station));
            }
            station.retryOpen.setInterval(kRetryOpenMillis);
            QObject::connect(&station.retryOpen, &QTimer::timeout,
                             [&, s = &station, index, openFailure] {
                if (!s->comm->setPortOpen(true)) {
                    // The words may change: the device comes, but without permission.
                    if (http) {
                        http->setPort(index, StationBoard::Port::NotOpen, openFailure(*s));
                    }
                } else {
                    s->retryOpen.stop();
                    note(QStringLiteral("%1 is open; reading").arg(s->label));
                    (void)s->reader->start();
                    if (http) {
                        http->setPort(index, StationBoard::Port::Open);
                    }
                    if (s->mqtt) {
                        s->mqtt->setPortPresent(true);
                    }
                }
            });
            station.retryOpen.start();
            continue;
        }
        if (!station.reader->start()) {
            note(QStringLiteral("cannot read %1").arg(station.label));
            return 1;
        }
        if (!options.quiet) {
            note(QStringLiteral("reading %1 at %2, protocol %3")
                     .arg(station.label, station.config.settings,
                          QString::fromUtf8(station.config.format->name.data(),
                                            static_cast<qsizetype>(
                                                station.config.format->name.size()))));
        }
        if (http) {
            http->setPort(index, StationBoard::Port::Open);
        }
    }

    if (!options.recordPath.isEmpty()) {
        std::FILE* file = std::fopen(QFile::encodeName(options.recordPath).constData(),
                                     options.overwrite ? "w" : "wx");
        if (file == nullptr) {
            note(errno == EEXIST ? recordingExists
                                 : QStringLiteral("cannot open %1 for the recording: %2")
                                       .arg(options.recordPath, systemReason(errno)));
            return 1;
        }
        recorder = std::make_unique<LineRecorder>(
            file, options.recordPath.toStdString(),
            scale::RecordingHeader{options.port.toStdString(), options.settings.toStdString(),
                                   std::string(options.rules.format->name),
                                   {},
                                   {}});
        stations.front()->reader->setOnRead(
            [&](std::int64_t steady, std::span<const std::uint8_t> bytes) {
                if (!recorder->write(steady, clock.utcMillis(), bytes)) {
                    note(QString::fromStdString(recorder->failure()));
                    end(1);
                }
            });
    }
    if (options.durationMs) {
        QTimer::singleShot(std::chrono::milliseconds(*options.durationMs), Qt::PreciseTimer,
                           [&] { end(0); });
    }
    QCoreApplication::exec();
    for (auto& station : stations) {
        if (!station->abandoned) {
            station->reader->finish();
        }
    }
    if (sink) {
        sink->finish();
        if (!sink->failure().empty()) {
            note(QString::fromStdString(sink->failure()));
            return 1;
        }
    }
    return status;
}

}  // namespace scaleread
