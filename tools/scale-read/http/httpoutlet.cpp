#include "tools/scale-read/http/httpoutlet.h"

#include <vector>

namespace scaleread {
namespace {

QString latin1(std::string_view text) {
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

// A command from the API, sent as the broker's are: the station's reader sends it once.
HttpService::CommandRunner runnerFor(StationControl& stations) {
    return [&stations](std::size_t index, const QString& command,
                       const HttpService::CommandDone& done) -> HttpService::CommandCancel {
        const auto kind = commandKindNamed(command.toStdString());
        if (!kind || index >= stations.stationCount()) {
            done(QStringLiteral("unsupported"), {});
            return [] {};
        }
        const StationReader::CommandId id = stations.sendCommand(
            index, *kind, [done](CommandResult result, const std::string& text) {
                done(latin1(resultName(result)), QString::fromStdString(text));
            });
        return [&stations, index, id] { (void)stations.cancelCommand(index, id); };
    };
}

}  // namespace

HttpOutlet::HttpOutlet(const HttpSettings& settings, StationControl& stations, bool errorRecords,
                       const Clock& clock, HttpService::Note note) {
    std::vector<HttpService::ServedStation> served;
    for (std::size_t index = 0; index < stations.stationCount(); ++index) {
        QStringList commands;
        for (const std::string_view name : commandNamesOf(stations.format(index))) {
            commands.append(latin1(name));
        }
        served.push_back({stations.source(index), commands});
    }
    m_service = std::make_unique<HttpService>(settings, served, errorRecords, clock,
                                              runnerFor(stations), std::move(note));
}

void HttpOutlet::record(const Record& record) {
    m_service->frame(record.station, record.frame, record.stable, record.becameStable,
                     record.texts);
}

void HttpOutlet::portChanged(std::size_t station, PortState state, const QString& reason) {
    switch (state) {
        case PortState::Open:
            m_service->setPort(station, StationBoard::Port::Open);
            return;
        case PortState::NotOpen:
            m_service->setPort(station, StationBoard::Port::NotOpen, reason);
            return;
        case PortState::Lost:
        case PortState::Abandoned:
            m_service->setPort(station, StationBoard::Port::Lost, reason);
            return;
    }
}

}  // namespace scaleread
