#include "tools/scale-read/http/httpservice.h"

#include <QCoreApplication>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTcpSocket>
#include <QUrlQuery>
#include <QWebSocketServer>
#include <algorithm>
#include <exception>

#include "tools/scale-read/filelimit.h"
#include "tools/scale-read/http/events/framewatch.h"
#include "tools/scale-read/http/server/httplistener.h"
#include "tools/scale-read/stations/indicatorcommand.h"

namespace scaleread {
namespace {

using Status = HttpStatus;

constexpr int kWatchMillis = 100;
// Files kept open for what is not a client: the stations' ports (a few each), the broker, the
// logs, and a margin.
constexpr long kReservedFiles = 64;
constexpr long kFilesPerStation = 4;
const QLatin1String kEventsPath("/api/v1/events");

// The board: the only files served, from inside the program.
struct BuiltInFile {
    const char* path;
    const char* resource;
    const char* type;
};
constexpr BuiltInFile kFiles[] = {
    {"/", ":/board/board.html", "text/html; charset=utf-8"},
    {"/board.js", ":/board/board.js", "text/javascript; charset=utf-8"},
    {"/board.css", ":/board/board.css", "text/css; charset=utf-8"},
};

// How each result of a command reads in HTTP.
struct CommandOutcome {
    const char* result;
    Status status;
};
constexpr CommandOutcome kOutcomes[] = {
    {"done", Status::Ok},
    {"refused", Status::Conflict},
    {"overload", Status::Conflict},
    {"underload", Status::Conflict},
    {"no-answer", Status::GatewayTimeout},
    {"unsupported", Status::NotImplemented},
    {"busy", Status::ServiceUnavailable},
    {"expired", Status::ServiceUnavailable},
};

QByteArray errorJson(const QString& error) {
    return HttpConnection::errorJson(error);
}

QString peerOf(const QHostAddress& address, quint16 port) {
    return address.protocol() == QAbstractSocket::IPv6Protocol
               ? QStringLiteral("[%1]:%2").arg(address.toString()).arg(port)
               : QStringLiteral("%1:%2").arg(address.toString()).arg(port);
}

}  // namespace

HttpService::HttpService(HttpSettings settings, const std::vector<ServedStation>& served,
                         bool errorRecords, const Clock& clock, CommandRunner commands, Note note)
    : m_settings(std::move(settings)),
      m_sources([&served] {
          std::vector<RecordSource> sources;
          for (const ServedStation& station : served) {
              sources.push_back(station.source);
          }
          return sources;
      }()),
      m_errorRecords(errorRecords),
      m_clock(clock),
      m_commands(std::move(commands)),
      m_note(std::move(note)),
      m_board([&served] {
          std::vector<StationBoard::Station> stations;
          for (const ServedStation& station : served) {
              stations.push_back({QString::fromStdString(station.source.station),
                                  QString::fromStdString(station.source.port),
                                  QString::fromStdString(station.source.protocol),
                                  station.commands});
          }
          return stations;
      }()),
      m_clients(m_note) {
    m_watch.setInterval(kWatchMillis);
    connect(&m_watch, &QTimer::timeout, this, [this] { announceChanges(); });
    m_waitTimer.setSingleShot(true);
    connect(&m_waitTimer, &QTimer::timeout, this, [this] { expireWaits(); });
}

HttpService::~HttpService() = default;

bool HttpService::start(QString& error) {
    // Clients get what the file limit leaves once the stations and the broker have theirs, so
    // that a crowd of idle connections cannot keep a replugged port from being opened.
    const long files = fileLimit() - kReservedFiles -
                       kFilesPerStation * static_cast<long>(m_sources.size());
    const int limit = static_cast<int>(std::clamp<long>(files, 8, kMaxConnections));
    m_listener = new HttpListener(
        limit, std::max(4, limit / 2), [this](QTcpSocket* socket) { connectionOpened(socket); },
        m_note, this);
    if (!m_listener->listen(m_settings.address, m_settings.port)) {
        error = QStringLiteral("cannot serve HTTP at %1: %2")
                    .arg(peerOf(m_settings.address, m_settings.port), m_listener->errorString());
        delete m_listener;
        m_listener = nullptr;
        return false;
    }
    m_upgrades = new QWebSocketServer(QStringLiteral("scale-read"),
                                      QWebSocketServer::NonSecureMode, this);
    connect(m_upgrades, &QWebSocketServer::newConnection, this, [this] { acceptClients(); });
    m_port = m_listener->serverPort();
    m_watch.start();
    if (!m_settings.tokenFileWarning.isEmpty()) {
        m_note(m_settings.tokenFileWarning);
    }
    m_note(QStringLiteral("serving the board at http://%1/").arg(peerOf(m_settings.address, m_port)));
    return true;
}

void HttpService::frame(std::size_t station, const scale::StreamFrame& frame, bool stable,
                        bool becameStable, RecordTexts& texts) {
    const bool reading = frame.error == scale::FrameError::None;
    if (!reading) {
        m_board.unsettled(station);
        if (!m_errorRecords) {
            return;
        }
    }
    if (reading) {
        const std::string_view json = texts.json();
        m_board.reading(station, json, frame.weight, stable, becameStable, nowMillis());
    }
    if (m_clients.count() > 0) {
        // The record as written, with a type in front: {"type":"record","time":...}.
        const std::string_view message = texts.webSocketMessage();
        m_clients.post(station,
                       QByteArray(message.data(), static_cast<qsizetype>(message.size())));
    }
    if (reading && becameStable) {
        answerWaits(station, Status::Ok,
                    QByteArray::fromStdString(m_board.placement(station).numbered()));
    }
}

void HttpService::setPort(std::size_t station, StationBoard::Port port, const QString& reason) {
    m_board.setPort(station, port, reason);
    if (port != StationBoard::Port::Open) {
        answerWaits(station, Status::ServiceUnavailable, unavailableJson(station));
    }
    announceChanges();
}

void HttpService::connectionOpened(QTcpSocket* socket) {
    const std::uint64_t id = m_nextConnection++;
    auto* connection = new HttpConnection(
        socket, id,
        [this](HttpConnection& from, std::uint64_t slot, const HttpRequest& request) {
            handle(from, slot, request);
        },
        m_note);
    m_connections.emplace(id, connection);
    connection->onClosed([this, id](const std::vector<std::uint64_t>& unanswered) {
        connectionClosed(id, unanswered);
    });
}

void HttpService::connectionClosed(std::uint64_t connection,
                                   const std::vector<std::uint64_t>& unanswered) {
    m_connections.erase(connection);
    if (unanswered.empty()) {
        return;
    }
    m_waits.dropConnection(connection);
    armWaitTimer();
    std::vector<std::uint64_t> gone;
    for (const auto& [ticket, command] : m_pendingCommands) {
        if (command.connection == connection) {
            gone.push_back(ticket);
        }
    }
    for (const std::uint64_t ticket : gone) {
        cancelCommand(ticket);
    }
}

HttpConnection* HttpService::connectionOf(std::uint64_t id) const {
    const auto it = m_connections.find(id);
    return it == m_connections.end() ? nullptr : it->second.data();
}

void HttpService::handle(HttpConnection& connection, std::uint64_t slot,
                         const HttpRequest& request) {
    const Asker asker{&connection, slot};
    const QString path = request.url.path();
    // Whatever the path, an upgrade passes the gate below like any request; only the events
    // path is one, and a refused upgrade ends its connection.
    const bool upgrading = !request.value("Upgrade").isEmpty();
    const bool events = upgrading && request.upgrade && path == kEventsPath &&
                        request.value("Upgrade").compare("websocket", Qt::CaseInsensitive) == 0;
    if (upgrading && !events) {
        connection.closeAfter(slot);
    }
    Headers cors;
    try {
        const bool api = path.startsWith(QLatin1String("/api/"));
        const QUrlQuery query(request.url);
        const RequestCredentials credentials{
            request.value("Host"), request.value("Origin"), request.value("Authorization"),
            events ? query.queryItemValue(QStringLiteral("token")).toUtf8() : QByteArray()};
        if (!credentials.origin.isEmpty()) {
            cors = {{"Access-Control-Allow-Origin", credentials.origin}, {"Vary", "Origin"}};
        }
        if (request.body.size() > kBodyLimit) {
            respondError(asker, Status::PayloadTooLarge,
                         QStringLiteral("request bodies go up to %1 bytes").arg(kBodyLimit), cors);
            return;
        }
        const bool preflight = request.method == "OPTIONS";
        switch (decideAccess(credentials, m_settings.token, m_settings.origins,
                             (api || upgrading) && !preflight, events)) {
            case Access::Allowed:
                break;
            case Access::ForeignHost:
                respondError(asker, Status::Forbidden,
                             QStringLiteral("host '%1' is not this machine's loopback; use "
                                            "localhost or 127.0.0.1, or serve with "
                                            "--http-token-file")
                                 .arg(QString::fromLatin1(credentials.host)),
                             {});
                return;
            case Access::ForeignOrigin:
                respondError(asker, Status::Forbidden,
                             QStringLiteral("origin '%1' is not allowed (see --http-origin)")
                                 .arg(QString::fromLatin1(credentials.origin)),
                             {});
                return;
            case Access::NoToken:
                cors.emplace_back("WWW-Authenticate", R"(Bearer realm="scale-read")");
                respondError(asker, Status::Unauthorized,
                             events ? QStringLiteral("this needs ?token=TOKEN or the header "
                                                     "Authorization: Bearer TOKEN")
                                    : QStringLiteral("this needs the header Authorization: "
                                                     "Bearer TOKEN"),
                             cors);
                return;
        }
        if (events) {
            upgrade(asker, request, cors);
            return;
        }
        if (upgrading && path != kEventsPath) {
            respondError(asker, Status::BadRequest,
                         QStringLiteral("only /api/v1/events takes an upgrade, to websocket"), cors);
            return;
        }
        if (preflight) {
            cors.emplace_back("Access-Control-Allow-Methods", "GET, POST");
            cors.emplace_back("Access-Control-Allow-Headers", "Authorization, Content-Type");
            cors.emplace_back("Access-Control-Max-Age", "600");
            respond(asker, Status::NoContent, {}, "text/plain", cors);
            return;
        }
        route(asker, request, cors);
    } catch (const std::exception& failure) {
        m_note(QStringLiteral("http: %1").arg(QString::fromLocal8Bit(failure.what())));
        respondError(asker, Status::InternalServerError, QStringLiteral("internal error"), {});
    }
}

void HttpService::upgrade(const Asker& asker, const HttpRequest& request, const Headers& cors) {
    QString unknown;
    (void)wantedStations(QUrlQuery(request.url), unknown);
    if (!unknown.isEmpty()) {
        respondError(asker, Status::NotFound, QStringLiteral("no station '%1'").arg(unknown), cors);
        return;
    }
    HttpConnection& connection = *asker.connection;
    if (m_clients.count() >= static_cast<std::size_t>(m_settings.maxClients)) {
        m_note(QStringLiteral("http: WebSocket client %1 refused: already %2 clients")
                   .arg(connection.peer())
                   .arg(m_settings.maxClients));
        respondError(asker, Status::ServiceUnavailable,
                     QStringLiteral("more than %1 WebSocket clients").arg(m_settings.maxClients),
                     cors);
        return;
    }
    const std::uint64_t id = connection.id();
    QTcpSocket* socket = connection.handOver(asker.slot);
    if (!socket) {
        respondError(asker, Status::BadRequest,
                     QStringLiteral("an upgrade waits for the answers before it"), cors);
        return;
    }
    m_connections.erase(id);
    // Qt WebSockets reads the handshake again and answers it; the socket is let in as a client
    // in acceptClient() only because it is on this list.
    const QString peer = peerOf(socket->peerAddress(), socket->peerPort());
    auto* watch = new FrameWatch(socket);
    m_admitted.insert(peer, watch);
    connect(watch, &QObject::destroyed, this, [this, peer] { m_admitted.remove(peer); });
    m_upgrades->handleConnection(socket);
}

std::vector<bool> HttpService::wantedStations(const QUrlQuery& query, QString& unknown) const {
    const QStringList lists = query.allQueryItemValues(QStringLiteral("station"));
    std::vector<bool> wanted(m_board.size(), lists.isEmpty());
    for (const QString& list : lists) {
        for (const QString& name : list.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
            if (const auto station = m_board.find(name)) {
                wanted[*station] = true;
            } else {
                unknown = name;
            }
        }
    }
    return wanted;
}

void HttpService::route(const Asker& asker, const HttpRequest& request, const Headers& cors) {
    const QString path = request.url.path();
    const auto allowOnly = [&](const char* method) {
        if (request.method == method) {
            return true;
        }
        Headers headers = cors;
        headers.emplace_back("Allow", method);
        respondError(asker, Status::MethodNotAllowed,
                     QStringLiteral("%1 takes only %2").arg(path, QLatin1String(method)), headers);
        return false;
    };

    if (path == QLatin1String("/healthz")) {
        if (allowOnly("GET")) {
            respondJson(asker, Status::Ok, R"({"status":"ok"})", cors);
        }
        return;
    }
    for (const BuiltInFile& file : kFiles) {
        if (path == QLatin1String(file.path)) {
            if (allowOnly("GET")) {
                serveFile(QLatin1String(file.path), asker);
            }
            return;
        }
    }
    if (path == QLatin1String("/api/v1/events")) {
        Headers headers = cors;
        headers.emplace_back("Upgrade", "websocket");
        respondError(asker, Status::UpgradeRequired,
                     QStringLiteral("/api/v1/events is a WebSocket"), headers);
        return;
    }
    if (path == QLatin1String("/api/v1/stations")) {
        if (allowOnly("GET")) {
            QJsonArray stations;
            for (std::size_t i = 0; i < m_board.size(); ++i) {
                stations.append(m_board.stateObject(i, nowMillis()));
            }
            respondJson(asker, Status::Ok,
                        QJsonDocument(QJsonObject{{QStringLiteral("stations"), stations}})
                            .toJson(QJsonDocument::Compact),
                        cors);
        }
        return;
    }
    static const QString stationsPrefix = QStringLiteral("/api/v1/stations/");
    const QStringList parts = path.startsWith(stationsPrefix)
                                  ? path.mid(stationsPrefix.size()).split(QLatin1Char('/'))
                                  : QStringList();
    const QString part = parts.size() == 2 ? parts[1] : QString();
    // "type": the keyboard types the weight standing now, a command like the others.
    const bool command = part == QLatin1String("command") || part == QLatin1String("type");
    if (parts.isEmpty() || parts.size() > 2 ||
        (parts.size() == 2 && part != QLatin1String("stable") && !command)) {
        respondError(asker, Status::NotFound, QStringLiteral("no such path"), cors);
        return;
    }
    if (!allowOnly(command ? "POST" : "GET")) {
        return;
    }
    if (command && !m_settings.allowCommands) {
        respondError(asker, Status::Forbidden,
                     QStringLiteral("commands are off; scale-read takes them with "
                                    "--allow-commands"),
                     cors);
        return;
    }
    const auto station = m_board.find(parts[0]);
    if (!station) {
        respondError(asker, Status::NotFound,
                     QStringLiteral("no station '%1'").arg(parts[0]), cors);
        return;
    }
    if (part.isEmpty()) {
        respondJson(asker, Status::Ok,
                    QJsonDocument(m_board.stateObject(*station, nowMillis()))
                        .toJson(QJsonDocument::Compact),
                    cors);
    } else if (part == QLatin1String("stable")) {
        getStable(*station, asker, request, cors);
    } else {
        postCommand(*station, asker, request, cors, part == QLatin1String("type"));
    }
}

void HttpService::getStable(std::size_t station, const Asker& asker, const HttpRequest& request,
                            const Headers& cors) {
    int waitMillis = kDefaultWaitMillis;
    const QUrlQuery query(request.url);
    if (query.hasQueryItem(QStringLiteral("timeout"))) {
        const QString text = query.queryItemValue(QStringLiteral("timeout"));
        bool ok = false;
        waitMillis = text.toInt(&ok);
        if (!ok || waitMillis < 0 || waitMillis > kLongestWaitMillis ||
            !text.front().isDigit()) {
            respondError(asker, Status::BadRequest,
                         QStringLiteral("timeout is a whole number of milliseconds from 0 to %1")
                             .arg(kLongestWaitMillis),
                         cors);
            return;
        }
    }
    std::optional<std::uint64_t> after;
    if (query.hasQueryItem(QStringLiteral("after"))) {
        const QString text = query.queryItemValue(QStringLiteral("after"));
        bool ok = false;
        after = text.toULongLong(&ok);
        if (!ok || !text.front().isDigit()) {
            respondError(asker, Status::BadRequest,
                         QStringLiteral("after is a placement number, the seq of an earlier "
                                        "answer"),
                         cors);
            return;
        }
    }
    // A station that is not reading has no weight of now to give, and none to wait for.
    if (m_board.state(station, nowMillis()) != QLatin1String("reading")) {
        respondJson(asker, Status::ServiceUnavailable, unavailableJson(station), cors);
        return;
    }
    if (const auto answer = m_board.placement(station).answer(after)) {
        respondJson(asker, Status::Ok, QByteArray::fromStdString(*answer), cors);
        return;
    }
    const QTcpSocket* socket = asker.connection->socket();
    if (!m_waits.add({asker.connection->id(), asker.slot, station, nowMillis() + waitMillis,
                      waitMillis, socket->peerAddress().toString(), cors})) {
        respondError(asker, Status::ServiceUnavailable,
                     QStringLiteral("too many requests waiting for a stable weight"), cors);
        return;
    }
    armWaitTimer();
}

void HttpService::armWaitTimer() {
    const auto next = m_waits.nextDeadline();
    if (!next) {
        m_waitTimer.stop();
        return;
    }
    m_waitTimer.start(static_cast<int>(std::clamp<std::int64_t>(*next - nowMillis(), 0,
                                                                kLongestWaitMillis)));
}

void HttpService::expireWaits() {
    for (const StableWaits::Wait& wait : m_waits.expire(nowMillis())) {
        const QJsonObject body{
            {QStringLiteral("error"),
             QStringLiteral("no stable weight within %1 ms").arg(wait.waitMillis)},
            {QStringLiteral("station"), m_board.station(wait.station).name}};
        respondJson({connectionOf(wait.connection), wait.slot}, Status::GatewayTimeout,
                    QJsonDocument(body).toJson(QJsonDocument::Compact), wait.headers);
    }
    armWaitTimer();
}

void HttpService::answerWaits(std::size_t station, Status status, const QByteArray& json) {
    for (const StableWaits::Wait& wait : m_waits.takeStation(station)) {
        respondJson({connectionOf(wait.connection), wait.slot}, status, json, wait.headers);
    }
    armWaitTimer();
}

QByteArray HttpService::unavailableJson(std::size_t station) const {
    const QString state = m_board.state(station, nowMillis());
    return QJsonDocument(QJsonObject{{QStringLiteral("error"),
                                      QStringLiteral("no weight while the station is %1").arg(state)},
                                     {QStringLiteral("state"), state},
                                     {QStringLiteral("station"), m_board.station(station).name}})
        .toJson(QJsonDocument::Compact);
}

void HttpService::postCommand(std::size_t station, const Asker& asker, const HttpRequest& request,
                              const Headers& cors, bool typeWeight) {
    // Only JSON, which no page of another origin can send without asking first (a preflight):
    // a form or a plain fetch from a foreign page cannot command a scale.
    const QByteArray type = request.value("Content-Type").split(';').front().trimmed();
    if (type.compare("application/json", Qt::CaseInsensitive) != 0) {
        respondError(asker, Status::UnsupportedMediaType,
                     QStringLiteral("a command is sent as Content-Type: application/json"), cors);
        return;
    }
    const QJsonValue value =
        QJsonDocument::fromJson(request.body).object().value(QStringLiteral("command"));
    const QString command = typeWeight ? QStringLiteral("type") : value.toString();
    if (!typeWeight && !commandKindNamed(command.toStdString())) {
        respondError(asker, Status::BadRequest,
                     QStringLiteral(R"(the body is {"command":"zero"}, "tare" or "clear-tare")"),
                     cors);
        return;
    }
    const std::uint64_t ticket = m_nextTicket++;
    m_pendingCommands.emplace(ticket, PendingCommand{asker.connection->id(), asker.slot, station, {}});
    const QString name = m_board.station(station).name;
    QPointer<HttpService> self(this);
    CommandCancel cancel = m_commands(station, command, [self, ticket, name, command, cors](
                                                           const QString& result,
                                                           const QString& text) {
        if (!self) {
            return;
        }
        const auto pending = self->m_pendingCommands.find(ticket);
        if (pending == self->m_pendingCommands.end()) {
            return;  // its client went
        }
        const Asker target{self->connectionOf(pending->second.connection), pending->second.slot};
        self->m_pendingCommands.erase(pending);
        const auto outcome =
            std::find_if(std::begin(kOutcomes), std::end(kOutcomes),
                         [&](const CommandOutcome& known) { return result == QLatin1String(known.result); });
        QJsonObject body{{QStringLiteral("station"), name},
                         {QStringLiteral("command"), command},
                         {QStringLiteral("result"), result}};
        if (!text.isEmpty()) {
            body.insert(QStringLiteral("text"), text);
        }
        self->respondJson(target,
                          outcome == std::end(kOutcomes) ? Status::InternalServerError
                                                         : outcome->status,
                          QJsonDocument(body).toJson(QJsonDocument::Compact), cors);
    });
    // A command refused at once (busy, unsupported) has been answered already.
    if (const auto pending = m_pendingCommands.find(ticket); pending != m_pendingCommands.end()) {
        pending->second.cancel = std::move(cancel);
    }
}

void HttpService::cancelCommand(std::uint64_t ticket) {
    // The client of this command went before its result came. A command still waiting in its
    // station's queue is withdrawn and never sent; one already out runs to its end, and its
    // result is dropped when it comes.
    const auto pending = m_pendingCommands.find(ticket);
    if (pending == m_pendingCommands.end()) {
        return;
    }
    const CommandCancel cancel = std::move(pending->second.cancel);
    m_pendingCommands.erase(pending);
    if (cancel) {
        cancel();
    }
}

void HttpService::serveFile(const QString& name, const Asker& asker) {
    for (const BuiltInFile& file : kFiles) {
        if (name != QLatin1String(file.path)) {
            continue;
        }
        QFile resource(QLatin1String(file.resource));
        if (!resource.open(QIODevice::ReadOnly)) {
            respondError(asker, Status::InternalServerError,
                         QStringLiteral("the board is not built in"), {});
            return;
        }
        // The token may stand in the page's address: it goes to no other site as a referrer.
        respond(asker, Status::Ok, resource.readAll(), file.type,
                {{"Content-Security-Policy",
                  "default-src 'self'; connect-src 'self'; img-src 'self' data:; "
                  "frame-ancestors 'none'"},
                 {"Referrer-Policy", "no-referrer"}});
        return;
    }
}

void HttpService::acceptClients() {
    while (m_upgrades->hasPendingConnections()) {
        acceptClient(std::unique_ptr<QWebSocket>(m_upgrades->nextPendingConnection()));
    }
}

void HttpService::acceptClient(std::unique_ptr<QWebSocket> socket) {
    if (!socket) {
        return;
    }
    // Only a socket whose request passed handle() is taken; only clients that came in together
    // can overrun the limit, and they are let go at once.
    QWebSocket* raw = socket.get();
    QString unknown;
    std::vector<bool> wanted = wantedStations(QUrlQuery(raw->requestUrl()), unknown);
    const QString peer = peerOf(raw->peerAddress(), raw->peerPort());
    const QPointer<QObject> watch = m_admitted.take(peer);
    if (!watch) {
        m_note(QStringLiteral("http: WebSocket client %1 refused: not let in").arg(peer));
        raw->close(QWebSocketProtocol::CloseCodePolicyViolated, QStringLiteral("not let in"));
        socket.release()->deleteLater();
        return;
    }
    if (m_clients.count() >= static_cast<std::size_t>(m_settings.maxClients)) {
        m_note(QStringLiteral("http: WebSocket client %1 refused: already %2 clients")
                   .arg(peer)
                   .arg(m_settings.maxClients));
        raw->close(QWebSocketProtocol::CloseCodePolicyViolated,
                   QStringLiteral("more than %1 WebSocket clients").arg(m_settings.maxClients));
        socket.release()->deleteLater();
        return;
    }
    // Clients only listen; anything they send is dropped, and big messages are refused.
    raw->setMaxAllowedIncomingMessageSize(kBodyLimit);
    raw->setMaxAllowedIncomingFrameSize(kBodyLimit);

    QJsonArray stations;
    QJsonObject stationCommands;  // which buttons each tile gets
    QJsonObject trends;           // [age in ms, weight], oldest first: a reloaded board's trend
    const std::int64_t now = nowMillis();
    for (std::size_t i = 0; i < m_board.size(); ++i) {
        if (wanted[i]) {
            const StationBoard::Station& station = m_board.station(i);
            stations.append(station.name);
            stationCommands.insert(station.name, QJsonArray::fromStringList(station.commands));
            QJsonArray points;
            for (const auto& [age, weight] : m_board.trend(i).ages(now)) {
                points.append(QJsonArray{static_cast<qint64>(age), weight});
            }
            trends.insert(station.name, points);
        }
    }
    QJsonObject hello{{QStringLiteral("type"), QStringLiteral("hello")},
                      {QStringLiteral("version"), QCoreApplication::applicationVersion()},
                      {QStringLiteral("commands"), m_settings.allowCommands},
                      {QStringLiteral("stations"), stations},
                      {QStringLiteral("trends"), trends}};
    if (m_settings.allowCommands) {
        hello.insert(QStringLiteral("stationCommands"), stationCommands);
    }
    QStringList greeting{QString::fromUtf8(QJsonDocument(hello).toJson(QJsonDocument::Compact))};
    for (std::size_t i = 0; i < m_board.size(); ++i) {
        if (wanted[i]) {
            greeting.append(stateMessage(i));
        }
    }
    // Qt's upgrade server deletes a TCP socket that disconnects, from this thread. Served from
    // the clients' thread, the socket is deleted there with its client, and the two deletions
    // would race: the upgrade server lets go of it here.
    auto* frameWatch = static_cast<FrameWatch*>(watch.data());
    disconnect(frameWatch->socket(), nullptr, m_upgrades, nullptr);
    m_clients.join(std::move(socket), frameWatch, std::move(wanted), peer, greeting);
}

QString HttpService::stateMessage(std::size_t station) const {
    QJsonObject object = m_board.stateObject(station, nowMillis());
    object.insert(QStringLiteral("type"), QStringLiteral("state"));
    return QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact));
}

void HttpService::announceChanges() {
    for (const std::size_t station : m_board.changes(nowMillis())) {
        if (m_clients.count() > 0) {
            m_clients.post(station, stateMessage(station).toUtf8());
        }
    }
}

void HttpService::respond(const Asker& asker, Status status, const QByteArray& body,
                          const QByteArray& type, const Headers& headers) {
    // A client that went away meanwhile has no one to answer.
    if (asker.connection) {
        asker.connection->answer(asker.slot, status, body, type, headers);
    }
}

void HttpService::respondJson(const Asker& asker, Status status, const QByteArray& json,
                              const Headers& headers) {
    respond(asker, status, json + '\n', "application/json", headers);
}

void HttpService::respondError(const Asker& asker, Status status, const QString& error,
                               const Headers& headers) {
    respondJson(asker, status, errorJson(error), headers);
}

}  // namespace scaleread
