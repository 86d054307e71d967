#include "tools/scale-read/engine/stationengine.h"

#include <algorithm>

#include "tools/scale-read/ports/openfailure.h"

namespace scaleread {
namespace {

constexpr int kRetryOpenMillis = 2000;

}  // namespace

// Everything one station needs, on this thread.
struct StationEngine::Station {
    StationConfig config;
    std::unique_ptr<scale::SerialControl> port;
    std::unique_ptr<scale::TimerControl> pollTimer;
    std::unique_ptr<scale::TimerControl> watchTimer;
    std::unique_ptr<scale::TimerControl> commandTimer;
    std::unique_ptr<scale::TimerControl> retryTimer;
    std::unique_ptr<scale::TimerControl> giveUpTimer;
    std::unique_ptr<StationReader> reader;
    RecordSource keyed;  // with the station key, which the broker's and the board's records carry
    RecordSource plain;  // with it only where the run's records have one (several stations)
    std::optional<RecordFilter> filter;
    QString label;
    // The port as it was when opened: once the device is gone, "ComN" finds another or none.
    QString openedPort;
    bool abandoned = false;
};

StationEngine::StationEngine(const std::vector<StationConfig>& stations, EngineSettings settings,
                             EngineHost host)
    : m_settings(std::move(settings)), m_host(std::move(host)) {
    for (const StationConfig& config : stations) {
        const std::size_t index = m_stations.size();
        auto station = std::make_unique<Station>();
        station->config = config;
        station->port = m_host.makePort(config);
        (void)station->port->setCommPort(static_cast<std::int16_t>(config.commPort));
        (void)station->port->setSettings(config.settings);
        station->pollTimer = m_host.makeTimer();
        station->watchTimer = m_host.makeTimer();
        station->commandTimer = m_host.makeTimer();
        station->retryTimer = m_host.makeTimer();
        station->giveUpTimer = m_host.makeTimer();
        station->retryTimer->setEnabled(false);
        station->giveUpTimer->setEnabled(false);
        station->retryTimer->setOnTick([this, index] { retryOpen(index); });
        station->giveUpTimer->setOnTick([this, index] { gaveUp(index); });
        ReadingRules rules = m_settings.rules;
        rules.format = config.format;
        station->reader = std::make_unique<StationReader>(
            *station->port, *station->pollTimer, *station->watchTimer, m_host.clock, rules,
            m_settings.decimalSeparator);
        // Every station can take a command; only the paths that were allowed give one.
        station->reader->setCommandTimer(*station->commandTimer);
        station->reader->setOnFrame([this, index](std::int64_t utc, const scale::StreamFrame& frame,
                                                  bool stable, bool became) {
            frameRead(index, utc, frame, stable, became);
        });
        station->reader->setOnLineEvent(
            [this, index](scale::SerialControl::LineEvent event) { lineEvent(index, event); });
        if (!m_settings.quiet) {
            station->reader->setOnNote([this, index](const QString& text) {
                m_host.note(m_settings.several ? QStringLiteral("station %1: %2")
                                                     .arg(m_stations[index]->config.name, text)
                                               : text);
            });
        }
        station->keyed = {config.port.toStdString(), std::string(config.format->name),
                          config.name.toStdString()};
        station->plain = station->keyed;
        if (!m_settings.several) {
            station->plain.station.clear();
        }
        station->filter.emplace(m_settings.choice);
        station->openedPort = portOf(*station);
        station->label = labelOf(*station);
        m_stations.push_back(std::move(station));
    }
}

StationEngine::~StationEngine() = default;

const RecordSource& StationEngine::source(std::size_t station) const {
    return m_stations.at(station)->keyed;
}

const scale::FormatDescription& StationEngine::format(std::size_t station) const {
    return *m_stations.at(station)->config.format;
}

StationReader::CommandId StationEngine::sendCommand(std::size_t station, CommandKind kind,
                                                    StationReader::CommandHandler handler) {
    if (station >= m_stations.size()) {
        handler(CommandResult::Unsupported, {});
        return 0;
    }
    return m_stations[station]->reader->sendCommand(kind, std::move(handler));
}

bool StationEngine::cancelCommand(std::size_t station, StationReader::CommandId id) {
    return station < m_stations.size() && m_stations[station]->reader->cancelCommand(id);
}

void StationEngine::setOnRead(std::size_t station, StationReader::ReadHandler handler) {
    m_stations.at(station)->reader->setOnRead(std::move(handler));
}

void StationEngine::end(int status) {
    if (m_ending) {
        return;
    }
    m_ending = true;
    m_status = status;
    if (m_host.end) {
        m_host.end(status);
    }
}

bool StationEngine::finish() {
    for (auto& station : m_stations) {
        if (!station->abandoned) {
            station->reader->finish();
        }
    }
    bool written = true;
    for (auto& outlet : m_outlets) {
        written = outlet->finish() && written;
    }
    return written;
}

void StationEngine::frameRead(std::size_t index, std::int64_t utcMillis,
                              const scale::StreamFrame& frame, bool stable, bool becameStable) {
    if (m_ending) {
        return;
    }
    Station& station = *m_stations[index];
    const bool chosen = station.filter->wants(frame, becameStable);
    m_texts.next(station.keyed, station.plain, utcMillis, frame, stable);
    const Record record{index, station.keyed, utcMillis, frame, stable, becameStable, m_texts,
                        chosen};
    for (const auto& outlet : m_outlets) {
        // An outlet may end the run (--count, a failed write): the rest then get nothing more.
        if (m_ending) {
            return;
        }
        outlet->record(record);
    }
}

void StationEngine::typed(std::size_t index, std::int64_t utcMillis,
                          const scale::StreamFrame& frame, const TypedNote& note) {
    if (m_ending || index >= m_stations.size()) {
        return;
    }
    Station& station = *m_stations[index];
    m_typedTexts.next(station.keyed, station.plain, utcMillis, frame, true, &note);
    Record record{index, station.keyed, utcMillis, frame, true, false, m_typedTexts, true};
    record.typed = &note;
    for (const auto& outlet : m_outlets) {
        if (m_ending) {
            return;
        }
        outlet->record(record);
    }
}

void StationEngine::typeStanding(std::size_t station, const QString& trigger, TypeDone done) {
    if (m_typer && station < m_stations.size()) {
        m_typer(station, trigger, std::move(done));
        return;
    }
    StationControl::typeStanding(station, trigger, std::move(done));
}

void StationEngine::tell(std::size_t index, PortState state, const QString& reason) {
    for (const auto& outlet : m_outlets) {
        outlet->portChanged(index, state, reason);
    }
}

QString StationEngine::portOf(const Station& station) const {
    return portLabel(station.config.port, station.port->deviceName(station.config.commPort));
}

// "Com1 (/dev/ttyUSB0)", or with several stations "station gate (Com1 (/dev/ttyUSB0))".
QString StationEngine::labelOf(const Station& station) const {
    return m_settings.several ? QStringLiteral("station %1 (%2)").arg(station.config.name,
                                                                      portOf(station))
                              : portOf(station);
}

QString StationEngine::openFailureOf(const Station& station) const {
    return openFailureText(station.config.port,
                           station.port->deviceName(station.config.commPort),
                           station.port->openFailure());
}

void StationEngine::lineEvent(std::size_t index, scale::SerialControl::LineEvent event) {
    Station& station = *m_stations[index];
    if (event == scale::SerialControl::LineEvent::Lost) {
        m_host.note(QStringLiteral("%1 is gone; waiting for it to come back").arg(station.label));
        if (m_settings.reconnectTimeoutMs) {
            station.giveUpTimer->setInterval(static_cast<int>(*m_settings.reconnectTimeoutMs));
            station.giveUpTimer->setEnabled(true);
        }
        // The board names the station already: the port alone.
        tell(index, PortState::Lost,
             QStringLiteral("%1 is gone; waiting for it to come back").arg(station.openedPort));
        return;
    }
    station.giveUpTimer->setEnabled(false);
    // "ComN" may reach another device now (a new pseudo-terminal behind its link).
    station.openedPort = portOf(station);
    station.label = labelOf(station);
    m_host.note(QStringLiteral("%1 is back; reading again").arg(station.label));
    tell(index, PortState::Open);
}

void StationEngine::gaveUp(std::size_t index) {
    Station& station = *m_stations[index];
    station.giveUpTimer->setEnabled(false);
    m_host.note(QStringLiteral("%1 did not come back within %2 s")
                    .arg(station.label)
                    .arg(*m_settings.reconnectTimeoutMs / 1000));
    if (!m_settings.several) {
        end(1);
        return;
    }
    m_host.note(QStringLiteral("%1 is no longer read").arg(station.label));
    (void)station.port->setPortOpen(false);  // ends the watch
    tell(index, PortState::Abandoned,
         QStringLiteral("%1 did not come back; it is no longer read").arg(station.openedPort));
    station.abandoned = true;
    if (std::all_of(m_stations.begin(), m_stations.end(),
                    [](const auto& other) { return other->abandoned; })) {
        end(1);
    }
}

void StationEngine::retryOpen(std::size_t index) {
    Station& station = *m_stations[index];
    if (!station.port->setPortOpen(true)) {
        // The words may change: the device comes, but without permission.
        tell(index, PortState::NotOpen, openFailureOf(station));
        return;
    }
    station.retryTimer->setEnabled(false);
    station.openedPort = portOf(station);
    m_host.note(QStringLiteral("%1 is open; reading").arg(station.label));
    (void)station.reader->start();
    tell(index, PortState::Open);
}

bool StationEngine::open() {
    for (std::size_t index = 0; index < m_stations.size(); ++index) {
        if (!openStation(index)) {
            return false;
        }
    }
    return true;
}

bool StationEngine::openStation(std::size_t index) {
    Station& station = *m_stations[index];
    if (!station.port->setPortOpen(true)) {
        m_host.note(openFailureOf(station) +
                    (m_settings.several ? QStringLiteral(" (station %1; trying again every %2 s)")
                                              .arg(station.config.name)
                                              .arg(kRetryOpenMillis / 1000)
                                        : QString()));
        if (!m_settings.several) {
            return false;
        }
        // One station that does not open never stops the others: it is tried again.
        tell(index, PortState::NotOpen, openFailureOf(station));
        station.retryTimer->setInterval(kRetryOpenMillis);
        station.retryTimer->setEnabled(true);
        return true;
    }
    if (!station.reader->start()) {
        m_host.note(QStringLiteral("cannot read %1").arg(station.label));
        return false;
    }
    if (!m_settings.quiet) {
        const std::string_view protocol = station.config.format->name;
        m_host.note(QStringLiteral("reading %1 at %2, protocol %3")
                        .arg(station.label, station.config.settings,
                             QString::fromUtf8(protocol.data(),
                                               static_cast<qsizetype>(protocol.size()))));
    }
    tell(index, PortState::Open);
    return true;
}

}  // namespace scaleread
