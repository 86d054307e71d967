#include "tools/scale-read/httpservice.h"

#include <QCoreApplication>
#include <QFile>
#include <QHttpServerRequest>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLoggingCategory>
#include <QTcpSocket>
#include <QUrlQuery>
#include <algorithm>
#include <exception>

#include "tools/scale-read/guardedtcpserver.h"
#include "tools/scale-read/indicatorcommand.h"

namespace scaleread {
namespace {

using Status = QHttpServerResponder::StatusCode;
using Method = QHttpServerRequest::Method;

// Room for a browser's request line and headers, cookies included, before the body's share.
constexpr qint64 kHeaderLimit = 16 * 1024;
constexpr int kWatchMillis = 100;
constexpr int kLingerMillis = 1000;
constexpr int kFlushMillis = 20;

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
    return QJsonDocument(QJsonObject{{QStringLiteral("error"), error}})
        .toJson(QJsonDocument::Compact);
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
      }()) {
    // The library takes an upgrade only while someone listens for it.
    connect(this, &QAbstractHttpServer::newWebSocketConnection, this, [this] { acceptClients(); });
    m_flush.setSingleShot(true);
    m_flush.setInterval(kFlushMillis);
    m_flush.setTimerType(Qt::PreciseTimer);
    connect(&m_flush, &QTimer::timeout, this, [this] { flushOutbox(); });
    m_watch.setInterval(kWatchMillis);
    connect(&m_watch, &QTimer::timeout, this, [this] { announceChanges(); });
}

HttpService::~HttpService() {
    for (Client& client : m_clients) {
        client.socket->abort();
    }
}

bool HttpService::start(QString& error) {
    auto* server = new GuardedTcpServer(
        kHeaderLimit + kBodyLimit, [this](QTcpSocket* socket) { overflowed(socket); }, this);
    if (!server->listen(m_settings.address, m_settings.port)) {
        error = QStringLiteral("cannot serve HTTP at %1: %2")
                    .arg(peerOf(m_settings.address, m_settings.port), server->errorString());
        delete server;
        return false;
    }
    bind(server);
    // Refused upgrades are answered and noted here; the library's own warning would only repeat
    // them.
    QLoggingCategory::setFilterRules(QStringLiteral("qt.httpserver.warning=false"));
    m_port = server->serverPort();
    m_watch.start();
    m_note(QStringLiteral("serving the board at http://%1/").arg(peerOf(m_settings.address, m_port)));
    return true;
}

void HttpService::frame(std::size_t station, std::int64_t utcMillis,
                        const scale::StreamFrame& frame, bool stable, bool becameStable) {
    const bool reading = frame.error == scale::FrameError::None;
    if (!reading) {
        m_board.unsettled(station);
        if (!m_errorRecords) {
            return;
        }
    }
    m_record.clear();
    m_formatter.appendRecord(m_record, m_sources[station], utcMillis, frame, stable);
    m_record.pop_back();  // the line end
    if (reading) {
        m_board.reading(station, QByteArray::fromStdString(m_record), frame.weight, stable,
                        becameStable, nowMillis());
    }
    if (!m_clients.empty()) {
        // The record as written, with a type in front: {"type":"record","time":...}.
        broadcast(station, QLatin1String(R"({"type":"record",)") +
                               QString::fromUtf8(m_record.data() + 1,
                                                 static_cast<qsizetype>(m_record.size() - 1)));
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

bool HttpService::handleRequest(const QHttpServerRequest& request, QTcpSocket* socket) {
    GuardedTcpServer::requestTaken(socket);
    m_refusal.reset();
    // The library upgrades a WebSocket request once this returns true without answering it; a
    // refused one is answered by missingHandler(), from m_refusal.
    const QString path = request.url().path();
    const bool upgrade = path == QLatin1String("/api/v1/events") &&
                         request.value("Upgrade").compare("websocket", Qt::CaseInsensitive) == 0 &&
                         request.value("Connection").toLower().contains("upgrade");
    Headers cors;
    const auto refuse = [&](Status status, const QString& error, const Headers& headers) {
        if (upgrade) {
            m_refusal = Refusal{status, error, headers};
            return false;
        }
        respondError(socket, request, status, error, headers);
        return true;
    };
    try {
        const bool api = path.startsWith(QLatin1String("/api/"));
        const RequestCredentials credentials{
            request.value("Host"), request.value("Origin"), request.value("Authorization"),
            upgrade ? request.query().queryItemValue(QStringLiteral("token")).toUtf8()
                    : QByteArray()};
        if (!credentials.origin.isEmpty()) {
            cors = {{"Access-Control-Allow-Origin", credentials.origin}, {"Vary", "Origin"}};
        }
        if (request.body().size() > kBodyLimit) {
            return refuse(Status::PayloadTooLarge,
                          QStringLiteral("request bodies go up to %1 bytes").arg(kBodyLimit), cors);
        }
        const bool preflight = request.method() == Method::Options;
        switch (decideAccess(credentials, m_settings.token, m_settings.origins, api && !preflight,
                             upgrade)) {
            case Access::Allowed:
                break;
            case Access::ForeignHost:
                return refuse(Status::Forbidden,
                              QStringLiteral("host '%1' is not this machine's loopback; use "
                                             "localhost or 127.0.0.1, or serve with "
                                             "--http-token-file")
                                  .arg(QString::fromLatin1(credentials.host)),
                              {});
            case Access::ForeignOrigin:
                return refuse(Status::Forbidden,
                              QStringLiteral("origin '%1' is not allowed (see --http-origin)")
                                  .arg(QString::fromLatin1(credentials.origin)),
                              {});
            case Access::NoToken:
                cors.emplace_back("WWW-Authenticate", R"(Bearer realm="scale-read")");
                return refuse(Status::Unauthorized,
                              upgrade ? QStringLiteral("this needs ?token=TOKEN or the header "
                                                       "Authorization: Bearer TOKEN")
                                      : QStringLiteral("this needs the header Authorization: "
                                                       "Bearer TOKEN"),
                              cors);
        }
        if (upgrade) {
            QString unknown;
            (void)wantedStations(request.query(), unknown);
            if (!unknown.isEmpty()) {
                return refuse(Status::NotFound, QStringLiteral("no station '%1'").arg(unknown),
                              cors);
            }
            if (m_clients.size() >= static_cast<std::size_t>(m_settings.maxClients)) {
                m_note(QStringLiteral("http: WebSocket client %1 refused: already %2 clients")
                           .arg(peerOf(request.remoteAddress(), socket->peerPort()))
                           .arg(m_settings.maxClients));
                return refuse(Status::ServiceUnavailable,
                              QStringLiteral("more than %1 WebSocket clients").arg(m_settings.maxClients),
                              cors);
            }
            return true;
        }
        if (preflight) {
            cors.emplace_back("Access-Control-Allow-Methods", "GET, POST");
            cors.emplace_back("Access-Control-Allow-Headers", "Authorization, Content-Type");
            cors.emplace_back("Access-Control-Max-Age", "600");
            respond(socket, request, Status::NoContent, {}, "text/plain", cors);
            return true;
        }
        route(request, socket, cors);
    } catch (const std::exception& failure) {
        m_note(QStringLiteral("http: %1").arg(QString::fromLocal8Bit(failure.what())));
        return refuse(Status::InternalServerError, QStringLiteral("internal error"), {});
    }
    return true;
}

void HttpService::missingHandler(const QHttpServerRequest& request, QTcpSocket* socket) {
    if (m_refusal) {
        respondError(socket, request, m_refusal->status, m_refusal->error, m_refusal->headers);
        m_refusal.reset();
        return;
    }
    respondError(socket, request, Status::NotFound, QStringLiteral("no such path"), {});
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

void HttpService::route(const QHttpServerRequest& request, QTcpSocket* socket,
                        const Headers& cors) {
    const QString path = request.url().path();
    const auto allowOnly = [&](Method method) {
        if (request.method() == method) {
            return true;
        }
        Headers headers = cors;
        headers.emplace_back("Allow", method == Method::Get ? "GET" : "POST");
        respondError(socket, request, Status::MethodNotAllowed,
                     QStringLiteral("%1 takes only %2")
                         .arg(path, QLatin1String(method == Method::Get ? "GET" : "POST")),
                     headers);
        return false;
    };

    if (path == QLatin1String("/healthz")) {
        if (allowOnly(Method::Get)) {
            respondJson(socket, request, Status::Ok, R"({"status":"ok"})", cors);
        }
        return;
    }
    for (const BuiltInFile& file : kFiles) {
        if (path == QLatin1String(file.path)) {
            if (allowOnly(Method::Get)) {
                serveFile(QLatin1String(file.path), request, socket);
            }
            return;
        }
    }
    if (path == QLatin1String("/api/v1/events")) {
        Headers headers = cors;
        headers.emplace_back("Upgrade", "websocket");
        respondError(socket, request, Status::UpgradeRequired,
                     QStringLiteral("/api/v1/events is a WebSocket"), headers);
        return;
    }
    if (path == QLatin1String("/api/v1/stations")) {
        if (allowOnly(Method::Get)) {
            QJsonArray stations;
            for (std::size_t i = 0; i < m_board.size(); ++i) {
                stations.append(m_board.stateObject(i, nowMillis()));
            }
            respondJson(socket, request, Status::Ok,
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
    if (parts.isEmpty() || parts.size() > 2 ||
        (parts.size() == 2 && part != QLatin1String("stable") &&
         part != QLatin1String("command"))) {
        respondError(socket, request, Status::NotFound, QStringLiteral("no such path"), cors);
        return;
    }
    if (!allowOnly(part == QLatin1String("command") ? Method::Post : Method::Get)) {
        return;
    }
    if (part == QLatin1String("command") && !m_settings.allowCommands) {
        respondError(socket, request, Status::Forbidden,
                     QStringLiteral("commands are off; scale-read takes them with "
                                    "--allow-commands"),
                     cors);
        return;
    }
    const auto station = m_board.find(parts[0]);
    if (!station) {
        respondError(socket, request, Status::NotFound,
                     QStringLiteral("no station '%1'").arg(parts[0]), cors);
        return;
    }
    if (part.isEmpty()) {
        respondJson(socket, request, Status::Ok,
                    QJsonDocument(m_board.stateObject(*station, nowMillis()))
                        .toJson(QJsonDocument::Compact),
                    cors);
    } else if (part == QLatin1String("stable")) {
        getStable(*station, request, socket, cors);
    } else {
        postCommand(*station, request, socket, cors);
    }
}

void HttpService::getStable(std::size_t station, const QHttpServerRequest& request,
                            QTcpSocket* socket, const Headers& cors) {
    int waitMillis = kDefaultWaitMillis;
    const QUrlQuery query = request.query();
    if (query.hasQueryItem(QStringLiteral("timeout"))) {
        const QString text = query.queryItemValue(QStringLiteral("timeout"));
        bool ok = false;
        waitMillis = text.toInt(&ok);
        if (!ok || waitMillis < 0 || waitMillis > kLongestWaitMillis ||
            !text.front().isDigit()) {
            respondError(socket, request, Status::BadRequest,
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
            respondError(socket, request, Status::BadRequest,
                         QStringLiteral("after is a placement number, the seq of an earlier "
                                        "answer"),
                         cors);
            return;
        }
    }
    // A station that is not reading has no weight of now to give, and none to wait for.
    if (m_board.state(station, nowMillis()) != QLatin1String("reading")) {
        respondJson(socket, request, Status::ServiceUnavailable, unavailableJson(station), cors);
        return;
    }
    if (const auto answer = m_board.placement(station).answer(after)) {
        respondJson(socket, request, Status::Ok, QByteArray::fromStdString(*answer), cors);
        return;
    }
    auto reply = std::make_shared<Reply>(Reply{socket, &request, cors});
    Wait wait{reply, station, std::make_unique<QTimer>()};
    wait.deadline->setSingleShot(true);
    QTimer* deadline = wait.deadline.get();
    connect(deadline, &QTimer::timeout, this, [this, deadline, waitMillis] {
        const auto it = std::find_if(m_waits.begin(), m_waits.end(),
                                     [&](const Wait& w) { return w.deadline.get() == deadline; });
        if (it == m_waits.end()) {
            return;
        }
        QJsonObject body{
            {QStringLiteral("error"),
             QStringLiteral("no stable weight within %1 ms").arg(waitMillis)},
            {QStringLiteral("station"), m_board.station(it->station).name}};
        respondLater(it->reply, Status::GatewayTimeout,
                     QJsonDocument(body).toJson(QJsonDocument::Compact));
        it->deadline.release()->deleteLater();  // it is emitting this very signal
        m_waits.erase(it);
    });
    deadline->start(waitMillis);
    m_waits.push_back(std::move(wait));
}

void HttpService::answerWaits(std::size_t station, Status status, const QByteArray& json) {
    for (auto it = m_waits.begin(); it != m_waits.end();) {
        if (it->station != station) {
            ++it;
            continue;
        }
        respondLater(it->reply, status, json);
        it = m_waits.erase(it);
    }
}

QByteArray HttpService::unavailableJson(std::size_t station) const {
    const QString state = m_board.state(station, nowMillis());
    return QJsonDocument(QJsonObject{{QStringLiteral("error"),
                                      QStringLiteral("no weight while the station is %1").arg(state)},
                                     {QStringLiteral("state"), state},
                                     {QStringLiteral("station"), m_board.station(station).name}})
        .toJson(QJsonDocument::Compact);
}

void HttpService::postCommand(std::size_t station, const QHttpServerRequest& request,
                              QTcpSocket* socket, const Headers& cors) {
    const QJsonValue value =
        QJsonDocument::fromJson(request.body()).object().value(QStringLiteral("command"));
    const QString command = value.toString();
    if (!commandKindNamed(command.toStdString())) {
        respondError(socket, request, Status::BadRequest,
                     QStringLiteral(R"(the body is {"command":"zero"}, "tare" or "clear-tare")"),
                     cors);
        return;
    }
    auto reply = std::make_shared<Reply>(Reply{socket, &request, cors});
    const QString name = m_board.station(station).name;
    QPointer<HttpService> self(this);
    m_commands(station, command, [self, reply, name, command](const QString& result,
                                                               const QString& text) {
        if (!self) {
            return;
        }
        const auto outcome =
            std::find_if(std::begin(kOutcomes), std::end(kOutcomes),
                         [&](const CommandOutcome& known) { return result == QLatin1String(known.result); });
        QJsonObject body{{QStringLiteral("station"), name},
                         {QStringLiteral("command"), command},
                         {QStringLiteral("result"), result}};
        if (!text.isEmpty()) {
            body.insert(QStringLiteral("text"), text);
        }
        self->respondLater(reply,
                           outcome == std::end(kOutcomes) ? Status::InternalServerError
                                                          : outcome->status,
                           QJsonDocument(body).toJson(QJsonDocument::Compact));
    });
}

void HttpService::serveFile(const QString& name, const QHttpServerRequest& request,
                            QTcpSocket* socket) {
    for (const BuiltInFile& file : kFiles) {
        if (name != QLatin1String(file.path)) {
            continue;
        }
        QFile resource(QLatin1String(file.resource));
        if (!resource.open(QIODevice::ReadOnly)) {
            respondError(socket, request, Status::InternalServerError,
                         QStringLiteral("the board is not built in"), {});
            return;
        }
        // The token may stand in the page's address: it goes to no other site as a referrer.
        respond(socket, request, Status::Ok, resource.readAll(), file.type,
                {{"Content-Security-Policy",
                  "default-src 'self'; connect-src 'self'; img-src 'self' data:; "
                  "frame-ancestors 'none'"},
                 {"Referrer-Policy", "no-referrer"}});
        return;
    }
}

void HttpService::acceptClients() {
    while (hasPendingWebSocketConnections()) {
        acceptClient(nextPendingWebSocketConnection());
    }
}

void HttpService::acceptClient(std::unique_ptr<QWebSocket> socket) {
    if (!socket) {
        return;
    }
    // Its request passed handleRequest(); only clients that came in together can overrun the
    // limit, and they are let go at once.
    QWebSocket* raw = socket.get();
    QString unknown;
    std::vector<bool> wanted = wantedStations(QUrlQuery(raw->requestUrl()), unknown);
    const QString peer = peerOf(raw->peerAddress(), raw->peerPort());
    if (m_clients.size() >= static_cast<std::size_t>(m_settings.maxClients)) {
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
    connect(raw, &QWebSocket::disconnected, raw, [this, raw] {
        const auto it = std::find_if(m_clients.begin(), m_clients.end(),
                                     [&](const Client& c) { return c.socket.get() == raw; });
        if (it != m_clients.end()) {
            it->socket.release()->deleteLater();
            m_clients.erase(it);
        }
    }, Qt::QueuedConnection);
    // What is on its way was made before this client's first view of the stations.
    flushOutbox();
    m_clients.push_back({std::move(socket), std::move(wanted), peer});
    Client& client = m_clients.back();

    QJsonArray stations;
    QJsonObject stationCommands;  // which buttons each tile gets
    QJsonObject trends;           // [age in ms, weight], oldest first: a reloaded board's trend
    const std::int64_t now = nowMillis();
    for (std::size_t i = 0; i < m_board.size(); ++i) {
        if (client.wanted[i]) {
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
    client.socket->sendTextMessage(
        QString::fromUtf8(QJsonDocument(hello).toJson(QJsonDocument::Compact)));
    for (std::size_t i = 0; i < m_board.size(); ++i) {
        if (client.wanted[i]) {
            client.socket->sendTextMessage(stateMessage(i));
        }
    }
}

void HttpService::broadcast(std::size_t station, const QString& message) {
    // Sent in batches: each client's messages of the last few milliseconds go out in one write
    // to its socket instead of one each, which with many clients costs the reading far less.
    m_outbox.emplace_back(station, message);
    if (!m_flush.isActive()) {
        m_flush.start();
    }
}

void HttpService::flushOutbox() {
    std::vector<QWebSocket*> slow;
    for (Client& client : m_clients) {
        // A client that stopped reading would keep memory growing here; it is let go instead.
        if (client.socket->bytesToWrite() > kClientBacklog) {
            slow.push_back(client.socket.get());
            continue;
        }
        bool sent = false;
        for (const auto& [station, message] : m_outbox) {
            if (client.wanted[station]) {
                client.socket->sendTextMessage(message);
                sent = true;
            }
        }
        // Written now rather than on the socket's next write notice: one wake-up of the loop
        // less per client and batch.
        if (sent) {
            client.socket->flush();
        }
    }
    m_outbox.clear();
    for (QWebSocket* socket : slow) {
        dropClient(socket, QStringLiteral("more than 1 MB waiting to be read"));
    }
}

void HttpService::dropClient(QWebSocket* socket, const QString& why) {
    const auto it = std::find_if(m_clients.begin(), m_clients.end(),
                                 [&](const Client& c) { return c.socket.get() == socket; });
    if (it == m_clients.end()) {
        return;
    }
    m_note(QStringLiteral("http: WebSocket client %1 dropped: %2").arg(it->peer, why));
    std::unique_ptr<QWebSocket> owned = std::move(it->socket);
    m_clients.erase(it);
    owned->abort();
    owned.release()->deleteLater();
}

QString HttpService::stateMessage(std::size_t station) const {
    QJsonObject object = m_board.stateObject(station, nowMillis());
    object.insert(QStringLiteral("type"), QStringLiteral("state"));
    return QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact));
}

void HttpService::announceChanges() {
    for (const std::size_t station : m_board.changes(nowMillis())) {
        if (!m_clients.empty()) {
            broadcast(station, stateMessage(station));
        }
    }
}

void HttpService::overflowed(QTcpSocket* socket) {
    m_note(QStringLiteral("http: %1 sent a request over %2 bytes; connection closed")
               .arg(peerOf(socket->peerAddress(), socket->peerPort()))
               .arg(kHeaderLimit + kBodyLimit));
    // The library never saw this request whole, so there is no responder for it: the short
    // answer is written here, and the connection closed.
    const QByteArray body = errorJson(
        QStringLiteral("request bodies go up to %1 bytes").arg(kBodyLimit));
    socket->write("HTTP/1.1 413 Payload Too Large\r\nContent-Type: application/json\r\n"
                  "Connection: close\r\nContent-Length: " +
                  QByteArray::number(body.size()) + "\r\n\r\n" + body);
    // Closed at once with the rest of the upload unread, the connection would be reset and the
    // client might never see the answer: what it still sends is read and dropped for a moment.
    connect(socket, &QTcpSocket::readyRead, socket, [socket] { socket->skip(socket->bytesAvailable()); });
    QTimer::singleShot(kLingerMillis, socket, [socket] { socket->disconnectFromHost(); });
}

void HttpService::respond(QTcpSocket* socket, const QHttpServerRequest& request, Status status,
                          const QByteArray& body, const QByteArray& type,
                          const Headers& headers) {
    QHttpServerResponder responder = makeResponder(request, socket);
    responder.writeStatusLine(status);
    responder.writeHeader("Content-Type", type);
    responder.writeHeader("Content-Length", QByteArray::number(body.size()));
    responder.writeHeader("Cache-Control", "no-store");
    responder.writeHeader("X-Content-Type-Options", "nosniff");
    for (const auto& [name, value] : headers) {
        responder.writeHeader(name, value);
    }
    responder.writeBody(body);
}

void HttpService::respondJson(QTcpSocket* socket, const QHttpServerRequest& request,
                              Status status, const QByteArray& json, const Headers& headers) {
    respond(socket, request, status, json + '\n', "application/json", headers);
}

void HttpService::respondError(QTcpSocket* socket, const QHttpServerRequest& request,
                               Status status, const QString& error, const Headers& headers) {
    respondJson(socket, request, status, errorJson(error), headers);
}

void HttpService::respondLater(const std::shared_ptr<Reply>& reply, Status status,
                               const QByteArray& json) {
    // A client that went away meanwhile has no one to answer; answered, a reply is spent.
    if (!reply->socket || reply->socket->state() != QAbstractSocket::ConnectedState) {
        return;
    }
    QTcpSocket* socket = reply->socket;
    reply->socket = nullptr;
    respondJson(socket, *reply->request, status, json, reply->headers);
}

}  // namespace scaleread
